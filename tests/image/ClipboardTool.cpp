// The image library's clipboard from the command line, for the real X clipboard test:
//   ClipboardTool put <picture.bmp|jpg> [seconds]  puts the picture on the clipboard, prints
//                                                  "ready" and serves it until killed or timed out
//   ClipboardTool get <out.bmp>                    writes the clipboard's picture (exit 3: none)
//   ClipboardTool has                              exit 0 with a picture on the clipboard, else 3
//   ClipboardTool sample <out.png> <out.bmp>       writes one test picture in both formats
//   ClipboardTool same <a> <b>                     exit 0 when both files hold the same pixels

#include "image/ImgKit.h"

#include <QApplication>
#include <QImage>
#include <QTimer>

#include <cstdio>

using namespace velmr::image;

namespace {

constexpr int kNoPicture = 3;

int Usage()
{
    std::fprintf(stderr, "usage: ClipboardTool put FILE [SECONDS] | get FILE | has | "
                         "sample PNG BMP | same A B\n");
    return 2;
}

QImage Sample()
{
    QImage image(23, 9, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgb(x * 11, y * 28, (x * y * 5) % 256));
    return image;
}

bool SamePixels(const QString& a, const QString& b)
{
    const QImage first(a);
    const QImage second(b);
    if (first.isNull() || second.isNull() || first.size() != second.size()) {
        std::fprintf(stderr, "sizes differ or a file is unreadable\n");
        return false;
    }
    for (int y = 0; y < first.height(); ++y)
        for (int x = 0; x < first.width(); ++x)
            if ((first.pixel(x, y) & 0xFFFFFF) != (second.pixel(x, y) & 0xFFFFFF)) {
                std::fprintf(stderr, "pixel %d,%d: %08x against %08x\n", x, y, first.pixel(x, y),
                             second.pixel(x, y));
                return false;
            }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments().mid(1);
    if (args.isEmpty())
        return Usage();
    ImgKitLoadLibrary();
    const QString& command = args[0];

    if (command == QLatin1String("put") && (args.size() == 2 || args.size() == 3)) {
        const ImgKitImage picture = ImgKitFileLoad(args[1], QString(), QString());
        if (picture == 0 || ImgKitSetToClipBrd(nullptr, picture) == 0) {
            std::fprintf(stderr, "cannot put %s on the clipboard\n", qPrintable(args[1]));
            return 1;
        }
        std::printf("ready\n");
        std::fflush(stdout);
        const int seconds = args.size() == 3 ? args[2].toInt() : 30;
        QTimer::singleShot(seconds * 1000, &app, &QCoreApplication::quit);
        return QApplication::exec();
    }
    if (command == QLatin1String("get") && args.size() == 2) {
        const ImgKitImage picture = ImgKitGetFromClipBrd(nullptr);
        if (picture == 0)
            return kNoPicture;
        return ImgKitBmpFileSave(args[1], picture, QString(), QString(), 0) ? 0 : 1;
    }
    if (command == QLatin1String("has") && args.size() == 1)
        return ImgKitClipboardHasBitmap() ? 0 : kNoPicture;
    if (command == QLatin1String("sample") && args.size() == 3) {
        const QImage image = Sample();
        const bool png = image.save(args[1], "PNG");
        const bool bmp =
            ImgKitBmpFileSave(args[2], ImgKitFromQImage(image), QString(), QString(), 0);
        return png && bmp ? 0 : 1;
    }
    if (command == QLatin1String("same") && args.size() == 3)
        return SamePixels(args[1], args[2]) ? 0 : 1;
    return Usage();
}
