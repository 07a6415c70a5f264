#pragma once

#include <QByteArrayView>
#include <QString>

#include <optional>

namespace velmr::platform {

// Why a file could not be written: the file and a Japanese description of the step that failed
// together with the system's reason.
struct FileWriteFailure
{
    QString path;
    QString reason;
};

// How a file can be written.
enum class WriteRoute
{
    // A temporary file in the same folder is renamed over the target.
    ThroughTemporaryFile,
    // The folder takes no new file, but the target itself may be written: it is rewritten.
    InPlace,
    // The user may not write the target, or may not create it in its folder.
    Refused,
};

// The route for a target that exists or not, that the user may write or not, in a folder that
// takes new files or not.
WriteRoute ChooseWriteRoute(bool targetExists, bool targetWritable, bool folderWritable);

// Whether the user may write the file or folder at `path` (a folder: create files in it). Beside
// access(2), at least one write permission bit must be set, so that a file nobody may write stays
// unwritten for the superuser as well, whom the bits do not stop.
bool MayWrite(const QString& path);

// Replaces the contents of `path` with `data` so that the file holds either its old or its new
// contents, even when the program or the machine stops half way: the data goes to a temporary
// file in the same folder, is flushed to disk, takes the permission bits of the file it replaces
// (for a new file those that the umask leaves of 0666) and is then renamed over `path`. A symbolic
// link at `path` is kept and its target is replaced. A target the user may not write is refused
// (`ChooseWriteRoute`); when only the folder refuses the temporary file, the target is rewritten
// in place, and its old contents are put back if that fails. On failure the temporary file is
// removed and the old file is left as it was. The folder must exist.
std::optional<FileWriteFailure> TryWriteFileAtomically(const QString& path, QByteArrayView data);

// The same; on failure false is returned and `errorMessage` (when given) receives a message for
// the user naming the file and the system's reason.
bool WriteFileAtomically(const QString& path, QByteArrayView data, QString* errorMessage);

} // namespace velmr::platform
