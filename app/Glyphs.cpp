#include "app/Glyphs.h"

#include <QFile>

namespace velmr::app {
namespace {

QString Image(const QString& name)
{
    return QStringLiteral(":/glyphs/%1.png").arg(name);
}

} // namespace

QPixmap ProgramIconPixmap(int size)
{
    const QPixmap pixmap(Image(QStringLiteral("velmrmgr-%1").arg(size)));
    if (!pixmap.isNull())
        return pixmap;
    return QPixmap(Image(QStringLiteral("velmrmgr-128")))
        .scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

QIcon ProgramIcon()
{
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128})
        icon.addFile(Image(QStringLiteral("velmrmgr-%1").arg(size)), QSize(size, size));
    return icon;
}

QIcon ToolGlyph(const QString& buttonName)
{
    if (!QFile::exists(Image(buttonName)))
        return {};
    QIcon icon;
    // QIcon picks the @2x images itself on a high-density screen.
    icon.addFile(Image(buttonName), {}, QIcon::Normal);
    icon.addFile(Image(buttonName + QStringLiteral("-greyed")), {}, QIcon::Disabled);
    return icon;
}

} // namespace velmr::app
