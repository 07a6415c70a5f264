#include "seal/FitToFrame.h"

#include <QPainter>
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using namespace velmr::seal;
using namespace Qt::StringLiterals;

namespace {

constexpr double kDpi = 96.0;
const velmr::calendar::LocalDate kDay{2026, 12, 9};

// How far each pixel of a region lies from the nearest pixel outside it (0 outside), as an
// 8-neighbour chamfer distance.
struct Distances
{
    int width = 0;
    int height = 0;
    std::vector<double> at;
    double operator()(int x, int y) const { return at[std::size_t(y * width + x)]; }
};

Distances DistancesOf(const std::vector<bool>& region, int width, int height)
{
    Distances d{width, height, std::vector<double>(region.size(), 0.0)};
    const double big = 1e9;
    for (std::size_t i = 0; i < region.size(); ++i)
        d.at[i] = region[i] ? big : 0.0;
    const auto relax = [&](int x, int y, int dx, int dy, double step) {
        const int nx = x + dx, ny = y + dy;
        const double other = (nx < 0 || ny < 0 || nx >= width || ny >= height)
                                 ? 0.0
                                 : d.at[std::size_t(ny * width + nx)];
        double& here = d.at[std::size_t(y * width + x)];
        here = std::min(here, other + step);
    };
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            relax(x, y, -1, 0, 1), relax(x, y, 0, -1, 1);
            relax(x, y, -1, -1, M_SQRT2), relax(x, y, 1, -1, M_SQRT2);
        }
    for (int y = height - 1; y >= 0; --y)
        for (int x = width - 1; x >= 0; --x) {
            relax(x, y, 1, 0, 1), relax(x, y, 0, 1, 1);
            relax(x, y, 1, 1, M_SQRT2), relax(x, y, -1, 1, M_SQRT2);
        }
    return d;
}

bool White(QRgb pixel)
{
    return qRed(pixel) == 255 && qGreen(pixel) == 255 && qBlue(pixel) == 255;
}

// The white pixels reachable from `seed` without crossing ink: the inside of a frame as drawn.
std::vector<bool> InsideOf(const QImage& frame, QPoint seed)
{
    const int w = frame.width(), h = frame.height();
    std::vector<bool> inside(std::size_t(w * h), false);
    std::vector<QPoint> todo{seed};
    while (!todo.empty()) {
        const QPoint p = todo.back();
        todo.pop_back();
        if (p.x() < 0 || p.y() < 0 || p.x() >= w || p.y() >= h)
            continue;
        const std::size_t i = std::size_t(p.y() * w + p.x());
        if (inside[i] || !White(frame.pixel(p)))
            continue;
        inside[i] = true;
        todo.insert(todo.end(),
                    {p + QPoint(1, 0), p - QPoint(1, 0), p + QPoint(0, 1), p - QPoint(0, 1)});
    }
    return inside;
}

QImage WhitePicture(QSize size)
{
    QImage picture(size, QImage::Format_RGB32);
    picture.fill(Qt::white);
    return picture;
}

void PaintTexts(QImage& picture, const PlacedName& name)
{
    QPainter painter(&picture);
    if (!name.font)
        return;
    for (const PlacedLine& line : name.lines)
        velmr::platform::DrawSealText(painter, *name.font, QPoint(int(line.x), int(line.y)),
                                      line.text, Qt::red);
}

// The text alone, as the preview inks it.
QImage NameTextPicture(const NameStampRecord& record, const NameStampExRecord& ex)
{
    const NameSealLayout layout =
        LayoutNameSeal(record, ex, QSize(kNameSealSize, kNameSealSize), kDpi);
    QImage picture = WhitePicture(QSize(kNameSealSize, kNameSealSize));
    PaintTexts(picture, layout.first);
    if (layout.second)
        PaintTexts(picture, *layout.second);
    return picture;
}

// The least distance of the picture's ink from the region's edge; negative when ink lies
// outside it.
double Clearance(const QImage& text, const Distances& inside)
{
    double least = 1e9;
    for (int y = 0; y < text.height(); ++y)
        for (int x = 0; x < text.width(); ++x)
            if (!White(text.pixel(x, y)))
                least = std::min(least, inside(x, y) > 0 ? inside(x, y) : -1.0);
    return least;
}

