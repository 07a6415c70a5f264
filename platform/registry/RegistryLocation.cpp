#include "platform/registry/RegistryLocation.h"

#include <QDir>
#include <QFileInfo>

namespace velmr::platform {
namespace {

const QString kUserRegName = QStringLiteral("user.reg");

QString DataHome()
{
    // A relative XDG_DATA_HOME is invalid and is to be ignored.
    const QString configured = qEnvironmentVariable("XDG_DATA_HOME");
    if (!configured.isEmpty() && QDir::isAbsolutePath(configured))
        return QDir::cleanPath(configured);
    return QDir::homePath() + QStringLiteral("/.local/share");
}

RegistryLocation InPrefix(RegistryStoreKind kind, const QString& prefix)
{
    const QString folder = QDir::cleanPath(QFileInfo(prefix).absoluteFilePath());
    return {kind, folder, folder + u'/' + kUserRegName};
}

} // namespace

RegistryLocation FindRegistryLocation()
{
    const QString winePrefix = qEnvironmentVariable("WINEPREFIX");
    if (!winePrefix.isEmpty())
        return InPrefix(RegistryStoreKind::WinePrefix, winePrefix);

    const QString homeWine = QDir::homePath() + QStringLiteral("/.wine");
    if (QFileInfo(homeWine).isDir())
        return InPrefix(RegistryStoreKind::DefaultWinePrefix, homeWine);

    return {RegistryStoreKind::ProgramStore, QString(),
            DataHome() + QStringLiteral("/velmrmgr/") + kUserRegName};
}

} // namespace velmr::platform
