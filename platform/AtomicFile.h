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

// Replaces the contents of `path` with `data` so that the file holds either its old or its new
// contents, even when the program or the machine stops half way: the data goes to a temporary
// file in the same folder, is flushed to disk, takes the permission bits of the file it replaces
// (for a new file those that the umask leaves of 0666) and is then renamed over `path`. A symbolic
// link at `path` is kept and its target is replaced. A target the user may not write is refused,
// and so is a new file in a folder the user may not write; when only the folder refuses the
// temporary file, the target is rewritten in place, and its old contents are put back if that
// fails. The superuser, whom the permission bits do not stop, is held to them all the same: a
// file or folder without any write bit is not written. On failure the temporary file is
// removed and the old file is left as it was. The folder must exist.
std::optional<FileWriteFailure> TryWriteFileAtomically(const QString& path, QByteArrayView data);

// The same; on failure false is returned and `errorMessage` (when given) receives a message for
// the user naming the file and the system's reason.
bool WriteFileAtomically(const QString& path, QByteArrayView data, QString* errorMessage);

} // namespace velmr::platform
