#include "calendar/CalendarDate.h"

#include <QDate>
#include <gtest/gtest.h>

using velmr::calendar::CalendarDate;
using velmr::calendar::LocalDate;

namespace {

// Sets the clock to one local date for the life of the object.
class FixedClock
{
public:
    explicit FixedClock(LocalDate date)
    {
        velmr::calendar::SetClock([date] { return date; });
    }
    ~FixedClock() { velmr::calendar::SetClock({}); }
};

std::string Format(std::int32_t number, int era, int noZero)
{
    CalendarDate date;
    date.eraYear = era;
    date.noLeadingZero = noZero;
    char buffer[CalendarDate::kTextSize];
    const int written = date.FormatDayNumber(buffer, sizeof buffer, number);
    EXPECT_EQ(written, int(std::string(buffer).size()));
    return buffer;
}

std::int32_t DayNumberOf(int year, int month, int day)
{
    CalendarDate date;
    return date.DayNumberOfText(std::to_string(year) + "/" + std::to_string(month) + "/" +
                                std::to_string(day));
}

TEST(CalendarDate, LeapYears)
{
    for (const auto& [year, leap] : std::vector<std::pair<int, bool>>{
             {1900, false}, {2000, true}, {2004, true}, {2100, false}, {2019, false}, {2024, true}})
        EXPECT_EQ(CalendarDate::IsLeapYear(year), leap) << year;
}

TEST(CalendarDate, DayNumbersFromTheTableOfAnchors)
{
    struct Case
    {
        int year, month, day;
        std::int32_t number;
    };
    const Case cases[] = {
        {1900, 1, 1, 1},      {1990, 1, 1, 32873},   {2000, 1, 1, 36525},  {2000, 12, 31, 36890},
        {2002, 12, 7, 37596}, {2030, 1, 1, 47483},   {2000, 2, 28, 36583}, {2000, 2, 29, 36584},
        {2000, 3, 1, 36585},  {2029, 12, 31, 47482},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DayNumberOf(c.year, c.month, c.day), c.number) << c.year << "-" << c.month;
        const auto yd = CalendarDate::YearOfDayNumber(c.number);
        const auto md = CalendarDate::MonthOfDayOfYear(yd.dayOfYear, yd.year);
        EXPECT_EQ(yd.year, c.year);
        EXPECT_EQ(md.month, c.month);
        EXPECT_EQ(md.day, c.day);
    }
    EXPECT_EQ(CalendarDate::YearOfDayNumber(366).year, 1901);
    EXPECT_EQ(CalendarDate::YearOfDayNumber(366).dayOfYear, 1);
    EXPECT_EQ(CalendarDate::YearOfDayNumber(36890).dayOfYear, 366);
    EXPECT_EQ(CalendarDate::MonthOfDayOfYear(60, 2001).month, 3);
    EXPECT_EQ(CalendarDate::MonthOfDayOfYear(60, 2001).day, 1);
    EXPECT_EQ(CalendarDate::MonthOfDayOfYear(60, 2000).month, 2);
    EXPECT_EQ(CalendarDate::MonthOfDayOfYear(60, 2000).day, 29);
}

TEST(CalendarDate, EveryDayFrom1900To2200RoundTrips)
{
    const QDate epoch(1899, 12, 31);
    for (QDate day(1900, 1, 1); day <= QDate(2200, 12, 31); day = day.addDays(1)) {
        const auto number = static_cast<std::int32_t>(epoch.daysTo(day));
        const auto yd = CalendarDate::YearOfDayNumber(number);
        const auto md = CalendarDate::MonthOfDayOfYear(yd.dayOfYear, yd.year);
        ASSERT_EQ(QDate(yd.year, md.month, md.day), day) << number;
        ASSERT_EQ(DayNumberOf(day.year(), day.month(), day.day()), number)
            << day.toString(Qt::ISODate).toStdString();
    }
}

TEST(CalendarDate, ParsesThreeFieldsWithSeparators)
{
    struct Case
    {
        const char* text;
        int era;
        bool ok;
        int year, month, day;
    };
    const Case cases[] = {
        {"02/12/07", 0, true, 2002, 12, 7},
        {"02.12.07", 0, true, 2002, 12, 7},
        {"02-12-07", 0, true, 2002, 12, 7},
        {"79/1/1", 0, true, 2079, 1, 1},
        {"80/1/1", 0, true, 1980, 1, 1},
        {"2002/1/1", 0, true, 2002, 1, 1},
        {"14/12/07", 1, true, 2002, 12, 7},
        {"1/2", 0, false, 0, 0, 0},
        {"1/2/3/4", 0, false, 0, 0, 0},
        {" 5x/ 7/", 0, true, 2005, 7, 0},
        {"0002/12/07", 0, true, 2002, 12, 7},
        {"+3/1/1", 0, true, 2003, 1, 1},
        {"12345678901234567890/1/1", 0, false, 0, 0, 0}, // a field beyond 19 characters
        {"1234567890123456789/1/1", 0, true, 1000000000, 1, 1},
    };
    for (const Case& c : cases) {
        CalendarDate date;
        date.eraYear = c.era;
        const auto parsed = date.ParseDateText(c.text);
        EXPECT_EQ(parsed.ok, c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(parsed.year, c.year) << c.text;
            EXPECT_EQ(parsed.month, c.month) << c.text;
            EXPECT_EQ(parsed.day, c.day) << c.text;
        } else {
            EXPECT_EQ(date.DayNumberOfText(c.text), 0) << c.text;
        }
    }
}

