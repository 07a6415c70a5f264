#include "seal/DateSealRenderer.h"

#include <gtest/gtest.h>

#include <limits>

using namespace velmr::seal;
using velmr::calendar::LocalDate;

namespace {

constexpr double kDpi = 96.0;

bool IsInk(QRgb pixel)
{
    return qGreen(pixel) < 160;
}

class DateSealTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        velmr::calendar::SetClock([this] { return today; });
    }
    void TearDown() override { velmr::calendar::SetClock({}); }

    DateSealLayout Layout(const DateStampRecord& r, const DateStampExRecord& ex = {}) const
    {
        return LayoutDateSeal(r, ex, {350, 350}, kDpi);
    }

    LocalDate today{2026, 12, 8};
};

TEST_F(DateSealTest, NewDateSealGeometry)
{
    const DateStampRecord record = NewDateStamp();
    const DateSealLayout layout = Layout(record);
    ASSERT_EQ(layout.rings.size(), 1u);
    EXPECT_EQ(layout.rings[0].box, (Box{60, 60, 290, 290}));
    EXPECT_EQ(layout.rings[0].penWidth, 4);
    ASSERT_EQ(layout.bandLines.size(), 2u);
    EXPECT_EQ(layout.bandLines[0].y, 139);
    EXPECT_EQ(layout.bandLines[1].y, 210);
    for (const BandLine& line : layout.bandLines) {
        EXPECT_EQ(line.x1, 66);
        EXPECT_EQ(line.x2, 283);
    }
    EXPECT_EQ(layout.bandText, QStringLiteral("26.12.08"));

    const QImage image = RenderDateSeal(record, {}, kDpi);
    ASSERT_EQ(image.size(), QSize(350, 350));
    // Both band lines, pen 4 centred on them, at a column where no text stands.
    for (const int y : {137, 138, 139, 140, 208, 209, 210, 211})
        EXPECT_EQ(QColor(image.pixel(90, y)), QColor(255, 0, 0)) << y;
    for (const int y : {135, 142, 206, 213})
        EXPECT_FALSE(IsInk(image.pixel(90, y))) << y;
    // The ring of radius 115 passes through (60, 175) and (290, 175).
    EXPECT_EQ(QColor(image.pixel(60, 175)), QColor(255, 0, 0));
    EXPECT_EQ(QColor(image.pixel(290, 175)), QColor(255, 0, 0));

    // "組織" rests on the upper line 2 pixels higher, "名字" hangs from the lower one 2 lower.
    ASSERT_EQ(layout.texts.size(), 3u);
    const PlacedText& upper = layout.texts[0];
    const PlacedText& lower = layout.texts[1];
    const PlacedText& band = layout.texts[2];
    EXPECT_EQ(upper.text, QStringLiteral("組織"));
    EXPECT_EQ(upper.font.font.pixelSize(), 61);
    EXPECT_EQ(upper.y, std::int64_t(175 - upper.height - 35.52) - 2);
    EXPECT_EQ(upper.x, 175 - upper.width / 2);
    EXPECT_EQ(lower.text, QStringLiteral("名字"));
    EXPECT_EQ(lower.y, 210 + 2);
    EXPECT_EQ(lower.font.font.pixelSize(), 64);
    EXPECT_EQ(band.text, QStringLiteral("26.12.08"));
    EXPECT_EQ(band.font.font.pixelSize(), 48);
    EXPECT_EQ(band.x, 175 - band.width / 2);
    EXPECT_EQ(band.y, 175 - band.height / 2);
}

TEST_F(DateSealTest, BandLinesFollowSpaceM)
{
    struct Case
    {
        std::int32_t spaceM;
        std::int64_t upper, lower;
    };
    for (const Case& c : {Case{-5, 149, 200}, Case{0, 139, 210}, Case{5, 130, 219}}) {
        DateStampRecord record = NewDateStamp();
        record.SpaceM = c.spaceM;
        const DateSealLayout layout = Layout(record);
        EXPECT_EQ(layout.bandLines[0].y, c.upper) << c.spaceM;
        EXPECT_EQ(layout.bandLines[1].y, c.lower) << c.spaceM;
    }
}

