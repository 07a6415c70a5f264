// Writes the program icon as PNG files of the usual sizes, for the desktop's icon theme:
//   velmr_make_icons <folder>   →  <folder>/<N>x<N>/apps/velmrmgr.png
#include "app/Glyphs.h"

#include <QDir>
#include <QGuiApplication>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QGuiApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
        return 2;
    }
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QString folder =
            QStringLiteral("%1/%2x%2/apps").arg(QString::fromLocal8Bit(argv[1])).arg(size);
        if (!QDir().mkpath(folder) ||
            !velmr::app::ProgramIconPixmap(size).save(folder + QStringLiteral("/velmrmgr.png"))) {
            std::fprintf(stderr, "cannot write the icon into %s\n", qPrintable(folder));
            return 1;
        }
    }
    return 0;
}
