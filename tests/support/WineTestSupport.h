#pragma once

// Helpers that the registry and Wine tests share: readable Qt strings in failure messages,
// environment variables for one test, key paths, and Wine's own tools run on a throw-away prefix.

#include "tests/support/TestEnvironment.h"

#include <QByteArray>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>

#include <ostream>

inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

inline void PrintTo(const QStringList& list, std::ostream* out)
{
    *out << '{';
    for (qsizetype i = 0; i < list.size(); ++i) {
        *out << (i ? ", " : "");
        PrintTo(list[i], out);
    }
    *out << '}';
}

namespace velmr::test {

// Sets an environment variable (or unsets it, for a null value) for the lifetime of the object.
class ScopedVariable
{
public:
    ScopedVariable(const char* name, const QString& value)
        : name_(name), had_(qEnvironmentVariableIsSet(name)), old_(qgetenv(name))
    {
        if (value.isNull())
            qunsetenv(name);
        else
            qputenv(name, value.toLocal8Bit());
    }
    ~ScopedVariable()
    {
        if (had_)
            qputenv(name_, old_);
        else
            qunsetenv(name_);
    }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

private:
    const char* name_;
    bool had_;
    QByteArray old_;
};

// A key path written with "\\" between its components.
inline QStringList Key(QStringView path)
{
    return path.toString().split(u'\\', Qt::SkipEmptyParts);
}

// ---- Wine's own tools on a prefix.

inline bool WineInstalled()
{
    return !QStandardPaths::findExecutable(QStringLiteral("wine")).isEmpty() &&
           !QStandardPaths::findExecutable(QStringLiteral("wineserver")).isEmpty();
}

struct ProcessRun
{
    bool finished = false;
    int exitCode = -1;
    QByteArray output;
};

// Runs `program` for the prefix `prefix`, quietly, without a display and without Mono or Gecko.
inline ProcessRun RunForPrefix(const QString& prefix, const QString& program,
                               const QStringList& arguments, int timeoutMs)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("WINEPREFIX"), prefix);
    environment.insert(QStringLiteral("WINEDEBUG"), QStringLiteral("-all"));
    environment.insert(QStringLiteral("WINEDLLOVERRIDES"), QStringLiteral("mscoree,mshtml="));
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setWorkingDirectory(QStringLiteral("/"));
    process.start(program, arguments);
    ProcessRun run;
    run.finished = process.waitForFinished(timeoutMs);
    if (!run.finished) {
        process.kill();
        process.waitForFinished(5000);
    }
    run.exitCode = process.exitCode();
    run.output = process.readAll();
    return run;
}

// Stops the prefix's Wine server, which saves the registry it holds over user.reg as it goes.
inline void StopWineServer(const QString& prefix)
{
    RunForPrefix(prefix, QStringLiteral("wineserver"), {QStringLiteral("-k")}, 30000);
    RunForPrefix(prefix, QStringLiteral("wineserver"), {QStringLiteral("-w")}, 60000);
}

// What Wine itself exports of `key` (HKEY_CURRENT_USER\...), as text; empty when the export
// failed.
inline QString WineExport(const QString& prefix, const QString& key)
{
    const QString file = MakeTempFolder(QStringLiteral("export")) + QStringLiteral("/export.reg");
    RunForPrefix(prefix, QStringLiteral("wine"),
                 {QStringLiteral("regedit"), QStringLiteral("/E"), file, key}, 120000);
    const QByteArray bytes = ReadFile(file);
    if (!bytes.startsWith("\xFF\xFE"))
        return {};
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.constData() + 2),
                              (bytes.size() - 2) / 2);
}

} // namespace velmr::test