TEST_F(DateSealTest, RingTypes)
{
    struct Case
    {
        std::int32_t twinRing, lineWidth;
        std::vector<Ring> rings;
        std::size_t bandLines;
    };
    const Case cases[] = {
        {0, 4, {{{60, 60, 290, 290}, 4}}, 2},
        {1, 6, {{{60, 60, 290, 290}, 4}, {{52, 52, 298, 298}, 4}}, 2},
        {1, 4, {{{60, 60, 290, 290}, 2}, {{56, 56, 294, 294}, 2}}, 2},
        {2, 4, {{{60, 60, 290, 290}, 4}, {{52, 52, 298, 298}, 4}}, 2},
        {3, 4, {{{56, 56, 290, 290}, 12}}, 2},
        {4, 4, {}, 0},
        {-1, 4, {}, 0},
    };
    for (const Case& c : cases) {
        DateStampRecord record = NewDateStamp();
        record.TwinRing = c.twinRing;
        record.LineWidth = c.lineWidth;
        const DateSealLayout layout = Layout(record);
        ASSERT_EQ(layout.rings.size(), c.rings.size()) << c.twinRing;
        for (std::size_t i = 0; i < c.rings.size(); ++i) {
            EXPECT_EQ(layout.rings[i].box, c.rings[i].box) << c.twinRing << " ring " << i;
            EXPECT_EQ(layout.rings[i].penWidth, c.rings[i].penWidth) << c.twinRing;
        }
        EXPECT_EQ(layout.bandLines.size(), c.bandLines) << c.twinRing;
        EXPECT_EQ(layout.penWidth, c.lineWidth) << "band lines keep the record's pen";
    }

    // The thick ring is drawn with pen 12 around its box (56, 56)-(290, 290).
    DateStampRecord thick = NewDateStamp();
    thick.TwinRing = 3;
    const QImage image = RenderDateSeal(thick, {}, kDpi);
    EXPECT_EQ(QColor(image.pixel(51, 173)), QColor(255, 0, 0));
    EXPECT_EQ(QColor(image.pixel(60, 173)), QColor(255, 0, 0));
    EXPECT_FALSE(IsInk(image.pixel(48, 173)));
    // Without a frame, only the texts.
    DateStampRecord bare = NewDateStamp();
    bare.TwinRing = 9;
    EXPECT_FALSE(IsInk(RenderDateSeal(bare, {}, kDpi).pixel(90, 139)));
}

TEST_F(DateSealTest, SecondUpperLineSmallTextAndThirdLine)
{
    DateStampRecord record = NewDateStamp();
    DateStampExRecord ex;
    const DateSealLayout plain = Layout(record, ex);

    ex.Text3.Assign(Sjis(u"総務"));
    ex.U_T2Space = 3;
    const DateSealLayout twoLines = Layout(record, ex);
    ASSERT_EQ(twoLines.texts.size(), 4u);
    const PlacedText& text1 = twoLines.texts[0];
    const PlacedText& text3 = twoLines.texts[1];
    EXPECT_EQ(text3.text, QStringLiteral("総務"));
    EXPECT_EQ(text3.y, plain.texts[0].y) << "Text3 takes the place on the band line";
    EXPECT_EQ(text1.y, std::int64_t(175 - 2 * text1.height - 3 - 35.52) - 2);

    ex = {};
    ex.Text4.Assign(Sjis(u"印"));
    ex.L_T2FontSize = 50;
    ex.L_T2Space = 6;
    const DateSealLayout small = Layout(record, ex);
    ASSERT_EQ(small.texts.size(), 4u);
    const PlacedText& text2 = small.texts[1];
    const PlacedText& text4 = small.texts[2];
    EXPECT_EQ(text4.font.font.pixelSize(), 32) << "half of 48 points";
    EXPECT_EQ(text2.x, 175 - text2.width / 2 - text4.width / 2 - 3);
    EXPECT_EQ(text4.x, 175 + text2.width / 2 - text4.width / 2 + 3);
    EXPECT_EQ(text4.y, 212 + (text2.height - text4.height) / 2);

    ex = {};
    ex.Text5.Assign(Sjis(u"課長"));
    ex.L_T3Space = 4;
    const DateSealLayout third = Layout(record, ex);
    ASSERT_EQ(third.texts.size(), 4u);
    const PlacedText& text5 = third.texts[2];
    EXPECT_EQ(text5.text, QStringLiteral("課長"));
    EXPECT_EQ(text5.y, std::int64_t(text5.height + 175 + 4 + 35.52) + 2);
}

