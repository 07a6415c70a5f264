#include "seal/NameSealRenderer.h"

#include "seal/DateSealRenderer.h"

#include <QFontMetrics>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace velmr::seal;
using velmr::platform::MakeSealFont;

namespace {

constexpr double kDpi = 96.0;
constexpr int kCentre = 148;

bool IsInk(QRgb pixel)
{
    return qGreen(pixel) < 160; // red, black or blue, never white
}

// Text ink only: the disk well inside the default frame (inner edge at 115 from the centre).
bool InsideFrame(int x, int y)
{
    const int dx = x - 148, dy = y - 148;
    return dx * dx + dy * dy < 111 * 111;
}

// The bounding box of ink inside `area`, text only (inside the frame) or everything.
QRect InkBounds(const QImage& image, QRect area, bool textOnly = true)
{
    area &= image.rect();
    int left = INT_MAX, top = INT_MAX, right = INT_MIN, bottom = INT_MIN;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if ((!textOnly || InsideFrame(x, y)) && IsInk(image.pixel(x, y))) {
                left = std::min(left, x), right = std::max(right, x);
                top = std::min(top, y), bottom = std::max(bottom, y);
            }
    return left == INT_MAX ? QRect() : QRect(QPoint(left, top), QPoint(right, bottom));
}

int InkCount(const QImage& image, QRect area, bool textOnly = true)
{
    int count = 0;
    area &= image.rect();
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            count += (!textOnly || InsideFrame(x, y)) && IsInk(image.pixel(x, y));
    return count;
}

// The region well inside the frame of the default seal, where only text can be.
QRect TextArea()
{
    return QRect(QPoint(37, 37), QPoint(259, 259));
}

struct Metrics
{
    int height;
    int Width(const QString& text) const { return QFontMetrics(font).horizontalAdvance(text); }
    QFont font;
};

Metrics MetricsOf(const NameStampRecord& record)
{
    const auto font =
        MakeSealFont(record.FontName.ToUnicode(), record.FontSize, record.FontStyle, kDpi);
    return {font->height, font->font};
}

NameStampRecord WithLines(const std::vector<const char16_t*>& lines, int fontSize = 40)
{
    NameStampRecord record = NewNameStamp();
    Text20* fields[] = {&record.Text1, &record.Text2, &record.Text3, &record.Text4};
    for (Text20* field : fields)
        field->Assign("");
    int i = 0;
    for (const char16_t* line : lines)
        fields[i++]->Assign(Sjis(line));
    record.FontSize = fontSize;
    return record;
}

TEST(NameSealRenderer, DefaultSealIsTwoCharactersCentredInARedCircle)
{
    const NameStampRecord record = NewNameStamp();
    const QImage image = RenderNameSeal(record, NewNameStampEx(), kDpi);
    ASSERT_EQ(image.size(), QSize(297, 297));

    // The circle of half-size 117 and pen 4 passes through (31, 148) and (265, 148).
    for (const QPoint point :
         {QPoint(31, 148), QPoint(265, 148), QPoint(148, 31), QPoint(148, 265)})
        EXPECT_EQ(QColor(image.pixel(point)), QColor(255, 0, 0)) << point.x() << "," << point.y();
    // The pen is 4 wide, centred on the outline.
    EXPECT_EQ(InkBounds(image, QRect(0, 147, 297, 3), false).left(), 29);
    EXPECT_EQ(InkBounds(image, QRect(0, 147, 297, 3), false).right(), 266);
    EXPECT_EQ(QColor(image.pixel(27, 148)), QColor(Qt::white));
    EXPECT_EQ(QColor(image.pixel(0, 0)), QColor(Qt::white));

    // 76 points at 96 dpi ask for 101 pixels; "名" above "字", centred as a block.
    const NameSealLayout layout = LayoutNameSeal(record, NewNameStampEx(), QSize(297, 297), kDpi);
    ASSERT_TRUE(layout.first.font);
    EXPECT_EQ(layout.first.font->font.pixelSize(), 101);
    EXPECT_TRUE(layout.first.font->font.bold());
    ASSERT_EQ(layout.first.lines.size(), 2u);
    const Metrics metrics = MetricsOf(record);
    const int top = (297 - 2 * metrics.height) / 2;
    EXPECT_EQ(layout.first.lines[0].text, QStringLiteral("名"));
    EXPECT_EQ(layout.first.lines[1].text, QStringLiteral("字"));
    EXPECT_EQ(layout.first.lines[0].y, top);
    EXPECT_EQ(layout.first.lines[1].y, top + metrics.height);
    EXPECT_EQ(layout.first.lines[0].x, (297 - metrics.Width(QStringLiteral("名"))) / 2);

    // The ink of each character lies in its cell and is centred on the seal's axis.
    const QRect upper = InkBounds(image, QRect(60, top, 177, metrics.height));
    const QRect lower = InkBounds(image, QRect(60, top + metrics.height, 177, metrics.height));
    ASSERT_FALSE(upper.isNull());
    ASSERT_FALSE(lower.isNull());
    EXPECT_NEAR((upper.left() + upper.right()) / 2.0, kCentre, 6.0);
    EXPECT_NEAR((lower.left() + lower.right()) / 2.0, kCentre, 6.0);
    EXPECT_LT(upper.bottom(), lower.top() + 8);
    EXPECT_GT(upper.width(), 60);
    // Nothing but the two characters inside the frame.
    EXPECT_EQ(InkBounds(image, TextArea()), upper.united(lower) & TextArea());
    // Red, as the record says.
    const QRgb sample = image.pixel(upper.center());
    EXPECT_TRUE(!IsInk(sample) || (qRed(sample) > 200 && qBlue(sample) < 100));
}

TEST(NameSealRenderer, FrameTypesFollowCircleParameter)
{
    struct Case
    {
        std::int32_t circleParameter;
        int left, right; // box, exclusive right
        bool square;
    };
    const Case cases[] = {
        {100, 31, 265, false}, {80, 42, 254, false}, {60, 54, 242, false},
        {0, 31, 265, true},    {-5, 31, 265, true},  {50, 60, 236, false},
    };
    for (const Case& c : cases) {
        NameStampRecord record = NewNameStamp();
        record.CircleParameter = c.circleParameter;
        record.Text1.Assign("");
        const NameSealLayout layout = LayoutNameSeal(record, NewNameStampEx(), {297, 297}, kDpi);
        EXPECT_EQ(layout.roundedSquare, c.square) << c.circleParameter;
        EXPECT_EQ(layout.frame, (Box{c.left, 31, c.right, 265})) << c.circleParameter;

        const QImage image = RenderNameSeal(record, NewNameStampEx(), kDpi);
        const QRect row = InkBounds(image, QRect(0, 147, 297, 3), false);
        EXPECT_EQ(row.left(), c.left - 2) << c.circleParameter;
        EXPECT_EQ(row.right(), c.right + 1) << c.circleParameter;
        const QRect column = InkBounds(image, QRect(147, 0, 3, 297), false);
        EXPECT_EQ(column.top(), 29) << c.circleParameter;
        EXPECT_EQ(column.bottom(), 266) << c.circleParameter;
        // Only the square has straight sides: its edge still runs at x = 31 near the top.
        EXPECT_EQ(IsInk(image.pixel(c.left, 60)), c.square) << c.circleParameter;
        // The square's corners are rounded: 20 × 20 corner ellipses leave the very corner empty.
        if (c.square) {
            EXPECT_FALSE(IsInk(image.pixel(c.left + 1, 32)));
        }
    }
}

TEST(NameSealRenderer, OneToFourLinesStackFromTheFontMetrics)
{
    const std::vector<std::vector<const char16_t*>> sets = {
        {u"一"}, {u"山", u"田"}, {u"山", u"田", u"一"}, {u"山", u"田", u"太", u"郎"}};
    for (const auto& lines : sets) {
        for (const int gap : {0, 6, -15}) {
            NameStampRecord record = WithLines(lines);
            record.TextSpace = gap;
            const Metrics metrics = MetricsOf(record);
            const NameSealLayout layout = LayoutNameSeal(record, {}, {297, 297}, kDpi);
            const int n = int(lines.size());
            ASSERT_EQ(int(layout.first.lines.size()), n);
            const int block = n * metrics.height + (n - 1) * gap;
            const int top = (297 - block) / 2;
            for (int i = 0; i < n; ++i) {
                const PlacedLine& line = layout.first.lines[i];
                EXPECT_EQ(line.y, top + i * (metrics.height + gap)) << n << " lines, gap " << gap;
                EXPECT_EQ(line.x, (297 - metrics.Width(line.text)) / 2);
                EXPECT_EQ(line.height, metrics.height);
            }
            // The drawn ink stays within the block of cells.
            const QImage image = RenderNameSeal(record, {}, kDpi);
            const QRect ink = InkBounds(image, TextArea());
            ASSERT_FALSE(ink.isNull());
            EXPECT_GE(ink.top(), top - 2);
            EXPECT_LE(ink.bottom(), top + block + 2);
        }
    }
}

TEST(NameSealRenderer, LinesStopAtTheFirstEmptyText)
{
    NameStampRecord record = WithLines({u"山", u"", u"田", u"郎"});
    const NameSealLayout layout = LayoutNameSeal(record, {}, {297, 297}, kDpi);
    ASSERT_EQ(layout.first.lines.size(), 1u);

    record.Text1.Assign("");
    const QImage image = RenderNameSeal(record, {}, kDpi);
    EXPECT_EQ(InkCount(image, TextArea()), 0) << "only the frame is drawn";
    EXPECT_GT(InkCount(image, image.rect(), false), 0);
}

TEST(NameSealRenderer, OffsetsMoveTheFirstNameOnly)
{
    NameStampRecord base = NewNameStamp();
    base.FontSize = 40; // well inside the frame, however it moves
    NameStampRecord moved = base;
    moved.OffsetY = 10;
    moved.OffsetX = -7;
    const QRect before = InkBounds(RenderNameSeal(base, {}, kDpi), TextArea());
    const QRect after = InkBounds(RenderNameSeal(moved, {}, kDpi), TextArea());
    EXPECT_EQ(after.top(), before.top() - 10) << "a positive OffsetY moves the text up";
    EXPECT_EQ(after.left(), before.left() - 7);

    NameStampExRecord ex = NewNameStampEx();
    ex.UseNameEX = 1;
    ex.ExText1.Assign(Sjis(u"鈴"));
    ex.ExFontSize = 30;
    ex.ExOffsetX = 60;
    ex.ExOffsetY = 30;
    const NameSealLayout plain = LayoutNameSeal(base, NewNameStampEx(), {297, 297}, kDpi);
    const NameSealLayout composed = LayoutNameSeal(base, ex, {297, 297}, kDpi);
    ASSERT_TRUE(composed.second);
    ASSERT_EQ(composed.second->lines.size(), 1u);
    for (std::size_t i = 0; i < plain.first.lines.size(); ++i) {
        EXPECT_EQ(composed.first.lines[i].x, plain.first.lines[i].x);
        EXPECT_EQ(composed.first.lines[i].y, plain.first.lines[i].y);
    }
    const PlacedLine& second = composed.second->lines[0];
    EXPECT_EQ(second.y, (297 - second.height) / 2 - 30);
    EXPECT_EQ(second.x, (297 - second.width) / 2 + 60);
}

TEST(NameSealRenderer, SecondNameIsDrawnOnlyWhenItHasText)
{
    const NameStampRecord record = NewNameStamp();
    NameStampExRecord ex = NewNameStampEx();
    const QImage plain = RenderNameSeal(record, ex, kDpi);
    ex.UseNameEX = 1;
    EXPECT_EQ(RenderNameSeal(record, ex, kDpi), plain) << "UseNameEX with an empty ExText1";
    ex.ExText1.Assign(Sjis(u"鈴"));
    ex.ExOffsetX = 70;
    ex.ExFontSize = 30;
    const QImage composed = RenderNameSeal(record, ex, kDpi);
    EXPECT_GT(InkCount(composed, TextArea()), InkCount(plain, TextArea()));
    ex.UseNameEX = 0;
    EXPECT_EQ(RenderNameSeal(record, ex, kDpi), plain);
}

TEST(NameSealRenderer, ColourStyleAndResolution)
{
    NameStampRecord record = NewNameStamp();
    record.StampColor = kColorBlue;
    const QImage blue = RenderNameSeal(record, {}, kDpi);
    EXPECT_EQ(QColor(blue.pixel(31, 148)), QColor(0, 0, 255));

    // Bold must look bold, also on faces that have no bold variant.
    record = NewNameStamp();
    const int bold = InkCount(RenderNameSeal(record, {}, kDpi), TextArea());
    record.FontStyle = 0;
    const int regular = InkCount(RenderNameSeal(record, {}, kDpi), TextArea());
    EXPECT_GT(bold, regular * 115 / 100);

    // Point sizes follow the display's resolution.
    const NameSealLayout at120 = LayoutNameSeal(NewNameStamp(), {}, {297, 297}, 120.0);
    EXPECT_EQ(at120.first.font->font.pixelSize(), 127);

    // The four Windows faces stand for the IPA faces; others keep their names.
    EXPECT_EQ(velmr::platform::PlatformFaceFor(QStringLiteral("ＭＳ ゴシック")),
              QStringLiteral("IPAGothic"));
    EXPECT_EQ(velmr::platform::PlatformFaceFor(QStringLiteral("MS PMincho")),
              QStringLiteral("IPAPMincho"));
    EXPECT_EQ(velmr::platform::PlatformFaceFor(QStringLiteral("ＭＳ Ｐゴシック")),
              QStringLiteral("IPAPGothic"));
    EXPECT_EQ(velmr::platform::PlatformFaceFor(QStringLiteral("Noto Serif")),
              QStringLiteral("Noto Serif"));
}

TEST(NameSealRenderer, WildRecordsDrawWithoutHarm)
{
    constexpr auto kMin = std::numeric_limits<std::int32_t>::min();
    constexpr auto kMax = std::numeric_limits<std::int32_t>::max();
    for (const std::int32_t value : {kMin, -1000000, -1, 0, 1, 1000000, kMax}) {
        NameStampRecord record = NewNameStamp();
        record.FontSize = value;
        record.StampSize = value;
        record.TextSpace = value;
        record.LineWidth = value;
        record.CircleParameter = value;
        record.OffsetX = value;
        record.OffsetY = value;
        record.StampColor = value;
        NameStampExRecord ex = NewNameStampEx();
        ex.UseNameEX = value;
        ex.ExText1.Assign("A");
        ex.ExFontSize = value;
        ex.ExTextSpace = value;
        const QImage image = RenderNameSeal(record, ex, kDpi);
        EXPECT_EQ(image.size(), QSize(297, 297)) << value;
    }

    // A font size of 0 or below draws the frame and no text.
    for (const std::int32_t size : {0, -1, -76}) {
        NameStampRecord record = NewNameStamp();
        record.FontSize = size;
        const QImage image = RenderNameSeal(record, {}, kDpi);
        EXPECT_EQ(InkCount(image, TextArea()), 0) << size;
        EXPECT_EQ(QColor(image.pixel(31, 148)), QColor(255, 0, 0)) << size;
    }

    // A frame far beyond the picture leaves it white.
    NameStampRecord huge = NewNameStamp();
    huge.StampSize = 5000000;
    huge.Text1.Assign("");
    const QImage image = RenderNameSeal(huge, {}, kDpi);
    EXPECT_EQ(InkCount(image, image.rect(), false), 0);
}

// What is wrong with a stroke of pen `width` across `line` (a row or column of pixels), whose
// outline lies at `edge` along it: the pen covers `width` whole pixels in full colour from
// edge − width / 2, and the pixels beside them stay white. Empty when nothing is wrong.
std::string StrokeFault(const QImage& image, QLine line, int edge, int width)
{
    const QPoint step = (line.p2() - line.p1()) /
                        std::max(1, line.dx() ? std::abs(line.dx()) : std::abs(line.dy()));
    const int first = edge - width / 2;
    std::string fault;
    for (QPoint p = line.p1(); p != line.p2() + step; p += step) {
        const int along = line.dx() ? p.x() : p.y();
        const int ink = 255 - qGreen(image.pixel(p)); // red or black on white
        const bool core = along >= first && along < first + width;
        if (core ? ink < 250 : ink > 5)
            fault += std::to_string(along) + ":" + std::to_string(ink) + " ";
    }
    return fault;
}

TEST(SealStrokes, EveryPenWidthCoversWholePixels)
{
    for (int width = 1; width <= 6; ++width) {
        SCOPED_TRACE(width);
        for (const std::int32_t shape : {100, 0}) { // circle, rounded square
            NameStampRecord name = NewNameStamp();
            name.Text1.Assign("");
            name.LineWidth = width;
            name.CircleParameter = shape;
            const QImage seal = RenderNameSeal(name, NewNameStampEx(), kDpi);
            EXPECT_EQ(StrokeFault(seal, QLine(20, 148, 42, 148), 31, width), "") << shape;
            EXPECT_EQ(StrokeFault(seal, QLine(254, 148, 276, 148), 265, width), "") << shape;
            EXPECT_EQ(StrokeFault(seal, QLine(148, 20, 148, 42), 31, width), "") << shape;
        }
        DateStampRecord date = NewDateStamp();
        date.LineWidth = width;
        const QImage seal = RenderDateSeal(date, {}, kDpi);
        EXPECT_EQ(StrokeFault(seal, QLine(90, 128, 90, 150), 139, width), "") << "band line";
        EXPECT_EQ(StrokeFault(seal, QLine(90, 199, 90, 221), 210, width), "") << "band line";
        EXPECT_EQ(StrokeFault(seal, QLine(49, 175, 71, 175), 60, width), "") << "ring";
    }
}

TEST(NameSealRenderer, UnterminatedTextsDrawTheirBytes)
{
    std::string bytes = ToBytes(NewNameStamp());
    for (int i = 0; i < 20; ++i)
        bytes[i] = 'W'; // Text1 without terminator runs into Text2's field no further
    NameStampRecord record;
    ASSERT_TRUE(
        FromBytes({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()}, record));
    record.FontSize = 10;
    const NameSealLayout layout = LayoutNameSeal(record, {}, {297, 297}, kDpi);
    ASSERT_EQ(layout.first.lines.size(), 2u);
    EXPECT_EQ(layout.first.lines[0].text, QString(20, QLatin1Char('W')));
    EXPECT_EQ(layout.first.lines[1].text, QStringLiteral("字"));
}

} // namespace