TEST(CalendarDate, FourPrintFormats)
{
    EXPECT_EQ(Format(37596, 0, 0), "2002.12.07");
    EXPECT_EQ(Format(37596, 0, 1), "2002.12.7");
    EXPECT_EQ(Format(37596, 1, 0), "14.12.07");
    EXPECT_EQ(Format(37596, 1, 1), "14.12.7");
}

TEST(CalendarDate, EraYearsFollowTheEraThatContainsTheDate)
{
    struct Case
    {
        LocalDate date;
        const char* printed;
    };
    const Case cases[] = {
        {{1900, 1, 1}, "33.01.01"},   {{1912, 7, 29}, "45.07.29"},  {{1912, 7, 30}, "01.07.30"},
        {{1926, 12, 24}, "15.12.24"}, {{1926, 12, 25}, "01.12.25"}, {{1989, 1, 7}, "64.01.07"},
        {{1989, 1, 8}, "01.01.08"},   {{2002, 12, 7}, "14.12.07"},  {{2019, 4, 30}, "31.04.30"},
        {{2019, 5, 1}, "01.05.01"},   {{2026, 12, 8}, "08.12.08"},  {{2080, 1, 1}, "62.01.01"},
    };
    for (const Case& c : cases) {
        const std::int32_t number = DayNumberOf(c.date.year, c.date.month, c.date.day);
        EXPECT_EQ(Format(number, 1, 0), c.printed) << c.date.year << "-" << c.date.month;
    }
    EXPECT_EQ(velmr::calendar::Eras().size(), 5u);
}

TEST(CalendarDate, TodayInEveryStyleAcrossTheBoundaries)
{
    struct Case
    {
        LocalDate today;
        const char* western4;   // eraYear 0
        const char* era;        // eraYear 1
        const char* western4Nz; // eraYear 0, no leading zero
        const char* eraNz;
    };
    const Case cases[] = {
        {{2002, 12, 7}, "2002.12.07", "14.12.07", "2002.12.7", "14.12.7"},
        {{2002, 3, 5}, "2002.03.05", "14.03.05", "2002.3.5", "14.3.5"},
        {{2019, 4, 30}, "2019.04.30", "31.04.30", "2019.4.30", "31.4.30"},
        {{2019, 5, 1}, "2019.05.01", "01.05.01", "2019.5.1", "01.5.1"},
        {{2024, 2, 29}, "2024.02.29", "06.02.29", "2024.2.29", "06.2.29"},
        {{2026, 12, 8}, "2026.12.08", "08.12.08", "2026.12.8", "08.12.8"},
        {{2079, 12, 31}, "2079.12.31", "61.12.31", "2079.12.31", "61.12.31"},
        {{2080, 1, 1}, "2080.01.01", "62.01.01", "2080.1.1", "62.1.1"},
        {{1999, 12, 31}, "1999.12.31", "11.12.31", "1999.12.31", "11.12.31"},
        {{1900, 2, 28}, "1900.02.28", "33.02.28", "1900.2.28", "33.2.28"},
    };
    for (const Case& c : cases) {
        const FixedClock clock(c.today);
        const char* expected[2][2] = {{c.western4, c.western4Nz}, {c.era, c.eraNz}};
        for (int era = 0; era < 2; ++era) {
            for (int noZero = 0; noZero < 2; ++noZero) {
                CalendarDate date;
                date.eraYear = era;
                date.noLeadingZero = noZero;
                ASSERT_TRUE(date.SetToday());
                EXPECT_EQ(date.Text(), expected[era][noZero]) << c.today.year << " era " << era;
                EXPECT_EQ(date.eraYear, era) << "the switch is restored";
                EXPECT_EQ(date.dayNumber, DayNumberOf(c.today.year, c.today.month, c.today.day));
            }
        }
    }
}

TEST(CalendarDate, AClockBefore1900LeavesTheTextAlone)
{
    const FixedClock clock({1899, 12, 31});
    CalendarDate date;
    EXPECT_FALSE(date.SetToday());
    EXPECT_EQ(date.Text(), "");
    EXPECT_EQ(date.dayNumber, 0);
}

} // namespace
