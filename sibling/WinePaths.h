#pragma once

#include <QString>

#include <cstddef>
#include <optional>

namespace velmr::platform {
struct RegistryLocation;
}

// Paths of the Velmor program's install folder. In a Wine prefix the registry holds Windows paths
// (C:\Program Files\Velmor), which lead to the prefix's folders through its drives in
// "dosdevices"; in the program's own store, without Wine, it holds Unix paths.
namespace velmr::sibling {

// How the store writes the install folder's path.
struct VelmorPaths
{
    bool windows = false; // Windows paths through the drives of `prefix`
    QString prefix;       // the Wine prefix (empty for Unix paths)
};

// The form for the store at `location`, and for the store in use now (FindRegistryLocation).
VelmorPaths PathsOf(const platform::RegistryLocation& location);
VelmorPaths CurrentVelmorPaths();

// ---- Finding the Velmor program.

// The Velmor program's file in `folder`: a file (not a folder) named velmor.exe in any letter
// case, the exact spelling first.
std::optional<QString> VelmorProgramIn(const QString& folder);
// The Velmor program in the Program Files folders of a prefix (drive_c/Program Files and
// drive_c/Program Files (x86)), looked for in their folders down to three levels, the shallowest
// first.
std::optional<QString> VelmorProgramInPrefix(const QString& prefix);
// The Wine prefix that holds the file or folder `unixPath` (the nearest folder above it that has
// both "dosdevices" and "drive_c"), its links resolved; empty when it lies in none.
QString WinePrefixHolding(const QString& unixPath);
// True for a path that the user gave in Windows form: a drive letter, or a "\" in a path that
// does not begin with "/" (a Unix path may hold "\" in its names).
bool IsWindowsForm(const QString& path);

// ---- Windows paths, split by the rules of the Velmor program: "\" and ":" separate. Text is
// held as Unicode, so the byte 0x5C inside a double-byte Shift-JIS character (ソ, 表) is never
// taken for a separator.

// The folder of a chosen file: everything before the last "\" or ":"; a trailing "\" is dropped
// unless it follows a ":" or another "\" (C:\VELMOR\velmor.exe gives C:\VELMOR, C:\velmor.exe
// gives C:\).
QString WindowsFolderOf(const QString& path);
// True for a path that begins with a drive letter and ":".
bool HasDriveLetter(const QString& path);

// ---- Names inside the install folder.

// The last part of a name after any "\", ":" or "/" (a name typed or read never leads into
// another folder).
QString LastNameComponent(const QString& name);
// True for a name that would lead out of the folder or name the folder itself: empty, ".", "..",
// or holding "\", "/" or ":".
bool LeavesFolder(const QString& name);

// ---- Drives of a prefix.

// The Unix path of a Windows path "X:\a\b" in `prefix`: the drive through dosdevices/x:, each
// component matched to an existing entry without regard to letter case (components that do not
// exist yet are kept as written). ".." does not rise above the drive's root. Nothing for a path
// without a drive letter or a drive without a link.
std::optional<QString> ResolveWindowsPath(const QString& prefix, const QString& windowsPath);

// The Windows path of a Unix path through the drive whose folder is its longest prefix ("C:\"
// for the root of a drive). Nothing when no drive of the prefix leads to it.
std::optional<QString> ToWindowsPath(const QString& prefix, const QString& unixPath);

// ---- Paths as the store holds them.

// `folder` and `name` joined the way the store writes paths ("\" or "/").
QString JoinStorePath(const VelmorPaths& paths, const QString& folder, const QString& name);
// The Unix path of a store path; nothing when it cannot be resolved.
std::optional<QString> LocalPath(const VelmorPaths& paths, const QString& storePath);
// The store form of a Unix folder; nothing when the prefix cannot name it.
std::optional<QString> StoreFolder(const VelmorPaths& paths, const QString& unixFolder);

// ---- Lengths.

// `text` cut so that its Shift-JIS form has at most `maxBytes` bytes, at a character boundary
// (a character without a Shift-JIS code counts as two bytes, as "?" would be one: a path is never
// converted, only measured).
QString CutToSjisBytes(const QString& text, std::size_t maxBytes);

// Longest path the Velmor program keeps (its buffers have 1024 bytes with the terminator).
inline constexpr std::size_t kMaxPathBytes = 1023;

} // namespace velmr::sibling
