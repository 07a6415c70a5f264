#include "seal/PictureControl.h"

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

void PictureControl::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    painter.drawImage(0, 0, picture_);
}

} // namespace velmr::seal
