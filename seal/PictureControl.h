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

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage picture_;
};

} // namespace velmr::seal
