#include "stamp/PageGeometry.h"

#include <cmath>
#include <numbers>

namespace velmr::stamp {
namespace {

constexpr double kPointsPerMm = 72.0 / 25.4;

// The sine and cosine of a turn in degrees, exact for the quarter turns.
void SinCos(double degrees, double& sine, double& cosine)
{
    double turned = std::fmod(degrees, 360.0);
    if (turned < 0) {
        turned += 360.0;
    }
    if (turned == 0.0 || turned == 90.0 || turned == 180.0 || turned == 270.0) {
        const int quarter = int(turned) / 90;
        constexpr int kSines[] = {0, 1, 0, -1};
        constexpr int kCosines[] = {1, 0, -1, 0};
        sine = kSines[quarter];
        cosine = kCosines[quarter];
        return;
    }
    const double radians = turned * std::numbers::pi / 180.0;
    sine = std::sin(radians);
    cosine = std::cos(radians);
}

} // namespace

PageFrame MakePageFrame(const QRectF& mediaBox, const std::optional<QRectF>& cropBox, int rotate,
                        std::optional<double> userUnit)
{
    PageFrame frame;
    const QRectF media = mediaBox.normalized();
    frame.visible = media;
    if (cropBox) {
        const QRectF clipped = cropBox->normalized().intersected(media);
        if (clipped.width() > 0 && clipped.height() > 0) {
            frame.visible = clipped;
        }
    }
    int quarter = rotate % 360;
    if (quarter < 0) {
        quarter += 360;
    }
    frame.rotate = (quarter / 90) * 90;
    if (userUnit && std::isfinite(*userUnit) && *userUnit > 0) {
        frame.userUnit = *userUnit;
    }
    return frame;
}

QSizeF VisibleSizeMm(const PageFrame& frame)
{
    const double scale = frame.userUnit / kPointsPerMm;
    const QSizeF size(frame.visible.width() * scale, frame.visible.height() * scale);
    return frame.rotate == 90 || frame.rotate == 270 ? size.transposed() : size;
}

QPointF UserPointAt(const PageFrame& frame, const QPointF& mm)
{
    // Along the page as seen, in units of user space.
    const double across = mm.x() * kPointsPerMm / frame.userUnit;
    const double down = mm.y() * kPointsPerMm / frame.userUnit;
    // QRectF's top() is the smaller y: the bottom edge of the page in user space.
    const double left = frame.visible.left();
    const double right = frame.visible.right();
    const double bottom = frame.visible.top();
    const double top = frame.visible.bottom();
    switch (frame.rotate) {
    case 90:
        return {left + down, bottom + across};
    case 180:
        return {right - across, bottom + down};
    case 270:
        return {right - down, top - across};
    default:
        return {left + across, top - down};
    }
}

QTransform PlacementMatrix(const PageFrame& frame, const QPointF& centreMm, double rotationDeg,
                           const QSizeF& sizePt)
{
    // Turned against the clock in user space: the page's own turn brings the drawing upright as
    // seen, the stamp's turn (clockwise as seen) takes it away again.
    double sine = 0;
    double cosine = 1;
    SinCos(double(frame.rotate) - rotationDeg, sine, cosine);
    const double scale = 1.0 / frame.userUnit;
    const double a = scale * cosine;
    const double b = scale * sine;
    const double c = -scale * sine;
    const double d = scale * cosine;
    const QPointF centre = UserPointAt(frame, centreMm);
    const double halfW = sizePt.width() / 2;
    const double halfH = sizePt.height() / 2;
    return QTransform(a, b, c, d, centre.x() - (a * halfW + c * halfH),
                      centre.y() - (b * halfW + d * halfH));
}

} // namespace velmr::stamp