std::string Lines(int lines, int characters)
{
    return std::to_string(lines) + " lines of " + std::to_string(characters);
}

TEST(FitToFrame, NameSealTextIsTheLargestThatStaysInsideTheFrame)
{
    const QString names[] = {u"勅使河原"_s, u"長谷川辺"_s, u"木下藤吉"_s, u"鷹司豊臣"_s};
    for (const std::int32_t shape : {100, 80, 60, 0}) {
        NameStampRecord frameOnly = NewNameStamp();
        frameOnly.CircleParameter = shape;
        frameOnly.Text1.Assign("");
        const NameStampExRecord noSecond = NewNameStampEx();
        const QImage frame = RenderNameSeal(frameOnly, noSecond, kDpi);
        const Distances inside =
            DistancesOf(InsideOf(frame, {148, 148}), frame.width(), frame.height());
        const double margin =
            FitMargin(NameSealFrameRect(LayoutNameSeal(frameOnly, noSecond, frame.size(), kDpi)));
        for (int lines = 1; lines <= 4; ++lines)
            for (int characters = 1; characters <= 4; ++characters)
                for (const std::int32_t resolution : {0, 1})
                    for (const bool second : {false, true}) {
                        SCOPED_TRACE(Lines(lines, characters) + " shape " + std::to_string(shape) +
                                     " resolution " + std::to_string(resolution) +
                                     (second ? " second" : ""));
                        NameStampRecord record = NewNameStamp();
                        NameStampExRecord ex = NewNameStampEx();
                        record.CircleParameter = shape;
                        record.Resolution = resolution;
                        Text20* const fields[] = {&record.Text1, &record.Text2, &record.Text3,
                                                  &record.Text4};
                        for (int i = 0; i < 4; ++i)
                            fields[i]->Assign(
                                i < lines ? Sjis(QStringView(names[i]).left(characters)) : "");
                        if (second) {
                            ex.UseNameEX = 1;
                            ex.ExText1.Assign(Sjis(u"印"));
                            ex.ExFontSize = 30;
                            ex.ExOffsetX = 60;
                            record.OffsetX = -20;
                        }
                        ASSERT_EQ(FitNameSeal(record, ex, kDpi), FitOutcome::Fitted);
                        EXPECT_GT(Clearance(NameTextPicture(record, ex), inside), 0.0)
                            << "size " << record.FontSize;
                        // One point larger (the second name grown alike) comes closer to the
                        // frame than the margin.
                        NameStampRecord larger = record;
                        NameStampExRecord largerEx = ex;
                        ++larger.FontSize;
                        if (second)
                            largerEx.ExFontSize = std::int32_t(
                                std::lround(30.0 * larger.FontSize / NewNameStamp().FontSize));
                        EXPECT_LT(Clearance(NameTextPicture(larger, largerEx), inside),
                                  margin + 1.5)
                            << "size " << record.FontSize;
                    }
    }
}

TEST(FitToFrame, NameSealTextIsCentredInTheFrame)
{
    NameStampRecord record = NewNameStamp();
    NameStampExRecord ex = NewNameStampEx();
    record.Text1.Assign(Sjis(u"勅"));
    record.Text2.Assign(Sjis(u"使"));
    record.OffsetX = 40;
    record.OffsetY = -30;
    ASSERT_EQ(FitNameSeal(record, ex, kDpi), FitOutcome::Fitted);
    const QImage text = NameTextPicture(record, ex);
    QRect ink;
    for (int y = 0; y < text.height(); ++y)
        for (int x = 0; x < text.width(); ++x)
            if (!White(text.pixel(x, y)))
                ink |= QRect(x, y, 1, 1);
    const QPointF centre = QRectF(ink).center();
    EXPECT_NEAR(centre.x(), 148.5, 1.5);
    EXPECT_NEAR(centre.y(), 148.5, 1.5);
}

