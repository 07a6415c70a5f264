#pragma once

#include <QImage>
#include <QWidget>

namespace velmr::seal {

// The picture control of a seal window: shows its picture 1:1 from the top-left corner.
class PictureControl final : public QWidget
{
    Q_OBJECT
public:
    explicit PictureControl(QWidget* parent = nullptr);

    QImage& Picture() { return picture_; }
    const QImage& Picture() const { return picture_; }
    // Gives the control and its picture the size `size`; the picture's content is kept where it
    // fits.
    void SetPictureSize(QSize size);
    void SetPicture(QImage picture);

    // The crop square drawn over the picture (picture coordinates), or none.
    void SetCropShape(const QRect& shape, bool visible);

Q_SIGNALS:
    // Mouse events, with the mouse position in screen coordinates.
    void MouseDown(Qt::MouseButton button, QPoint screen);
    void MouseMove(QPoint screen);
    void MouseUp(Qt::MouseButton button);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QImage picture_;
    QRect cropShape_;
    bool cropVisible_ = false;
};

} // namespace velmr::seal
