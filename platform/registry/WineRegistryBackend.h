#pragma once

#include "platform/registry/RegeditFile.h"
#include "platform/registry/RegistryAccessor.h"
#include "platform/registry/UserRegBackend.h"
#include "platform/registry/WineServer.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

// The registry of a Wine prefix while its Wine server runs, reached through Wine's own regedit.
namespace velmr::platform {

// Runs Wine's programs for one prefix, with the server that the probe found.
class WineTools
{
public:
    struct Run
    {
        bool started = false;
        bool finished = false;
        int exitCode = -1;
        QByteArray output;
    };

    WineTools(QString prefix, WineServerState server);

    // The wine program: $VELMR_WINE when set, else "wine" on the PATH; empty when there is none.
    static QString WineProgram();

    // wine with `arguments`, waiting at most `timeoutMs`.
    Run Wine(const QStringList& arguments, int timeoutMs) const;

    // A file that Wine's programs can name: its Unix path and the path to pass to them. Inside
    // the prefix's C:\windows\temp when there is one, else in TMPDIR (named by its Unix path,
    // which Wine reads through its drive for the root folder).
    struct TempFile
    {
        QString unixPath;
        QString winePath;
    };
    TempFile MakeTempName(const QString& suffix) const;

    const QString& Prefix() const { return prefix_; }

private:
    QString prefix_;
    WineServerState server_;
};

// Reads through "wine regedit /E" and writes through "wine regedit /S" with a UTF-16LE .reg
// file, so that the running server sees every change at once and saves it itself, and whatever
// the Velmor program has just written is read. Loading exports the key `scope` (by default
// Software\Zeb, the Velmor program's vendor key) in one run; keys outside it are asked about when
// they are used. A commit is checked by exporting again: a value that did not arrive is a
// RegistryError.
class WineServerBackend final : public RegistryBackend
{
public:
    WineServerBackend(QString prefix, WineServerState server, QStringList scope = DefaultScope());

    static QStringList DefaultScope();

    std::unique_ptr<RegistrySnapshot> Load() override;
    void Commit(const std::vector<RegistryChange>& changes) override;

    // The keys below `keyPath` as regedit exports them; nothing when the key does not exist.
    // Throws RegistryError when Wine cannot be run or the export fails.
    std::optional<RegeditExport> Export(const QStringList& keyPath) const;
    // Whether a key exists, asked with "wine reg query". Throws RegistryError.
    bool Exists(const QStringList& keyPath) const;

private:
    WineTools tools_;
    QStringList scope_;
};

// The store of a Wine prefix: before each load and each commit it looks whether a Wine server
// runs for the prefix (ProbeWineServer) and goes through the server when one does, and edits
// user.reg directly otherwise. A server that starts while user.reg is being replaced may have
// read the old file; the commit is then made through the server as well. A run of wine that
// fails (a server ending just as it starts) is tried again after a new look, up to three times.
// While a server runs and wine cannot be started, loads read user.reg as the server last saved
// it and commits fail (the server would save its own copy over any change made to the file).
class WinePrefixBackend final : public RegistryBackend
{
public:
    using Probe = std::function<WineServerState(const QString& prefix)>;
    enum class Route
    {
        None,
        File,
        WineServer
    };

    WinePrefixBackend(QString prefix, QString userRegPath, Probe probe = ProbeWineServer);

    std::unique_ptr<RegistrySnapshot> Load() override;
    void Commit(const std::vector<RegistryChange>& changes) override;

    // How the last load or commit reached the store.
    Route LastRoute() const { return route_; }

private:
    std::optional<WineServerState> RunningServer() const;
    void CommitToFile(const std::vector<RegistryChange>& changes);

    QString prefix_;
    UserRegBackend file_;
    Probe probe_;
    Route route_ = Route::None;
};

} // namespace velmr::platform
