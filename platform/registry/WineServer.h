#pragma once

#include <QString>
#include <QStringList>

#include <vector>

// Whether a Wine server holds a prefix's registry right now. While one runs it keeps the registry
// in memory, saves it over user.reg from time to time and when it ends, so the file must not be
// edited behind its back: reads and writes then go through Wine's own regedit.
namespace velmr::platform {

struct WineServerState
{
    bool running = false;
    // The folder the running server was found in (server-<device>-<inode>).
    QString serverFolder;
    // The TMPDIR under which Wine finds that server, or empty when Wine does not look there (the
    // upstream layout /tmp/.wine-<uid>). A wine process started with another TMPDIR would start
    // a second server for the same prefix.
    QString tempBase;
};

// The folders in which a server for `prefix` would keep its socket and lock: upstream Wine's
// /tmp/.wine-<uid>/server-<dev>-<ino>, and the layout of Wine builds that keep a random folder
// name in the prefix's "wineserver" file, under $TMPDIR or /tmp. Empty when the prefix does not
// exist.
struct WineServerCandidate
{
    QString folder;
    QString tempBase;
};
std::vector<WineServerCandidate> WineServerCandidates(const QString& prefix);

// Looks for a running server of `prefix`: a candidate folder whose lock file another process
// holds locked, as the server does for its whole life. A few system calls; no process is started.
WineServerState ProbeWineServer(const QString& prefix);

// True when the lock file at `path` is write-locked by another process.
bool LockFileIsHeld(const QString& path);

} // namespace velmr::platform
