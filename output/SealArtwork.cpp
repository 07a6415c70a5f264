#include "output/SealOutput.h"
#include "seal/DateSealRenderer.h"
#include "seal/NameSealRenderer.h"

#include <QDate>
#include <QPaintEngine>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace velmr::output {
namespace {

double PixelsPerCmOf(const SealSource& source)
{
    if (const auto* name = std::get_if<NameSeal>(&source))
        return name->record.Resolution == 1 ? kLargeSealPixelsPerCm : kNameSealPixelsPerCm;
    if (std::holds_alternative<DateSeal>(source))
        return kLargeSealPixelsPerCm;
    return std::get<BitmapSeal>(source).resolution == 1 ? kLargeSealPixelsPerCm
                                                        : kNameSealPixelsPerCm;
}

// A day the band can print: the seal's own, or today for a day that is none or lies outside the
// printable range.
std::optional<calendar::LocalDate> PrintableDay(const calendar::LocalDate& day)
{
    const auto key = [](const calendar::LocalDate& d) {
        return std::int64_t(d.year) * 10000 + d.month * 100 + d.day;
    };
    if (!QDate::isValid(day.year, day.month, day.day) || key(day) < key(kFirstDay) ||
        key(day) > key(kLastDay))
        return std::nullopt;
    return day;
}

} // namespace

struct SealArtwork::Data
{
    std::variant<seal::NameSealLayout, seal::DateSealLayout, QImage> drawing;
    double pixelsPerCm = kNameSealPixelsPerCm;
    QRectF ink;
    std::optional<QRectF> frame;
    QColor color;

    // Paints the ink in layout pixels.
    void PaintInk(QPainter& painter) const
    {
        if (const auto* name = std::get_if<seal::NameSealLayout>(&drawing))
            seal::PaintNameSealInk(painter, *name);
        else if (const auto* date = std::get_if<seal::DateSealLayout>(&drawing))
            seal::PaintDateSealInk(painter, *date);
        else
            PaintPicture(painter, std::get<QImage>(drawing));
    }

    static void PaintPicture(QPainter& painter, const QImage& picture)
    {
        if (picture.isNull())
            return;
        const QRectF source(QPointF(0, 0), picture.size());
        const QTransform transform = painter.deviceTransform();
        painter.save();
        painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
        if (painter.paintEngine() && painter.paintEngine()->type() == QPaintEngine::Raster &&
            transform.type() == QTransform::TxScale && transform.m11() < 1.0) {
            // Reduced by averaging areas, which keeps fine lines that a sampling drawing loses.
            const QRectF target = transform.mapRect(source);
            const QSize size(std::max(1, int(std::lround(target.width()))),
                             std::max(1, int(std::lround(target.height()))));
            painter.resetTransform();
            painter.drawImage(target.topLeft(), picture.scaled(size, Qt::IgnoreAspectRatio,
                                                               Qt::SmoothTransformation));
        } else {
            painter.drawImage(source, picture);
        }
        painter.restore();
    }
};

SealArtwork::SealArtwork(SealSource source, double layoutDpi) : data_(std::make_unique<Data>())
{
    data_->pixelsPerCm = PixelsPerCmOf(source);
    if (auto* name = std::get_if<NameSeal>(&source)) {
        seal::NameSealLayout layout = seal::LayoutNameSeal(
            name->record, name->ex, QSize(seal::kNameSealSize, seal::kNameSealSize), layoutDpi);
        data_->ink = seal::NameSealInkRect(layout);
        data_->frame = seal::NameSealFrameRect(layout);
        data_->color = layout.color;
        data_->drawing = std::move(layout);
    } else if (auto* date = std::get_if<DateSeal>(&source)) {
        seal::DateSealLayout layout = seal::LayoutDateSeal(
            date->record, date->ex, QSize(seal::kDateSealSize, seal::kDateSealSize), layoutDpi,
            PrintableDay(date->day));
        data_->ink = seal::DateSealInkRect(layout);
        data_->frame = seal::DateSealFrameRect(layout);
        data_->color = layout.color;
        data_->drawing = std::move(layout);
    } else {
        QImage picture = std::get<BitmapSeal>(source).picture;
        // A picture with alpha (a seal taken out of a photo) keeps it.
        if (!picture.isNull())
            picture = picture.convertToFormat(picture.hasAlphaChannel() ? QImage::Format_ARGB32
                                                                        : QImage::Format_RGB32);
        data_->ink = QRectF(QPointF(0, 0), picture.size());
        data_->color = Qt::black;
        data_->drawing = std::move(picture);
    }
    if (data_->ink.width() <= 0 || data_->ink.height() <= 0)
        data_->ink = QRectF();
}

SealArtwork::~SealArtwork() = default;
SealArtwork::SealArtwork(SealArtwork&&) noexcept = default;
SealArtwork& SealArtwork::operator=(SealArtwork&&) noexcept = default;

QRectF SealArtwork::InkRect() const
{
    return data_->ink;
}

double SealArtwork::PixelsPerCm() const
{
    return data_->pixelsPerCm;
}

QSizeF SealArtwork::SizeMm() const
{
    return data_->ink.size() * (10.0 / data_->pixelsPerCm);
}

std::optional<QSizeF> SealArtwork::FrameSizeMm() const
{
    if (!data_->frame)
        return std::nullopt;
    return data_->frame->size() * (10.0 / data_->pixelsPerCm);
}

QColor SealArtwork::InkColor() const
{
    return data_->color;
}

bool SealArtwork::IsBitmap() const
{
    return std::holds_alternative<QImage>(data_->drawing);
}

bool SealArtwork::PictureHasAlpha() const
{
    const auto* picture = std::get_if<QImage>(&data_->drawing);
    return picture && picture->hasAlphaChannel();
}

void SealArtwork::Paint(QPainter& painter, double scale) const
{
    if (data_->ink.isEmpty())
        return;
    painter.save();
    painter.scale(scale, scale);
    painter.translate(-data_->ink.topLeft());
    data_->PaintInk(painter);
    painter.restore();
}

} // namespace velmr::output
