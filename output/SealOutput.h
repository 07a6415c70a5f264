#pragma once

#include "calendar/CalendarDate.h"
#include "seal/Records.h"

#include <QByteArray>
#include <QImage>
#include <QRectF>
#include <QSizeF>
#include <QString>

#include <memory>
#include <optional>
#include <variant>

class QMimeData;
class QPainter;

// Seals as they leave the program: the ink alone, at its true printed size, painted from the same
// layout as the preview onto a raster picture at any resolution, an SVG or a PDF. The window's
// export and copy commands and the velmrseal command line all go through here.
namespace velmr::output {

// Print resolutions, in pixels per centimetre of the printed seal.
inline constexpr double kNameSealPixelsPerCm = 260.0;
inline constexpr double kLargeSealPixelsPerCm = 153.0;

// The seal to paint.
struct NameSeal
{
    seal::NameStampRecord record{};
    seal::NameStampExRecord ex{};
};
struct DateSeal
{
    seal::DateStampRecord record{};
    seal::DateStampExRecord ex{};
    calendar::LocalDate day; // the date printed in the band; today when it is no day of
                             // kFirstDay..kLastDay
};
struct BitmapSeal
{
    QImage picture;              // the bitmap seal's picture
    std::int32_t resolution = 0; // 0: 260 pixels per cm, 1: 153 (the document's BitmapResolution)
};
using SealSource = std::variant<NameSeal, DateSeal, BitmapSeal>;

// A seal laid out once (in the preview's pixels, fonts at `layoutDpi`), ready to be painted at any
// scale.
class SealArtwork
{
public:
    explicit SealArtwork(SealSource source, double layoutDpi = 96.0);
    ~SealArtwork();
    SealArtwork(SealArtwork&&) noexcept;
    SealArtwork& operator=(SealArtwork&&) noexcept;

    // The ink's bounding box in layout pixels: the frame with its whole pen and every text's
    // outline (a bitmap seal: its whole picture). Empty for a seal without ink.
    QRectF InkRect() const;
    // Layout pixels per centimetre of the printed seal.
    double PixelsPerCm() const;
    // The printed size of InkRect(), in millimetres.
    QSizeF SizeMm() const;
    // The frame's size measured on the pen's centre line in millimetres, as the editing panel
    // measures it; nothing for a seal without a frame.
    std::optional<QSizeF> FrameSizeMm() const;
    // The seal's colour (name and date seals).
    QColor InkColor() const;
    // A bitmap seal: a picture of its own colours rather than ink of one colour.
    bool IsBitmap() const;
    // A bitmap seal whose picture has alpha: outside a white background only its pixels' alpha
    // covers the paper.
    bool PictureHasAlpha() const;

    // Paints the ink, InkRect()'s top-left at the painter's origin, `scale` painter units per
    // layout pixel: frames and lines as strokes, texts as filled outlines (synthesised bold
    // stroked as well), a bitmap seal as its picture. Paints no background.
    void Paint(QPainter& painter, double scale) const;

private:
    struct Data;
    std::unique_ptr<Data> data_;
};

enum class Format
{
    Png,
    Svg,
    Pdf
};

enum class Background
{
    Transparent,
    White
};

// The largest side of a raster export, in pixels, and its largest number of pixels (256 MiB of
// 32-bit pixels, the most a picture of this program holds).
inline constexpr int kLargestSide = 20000;
inline constexpr qint64 kLargestPixels = qint64(64) << 20;

// The file name extension of a format, its point included (".png").
QString FormatExtension(Format format);

struct ExportOptions
{
    Format format = Format::Png;
    double dpi = 600.0; // raster only; 0: the seal's own print resolution
    Background background = Background::Transparent;
};

struct Rendered
{
    QByteArray bytes;
    bool clamped = false; // the resolution was lowered to keep within kLargestSide and
                          // kLargestPixels (a PDF: within the largest page, 200 inches)
};

// The seal as a picture at `dpi` dots per inch of the printed seal (0: its print resolution),
// dots per metre set; a bitmap seal is its picture, white paper included (a picture with alpha
// keeps its alpha unless the background is white); a seal without ink one blank pixel. Transparent:
// every pixel holding ink has exactly the seal's colour with the ink's coverage as alpha, every
// other pixel alpha 0 (Format_ARGB32, not premultiplied).
QImage RenderRaster(const SealArtwork& art, double dpi, Background background,
                    bool* clamped = nullptr);
// The seal fitted into a `size` × `size` transparent square, centred (file manager thumbnails);
// `size` is kept between 1 and 8192.
QImage RenderThumbnail(const SealArtwork& art, int size);

// File bytes: PNG (with pHYs; a name or date seal as an indexed picture whose palette is the
// seal's colour at every coverage, with alpha), SVG (width and height in mm), PDF (one page the
// seal's size, widened to whole points on the right and bottom, as the PDF writer sizes pages).
// A seal without ink (InkRect() empty) gives no bytes.
Rendered RenderFile(const SealArtwork& art, const ExportOptions& options);

// Writes the seal to `path` atomically; on failure a message for the user naming the file and
// the reason, and nothing is left behind. `clamped` (when given) tells whether the resolution was
// lowered to keep within the limits (Rendered::clamped).
std::optional<QString> ExportSeal(const SealArtwork& art, const ExportOptions& options,
                                  const QString& path, bool* clamped = nullptr);

// The clipboard's data for pasting into documents: image/png with alpha at 600 dpi and
// image/svg+xml.
std::unique_ptr<QMimeData> ClipboardData(const SealArtwork& art);

// The earliest and latest day a date seal can print.
inline constexpr calendar::LocalDate kFirstDay{1900, 1, 1};
inline constexpr calendar::LocalDate kLastDay{9999, 12, 31};
// A date "YYYY-MM-DD" between kFirstDay and kLastDay, or nothing.
std::optional<calendar::LocalDate> ParseDay(QStringView text);

// Reads a seal file for output: .mkn, .mkd (printing `day`), or a BMP/JPEG picture as a bitmap
// seal at 260 pixels per cm. On failure a message naming the file and the reason.
struct LoadedSeal
{
    std::optional<SealSource> source;
    QString error;
};
LoadedSeal LoadSealFile(const QString& path, const calendar::LocalDate& day);

} // namespace velmr::output
