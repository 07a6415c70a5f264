#include "stamp/PageGeometry.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using velmr::stamp::MakePageFrame;
using velmr::stamp::PageFrame;
using velmr::stamp::PlacementMatrix;
using velmr::stamp::UserPointAt;
using velmr::stamp::VisibleSizeMm;

constexpr double kPt = 72.0 / 25.4; // points per millimetre

struct FrameCase
{
    const char* name;
    QRectF media;
    std::optional<QRectF> crop;
    int rotate;
    std::optional<double> userUnit;
    QPointF mm;       // from the visible top-left corner
    QPointF expected; // user space
    QSizeF sizeMm;    // as seen
};

// The corner a reader shows top-left, and a point inside, for every turn of the page, an offset
// crop box (clipped to the media box), corners given in any order and a longer user unit.
TEST(PageGeometryTest, PointsAsSeenLandWhereTheReaderShowsThem)
{
    const QRectF a4(0, 0, 595, 842);
    const QRectF crop(100, 200, 300, 400); // 300 × 400 from (100, 200)
    const FrameCase cases[] = {
        {"upright", a4, {}, 0, {}, {10, 20}, {10 * kPt, 842 - 20 * kPt}, {595 / kPt, 842 / kPt}},
        {"quarter", a4, {}, 90, {}, {10, 20}, {20 * kPt, 10 * kPt}, {842 / kPt, 595 / kPt}},
        {"half", a4, {}, 180, {}, {10, 20}, {595 - 10 * kPt, 20 * kPt}, {595 / kPt, 842 / kPt}},
        {"three quarters",
         a4,
         {},
         -90,
         {},
         {10, 20},
         {595 - 20 * kPt, 842 - 10 * kPt},
         {842 / kPt, 595 / kPt}},
        {"cropped", a4, crop, 450, {}, {0, 0}, {100, 200}, {400 / kPt, 300 / kPt}},
        {"crop past the media",
         a4,
         QRectF(QPointF(700, 900), QPointF(500, 800)),
         0,
         {},
         {0, 0},
         {500, 842},
         {95 / kPt, 42 / kPt}},
        {"user unit",
         QRectF(0, 0, 100, 100),
         {},
         0,
         2.0,
         {10, 10},
         {5 * kPt, 100 - 5 * kPt},
         {200 / kPt, 200 / kPt}},
    };
    for (const FrameCase& c : cases) {
        SCOPED_TRACE(c.name);
        const PageFrame frame = MakePageFrame(c.media, c.crop, c.rotate, c.userUnit);
        const QPointF point = UserPointAt(frame, c.mm);
        EXPECT_NEAR(point.x(), c.expected.x(), 1e-9);
        EXPECT_NEAR(point.y(), c.expected.y(), 1e-9);
        EXPECT_NEAR(VisibleSizeMm(frame).width(), c.sizeMm.width(), 1e-9);
        EXPECT_NEAR(VisibleSizeMm(frame).height(), c.sizeMm.height(), 1e-9);
    }
}

// The drawing's centre lands on the point, its top towards the top of the page as seen (turned
// by the stamp's own rotation, clockwise as seen), at its size.
TEST(PageGeometryTest, PlacementKeepsTheSealUprightAsSeen)
{
    const QSizeF size(20, 10);
    struct Case
    {
        int pageRotate;
        double stampRotate;
        QPointF up; // user-space direction of the drawing's top
    };
    const Case cases[] = {{0, 0, {0, 1}},
                          {90, 0, {-1, 0}},
                          {180, 0, {0, -1}},
                          {270, 0, {1, 0}},
                          {0, 90, {1, 0}},
                          {90, 90, {0, 1}},
                          {270, 45, {std::sqrt(0.5), -std::sqrt(0.5)}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.pageRotate << " " << c.stampRotate);
        const PageFrame frame = MakePageFrame(QRectF(0, 0, 595, 842), {}, c.pageRotate, {});
        const QTransform m = PlacementMatrix(frame, {30, 40}, c.stampRotate, size);
        const QPointF centre = m.map(QPointF(10, 5));
        const QPointF expected = UserPointAt(frame, {30, 40});
        EXPECT_NEAR(centre.x(), expected.x(), 1e-9);
        EXPECT_NEAR(centre.y(), expected.y(), 1e-9);
        const QPointF up = m.map(QPointF(10, 6)) - centre;
        EXPECT_NEAR(up.x(), c.up.x(), 1e-9);
        EXPECT_NEAR(up.y(), c.up.y(), 1e-9);
        EXPECT_NEAR(std::abs(m.determinant()), 1.0, 1e-9);
    }
}

} // namespace
