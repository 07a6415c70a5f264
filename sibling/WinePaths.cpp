#include "sibling/WinePaths.h"

#include "platform/Cp932.h"
#include "platform/registry/RegistryLocation.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>

namespace velmr::sibling {
namespace {

const QString kVelmorProgram = QStringLiteral("velmor.exe");

bool IsWindowsSeparator(QChar c)
{
    return c == u'\\' || c == u':';
}

qsizetype LastWindowsSeparator(const QString& path)
{
    for (qsizetype i = path.size() - 1; i >= 0; --i) {
        if (IsWindowsSeparator(path[i]))
            return i;
    }
    return -1;
}

// The entry of `folder` that is `name` without regard to letter case, the exact one first.
QString MatchEntry(const QString& folder, const QString& name)
{
    if (QFileInfo::exists(folder + u'/' + name))
        return name;
    const QStringList entries = QDir(folder).entryList(QDir::AllEntries | QDir::Hidden |
                                                       QDir::System | QDir::NoDotAndDotDot);
    for (const QString& entry : entries) {
        if (entry.compare(name, Qt::CaseInsensitive) == 0)
            return entry;
    }
    return name;
}

QString JoinUnix(const QString& root, const QStringList& components)
{
    if (components.isEmpty())
        return root;
    return QDir::cleanPath(root + u'/' + components.join(u'/'));
}

bool IsDriveEntry(const QString& name)
{
    return name.size() == 2 && name[1] == u':' && name[0].isLetter() && name[0].unicode() < 0x80;
}

} // namespace

VelmorPaths PathsOf(const platform::RegistryLocation& location)
{
    if (location.kind == platform::RegistryStoreKind::ProgramStore)
        return {};
    return {true, location.prefix};
}

VelmorPaths CurrentVelmorPaths()
{
    return PathsOf(platform::FindRegistryLocation());
}

std::optional<QString> VelmorProgramIn(const QString& folder)
{
    const QDir dir(folder);
    if (QFileInfo(dir.filePath(kVelmorProgram)).isFile())
        return dir.filePath(kVelmorProgram);
    for (const QString& entry : dir.entryList(QDir::Files | QDir::Hidden, QDir::Name)) {
        if (entry.compare(kVelmorProgram, Qt::CaseInsensitive) == 0)
            return dir.filePath(entry);
    }
    return std::nullopt;
}

std::optional<QString> VelmorProgramInPrefix(const QString& prefix)
{
    constexpr int kLevels = 3;
    QStringList level;
    for (const QString& name :
         {QStringLiteral("Program Files"), QStringLiteral("Program Files (x86)")}) {
        const QString folder = MatchEntry(prefix + QStringLiteral("/drive_c"), name);
        if (QFileInfo(prefix + QStringLiteral("/drive_c/") + folder).isDir())
            level << prefix + QStringLiteral("/drive_c/") + folder;
    }
    for (int depth = 0; depth <= kLevels && !level.isEmpty(); ++depth) {
        QStringList next;
        for (const QString& folder : std::as_const(level)) {
            if (const std::optional<QString> found = VelmorProgramIn(folder))
                return found;
            const QDir dir(folder);
            for (const QString& entry :
                 dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks, QDir::Name))
                next << dir.filePath(entry);
        }
        level = std::move(next);
    }
    return std::nullopt;
}

QString WinePrefixHolding(const QString& unixPath)
{
    const QFileInfo info(unixPath);
    QString path = info.canonicalFilePath();
    if (path.isEmpty())
        path = QDir::cleanPath(info.absoluteFilePath());
    for (QDir folder(QFileInfo(path).absolutePath());;) {
        if (QFileInfo(folder.filePath(QStringLiteral("dosdevices"))).isDir() &&
            QFileInfo(folder.filePath(QStringLiteral("drive_c"))).isDir())
            return folder.absolutePath();
        if (folder.isRoot() || !folder.cdUp())
            return {};
    }
}

bool IsWindowsForm(const QString& path)
{
    return HasDriveLetter(path) || (!path.startsWith(u'/') && path.contains(u'\\'));
}

QString WindowsFolderOf(const QString& path)
{
    const qsizetype last = LastWindowsSeparator(path);
    qsizetype length = last + 1;
    if (last > 0 && path[last] == u'\\' && !IsWindowsSeparator(path[last - 1]))
        length = last;
    return path.left(length);
}