TEST(FitToFrame, TextThatCannotFitChangesNothing)
{
    NameStampRecord name = NewNameStamp();
    NameStampExRecord nameEx = NewNameStampEx();
    name.Text3.Assign(Sjis(u"山"));
    name.Text4.Assign(Sjis(u"川"));
    name.TextSpace = 120; // lines further apart than the frame is high
    const NameStampRecord nameBefore = name;
    EXPECT_EQ(FitNameSeal(name, nameEx, kDpi), FitOutcome::CannotFit);
    EXPECT_EQ(ToBytes(name), ToBytes(nameBefore));

    DateStampRecord date = NewDateStamp();
    DateStampExRecord dateEx{};
    date.PositionU = -60; // the upper text pushed down across the band
    const DateStampRecord dateBefore = date;
    EXPECT_EQ(FitDateSeal(date, dateEx, kDpi, QSize(kDateSealSize, kDateSealSize), kDay),
              FitOutcome::CannotFit);
    EXPECT_EQ(ToBytes(date), ToBytes(dateBefore));

    NameStampRecord empty = NewNameStamp();
    empty.Text1.Assign("");
    const NameStampRecord emptyBefore = empty;
    EXPECT_EQ(FitNameSeal(empty, nameEx, kDpi), FitOutcome::NothingToFit);
    EXPECT_EQ(ToBytes(empty), ToBytes(emptyBefore));
}

TEST(FitToFrame, DateSealTextsStayInTheirPartsOfTheRing)
{
    struct Case
    {
        const char16_t* upper;
        const char16_t* upperSecond;
        const char16_t* lower;
        const char16_t* lowerSmall;
        std::int32_t twinRing;
        std::int32_t spaceM;
        std::int32_t years;
    };
    const Case cases[] = {
        {u"経理部", u"", u"山田", u"", 0, 0, 0},
        {u"株式会社", u"経理部", u"山田太郎", u"", 1, -5, 2},
        {u"総務", u"", u"鈴木", u"印", 3, 5, 1},
        {u"営業部第一課", u"", u"長谷川", u"", 2, 0, 2},
    };
    const QSize size(kDateSealSize, kDateSealSize);
    for (const Case& c : cases) {
        SCOPED_TRACE(QString::fromUtf16(c.upper).toStdString());
        DateStampRecord record = NewDateStamp();
        DateStampExRecord ex{};
        record.Text1.Assign(Sjis(c.upper));
        record.Text2.Assign(Sjis(c.lower));
        ex.Text3.Assign(Sjis(c.upperSecond));
        ex.Text4.Assign(Sjis(c.lowerSmall));
        ex.L_T2FontSize = 40;
        record.TwinRing = c.twinRing;
        record.SpaceM = c.spaceM;
        record.Years = c.years;
        ASSERT_EQ(FitDateSeal(record, ex, kDpi, size, kDay), FitOutcome::Fitted);

        // The ring and band lines alone, and each part's region as drawn.
        DateStampRecord frameOnly = record;
        frameOnly.FontSizeU = frameOnly.FontSizeL = frameOnly.FontSizeM = 0;
        const DateSealLayout lines = LayoutDateSeal(frameOnly, ex, size, kDpi, kDay);
        QImage frame = WhitePicture(size);
        PaintDateSeal(frame, lines);
        const int upperLine = int(lines.bandLines[0].y), lowerLine = int(lines.bandLines[1].y);
        const double margin = FitMargin(*DateSealFrameRect(lines));
        struct Part
        {
            std::int32_t DateStampRecord::*size;
            QPoint seed;
        };
        const Part parts[] = {{&DateStampRecord::FontSizeU, {175, upperLine - 12}},
                              {&DateStampRecord::FontSizeL, {175, lowerLine + 12}},
                              {&DateStampRecord::FontSizeM, {175, 175}}};
        for (const Part& part : parts) {
            const Distances inside =
                DistancesOf(InsideOf(frame, part.seed), size.width(), size.height());
            const auto clearance = [&](std::int32_t points) {
                DateStampRecord only = frameOnly;
                only.*part.size = points;
                DateSealLayout layout = LayoutDateSeal(only, ex, size, kDpi, kDay);
                layout.rings.clear();
                layout.bandLines.clear();
                QImage text = WhitePicture(size);
                PaintDateSeal(text, layout);
                return Clearance(text, inside);
            };
            const std::int32_t fitted = record.*part.size;
            SCOPED_TRACE(fitted);
            EXPECT_GT(clearance(fitted), 0.0);
            // One point larger comes closer to the ring than the margin (to a band line it
            // comes closer still).
            EXPECT_LT(clearance(fitted + 1), margin + 1.5);
        }
    }
}

} // namespace
