// Draws the program's artwork into PNG files:
//   velmr_make_icons <folder>           the program icon for the desktop's icon theme:
//                                       <folder>/<N>x<N>/apps/velmrmgr.png
//   velmr_make_icons --glyphs <folder>  the images the program embeds as resources: each tool
//                                       glyph normal and greyed, at 1× and 2×, and the icon
#include "resources/Artwork.h"

#include <QDir>
#include <QGuiApplication>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

using namespace velmr::artwork;

bool Save(const QPixmap& pixmap, const QString& path)
{
    if (pixmap.save(path, "PNG"))
        return true;
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    return false;
}

int ThemeIcons(const QString& root)
{
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QString folder = QStringLiteral("%1/%2x%2/apps").arg(root).arg(size);
        if (!QDir().mkpath(folder) ||
            !Save(ProgramIconPixmap(size), folder + QStringLiteral("/velmrmgr.png")))
            return 1;
    }
    return 0;
}

int ResourceImages(const QString& folder)
{
    if (!QDir().mkpath(folder))
        return 1;
    for (const QString& name : GlyphNames()) {
        for (const int scale : {1, 2}) {
            const QString suffix = scale == 1 ? QString() : QStringLiteral("@2x");
            const QPixmap normal = GlyphPixmap(name, kGlyphSize * scale);
            if (!Save(normal, QStringLiteral("%1/%2%3.png").arg(folder, name, suffix)) ||
                !Save(Greyed(normal),
                      QStringLiteral("%1/%2-greyed%3.png").arg(folder, name, suffix)))
                return 1;
        }
    }
    for (const int size : {16, 24, 32, 48, 64, 128}) {
        if (!Save(ProgramIconPixmap(size),
                  QStringLiteral("%1/velmrmgr-%2.png").arg(folder).arg(size)))
            return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QGuiApplication application(argc, argv);
    if (argc == 2)
        return ThemeIcons(QString::fromLocal8Bit(argv[1]));
    if (argc == 3 && std::strcmp(argv[1], "--glyphs") == 0)
        return ResourceImages(QString::fromLocal8Bit(argv[2]));
    std::fprintf(stderr, "usage: %s <folder> | --glyphs <folder>\n", argv[0]);
    return 2;
}