bool HasDriveLetter(const QString& path)
{
    return path.size() >= 2 && path[1] == u':' && path[0].isLetter() && path[0].unicode() < 0x80;
}

QString LastNameComponent(const QString& name)
{
    for (qsizetype i = name.size() - 1; i >= 0; --i) {
        if (IsWindowsSeparator(name[i]) || name[i] == u'/')
            return name.mid(i + 1);
    }
    return name;
}

bool LeavesFolder(const QString& name)
{
    return name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..") ||
           name.contains(u'\\') || name.contains(u'/') || name.contains(u':');
}

std::optional<QString> ResolveWindowsPath(const QString& prefix, const QString& windowsPath)
{
    if (!HasDriveLetter(windowsPath))
        return std::nullopt;
    const QString link =
        prefix + QStringLiteral("/dosdevices/") + windowsPath[0].toLower() + QLatin1Char(':');
    const QFileInfo drive(link);
    const QString root = drive.canonicalFilePath();
    if (root.isEmpty() || !QFileInfo(root).isDir())
        return std::nullopt;

    QStringList components;
    bool exists = true; // whether the folder reached so far exists, so that entries can be matched
    QString rest = windowsPath.mid(2);
    rest.replace(u'/', u'\\');
    const QStringList parts = rest.split(u'\\', Qt::SkipEmptyParts);
    for (const QString& part : parts) {
        if (part == QLatin1String("."))
            continue;
        if (part == QLatin1String("..")) {
            if (!components.isEmpty())
                components.removeLast();
            continue;
        }
        const QString folder = JoinUnix(root, components);
        const QString entry = exists ? MatchEntry(folder, part) : part;
        components << entry;
        exists = exists && QFileInfo(folder + u'/' + entry).isDir();
    }
    return JoinUnix(root, components);
}

std::optional<QString> ToWindowsPath(const QString& prefix, const QString& unixPath)
{
    const QFileInfo info(unixPath);
    QString target = info.canonicalFilePath();
    if (target.isEmpty())
        target = QDir::cleanPath(info.absoluteFilePath());

    const QDir devices(prefix + QStringLiteral("/dosdevices"));
    QString bestLetter;
    QString bestRoot;
    QStringList entries = devices.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
    entries.sort(Qt::CaseInsensitive);
    for (const QString& entry : std::as_const(entries)) {
        if (!IsDriveEntry(entry))
            continue;
        const QString root = QFileInfo(devices.filePath(entry)).canonicalFilePath();
        if (root.isEmpty() || !QFileInfo(root).isDir())
            continue;
        const bool inside =
            root == QLatin1String("/") || target == root || target.startsWith(root + u'/');
        if (inside && (bestRoot.isNull() || root.size() > bestRoot.size())) {
            bestRoot = root;
            bestLetter = entry.left(1).toUpper();
        }
    }
    if (bestRoot.isNull())
        return std::nullopt;
    QString rest = target.mid(bestRoot == QLatin1String("/") ? 1 : bestRoot.size() + 1);
    rest.replace(u'/', u'\\');
    return bestLetter + QStringLiteral(":\\") + rest;
}

QString JoinStorePath(const VelmorPaths& paths, const QString& folder, const QString& name)
{
    return folder + (paths.windows ? u'\\' : u'/') + name;
}

std::optional<QString> LocalPath(const VelmorPaths& paths, const QString& storePath)
{
    if (paths.windows)
        return ResolveWindowsPath(paths.prefix, storePath);
    if (storePath.isEmpty())
        return std::nullopt;
    return storePath;
}

std::optional<QString> StoreFolder(const VelmorPaths& paths, const QString& unixFolder)
{
    if (paths.windows)
        return ToWindowsPath(paths.prefix, unixFolder);
    return QDir::cleanPath(unixFolder);
}

QString CutToSjisBytes(const QString& text, std::size_t maxBytes)
{
    std::size_t used = 0;
    qsizetype i = 0;
    while (i < text.size()) {
        const qsizetype width = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const std::optional<std::size_t> bytes =
            platform::cp932::EncodedLength(QStringView(text).sliced(i, width));
        const std::size_t length = bytes ? *bytes : 2;
        if (used + length > maxBytes)
            break;
        used += length;
        i += width;
    }
    return text.left(i);
}

} // namespace velmr::sibling
