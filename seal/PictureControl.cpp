#include "seal/PictureControl.h"

#include <QMouseEvent>
#include <QPainter>

namespace velmr::seal {

PictureControl::PictureControl(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAutoFillBackground(false);
}

void PictureControl::SetPictureSize(QSize size)
{
    if (picture_.size() != size) {
        QImage resized(size, QImage::Format_RGB32);
        resized.fill(Qt::white);
        if (!picture_.isNull()) {
            QPainter painter(&resized);
            painter.drawImage(0, 0, picture_);
        }
        picture_ = std::move(resized);
    }
    setFixedSize(size);
    update();
}

void PictureControl::SetPicture(QImage picture)
{
    picture_ = std::move(picture);
    setFixedSize(picture_.size());
    update();
}

void PictureControl::SetCropShape(const QRect& shape, bool visible)
{
    if (shape == cropShape_ && visible == cropVisible_)
        return;
    cropShape_ = shape;
    cropVisible_ = visible;
    update();
}

void PictureControl::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    painter.drawImage(0, 0, picture_);
    if (!cropVisible_)
        return;
    // A yellow outline of pen width 3 inside the square, edged in black, so that it stays
    // visible on any picture.
    const QRectF outline = QRectF(cropShape_).adjusted(1.5, 1.5, -1.5, -1.5);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(Qt::black, 5, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    painter.drawRect(outline);
    painter.setPen(QPen(Qt::yellow, 3, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    painter.drawRect(outline);
}

void PictureControl::mousePressEvent(QMouseEvent* event)
{
    Q_EMIT MouseDown(event->button(), event->globalPosition().toPoint());
}

void PictureControl::mouseMoveEvent(QMouseEvent* event)
{
    Q_EMIT MouseMove(event->globalPosition().toPoint());
}

void PictureControl::mouseReleaseEvent(QMouseEvent* event)
{
    Q_EMIT MouseUp(event->button());
}

} // namespace velmr::seal
