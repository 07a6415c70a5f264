#include "platform/registry/RegistryLocation.h"

#include "platform/AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace velmr::platform {
namespace {

const QString kUserRegName = QStringLiteral("user.reg");
constexpr QByteArrayView kPrefixKey("WinePrefix=");

// An XDG base folder: the variable when it holds an absolute path (a relative one is invalid and
// is to be ignored), else the default below HOME.
QString BaseFolder(const char* variable, const QString& defaultBelowHome)
{
    const QString configured = qEnvironmentVariable(variable);
    if (!configured.isEmpty() && QDir::isAbsolutePath(configured))
        return QDir::cleanPath(configured);
    return QDir::homePath() + u'/' + defaultBelowHome;
}

RegistryLocation InPrefix(RegistryStoreKind kind, const QString& prefix)
{
    const QString folder = QDir::cleanPath(QFileInfo(prefix).absoluteFilePath());
    return {kind, folder, folder + u'/' + kUserRegName};
}

} // namespace

QString SettingsFilePath()
{
    return BaseFolder("XDG_CONFIG_HOME", QStringLiteral(".config")) +
           QStringLiteral("/velmrmgr/velmrmgr.conf");
}

QString RememberedWinePrefix()
{
    QFile file(SettingsFilePath());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    // A settings file of a few lines; anything beyond a page is not ours.
    const QByteArray bytes = file.read(64 * 1024);
    for (const QByteArray& raw : bytes.split('\n')) {
        const QByteArray line = raw.trimmed();
        if (!line.startsWith(kPrefixKey))
            continue;
        const QString prefix = QString::fromUtf8(line.sliced(kPrefixKey.size()));
        return QDir::isAbsolutePath(prefix) ? QDir::cleanPath(prefix) : QString();
    }
    return {};
}

std::optional<QString> RememberWinePrefix(const QString& prefix)
{
    const QString path = SettingsFilePath();
    const QString what =
        QStringLiteral("設定ファイルに Wine の環境を記録できませんでした。\n%1\n%2");
    if (!QDir::isAbsolutePath(prefix) || prefix.contains(u'\n') || prefix.contains(u'\r'))
        return what.arg(path, QStringLiteral("フォルダー名 %1 は記録できません。").arg(prefix));
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return what.arg(path, QStringLiteral("フォルダーを作成できませんでした。"));
    const QByteArray bytes =
        "[Registry]\n" + kPrefixKey.toByteArray() + QDir::cleanPath(prefix).toUtf8() + '\n';
    if (const std::optional<FileWriteFailure> failure = TryWriteFileAtomically(path, bytes))
        return what.arg(path, failure->reason);
    return std::nullopt;
}

RegistryLocation FindRegistryLocation()
{
    const QString winePrefix = qEnvironmentVariable("WINEPREFIX");
    if (!winePrefix.isEmpty())
        return InPrefix(RegistryStoreKind::WinePrefix, winePrefix);

    const QString remembered = RememberedWinePrefix();
    if (!remembered.isEmpty() && QFileInfo(remembered).isDir())
        return InPrefix(RegistryStoreKind::RememberedPrefix, remembered);

    const QString homeWine = QDir::homePath() + QStringLiteral("/.wine");
    if (QFileInfo(homeWine).isDir())
        return InPrefix(RegistryStoreKind::DefaultWinePrefix, homeWine);

    return {RegistryStoreKind::ProgramStore, QString(),
            BaseFolder("XDG_DATA_HOME", QStringLiteral(".local/share")) +
                QStringLiteral("/velmrmgr/") + kUserRegName};
}

} // namespace velmr::platform