TEST_F(DateSealTest, BandTextInEveryYearStyle)
{
    struct Case
    {
        LocalDate date;
        std::int32_t years, dateNZ;
        const char16_t* header;
        const char16_t* band;
    };
    const Case cases[] = {
        {{2026, 12, 8}, 0, 0, u"", u"26.12.08"},
        {{2026, 12, 8}, 1, 0, u"", u"08.12.08"},
        {{2026, 12, 8}, 2, 0, u"", u"2026.12.08"},
        {{2026, 12, 8}, 1, 1, u"", u"08.12.8"},
        {{2002, 3, 5}, 0, 1, u"", u"02.3.5"},
        {{2019, 4, 30}, 1, 0, u"", u"31.04.30"},
        {{2019, 5, 1}, 1, 0, u"", u"01.05.01"},
        {{2080, 1, 1}, 0, 0, u"", u"80.01.01"},
        {{2026, 12, 8}, 3, 0, u"受付", u"受付"}, // no date, only the header
        {{2026, 12, 8}, -1, 0, u"", u""},
        {{2026, 12, 8}, 0, 7, u"", u"26.12.08"}, // any other DateNZ pads
        {{2026, 12, 8}, 0, 0, u"ABCDEFG", u"ABCDEF26.12.08"},
        {{2026, 12, 8}, 0, 0, u"日付印", u"日付印26.12.08"},
        {{2026, 12, 8}, 0, 0, u"A日付印", u"A日付26.12.08"}, // 印 would be split: left out
    };
    for (const Case& c : cases) {
        today = c.date;
        DateStampRecord record = NewDateStamp();
        record.Years = c.years;
        record.Header.Assign(Sjis(c.header));
        DateStampExRecord ex;
        ex.DateNZ = c.dateNZ;
        EXPECT_EQ(DateBandText(record, ex), QString::fromUtf16(c.band))
            << c.date.year << " years " << c.years;
    }
}

TEST_F(DateSealTest, UnterminatedHeaderFromOutsideIsCutToSixBytes)
{
    DateStampRecord record = NewDateStamp();
    record.Header.bytes = {'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H'}; // no terminator
    EXPECT_EQ(DateBandText(record, {}), QStringLiteral("ABCDEF26.12.08"));
    record.Header.bytes = {'A', 'B', 'C', 'D', 'E', '\x93', '\xFA', '\x95'}; // 日 then a lead byte
    EXPECT_EQ(DateBandText(record, {}), QStringLiteral("ABCDE26.12.08"));
}

TEST_F(DateSealTest, WildRecordsDrawWithoutHarm)
{
    constexpr auto kMin = std::numeric_limits<std::int32_t>::min();
    constexpr auto kMax = std::numeric_limits<std::int32_t>::max();
    for (const std::int32_t v : {kMin, -100000, -1, 0, 1, 100000, kMax}) {
        DateStampRecord record = NewDateStamp();
        record.FontSizeU = record.FontSizeM = record.FontSizeL = v;
        record.StampSize = record.LineWidth = record.SpaceM = v;
        record.PositionU = record.PositionL = record.Years = record.TwinRing = v;
        DateStampExRecord ex;
        ex.Text3.Assign("a");
        ex.Text4.Assign("b");
        ex.Text5.Assign("c");
        ex.U_T2Space = ex.L_T2FontSize = ex.L_T2Space = ex.L_T3Space = ex.DateNZ = v;
        EXPECT_EQ(RenderDateSeal(record, ex, kDpi).size(), QSize(350, 350)) << v;
    }
}

} // namespace
