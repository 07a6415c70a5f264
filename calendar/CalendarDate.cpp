#include "calendar/CalendarDate.h"

#include <QDate>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace velmr::calendar {
namespace {

std::function<LocalDate()>& Clock()
{
    static std::function<LocalDate()> clock;
    return clock;
}

// Days before 1 January of each decade anchor.
struct Anchor
{
    int year;
    std::int32_t daysBefore;
};
constexpr Anchor kAnchors[] = {
    {2030, 47482}, {2020, 43829}, {2010, 40177}, {2000, 36524}, {1990, 32872}, {1900, 0},
};

constexpr int kMonthStart[2][12] = {
    {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334},
    {0, 31, 60, 91, 121, 152, 182, 213, 244, 274, 305, 335},
};

constexpr Era kEras[] = {
    {u"明治", {1868, 1, 25}}, {u"大正", {1912, 7, 30}}, {u"昭和", {1926, 12, 25}},
    {u"平成", {1989, 1, 8}},  {u"令和", {2019, 5, 1}},
};

bool Before(const LocalDate& a, const LocalDate& b)
{
    if (a.year != b.year)
        return a.year < b.year;
    if (a.month != b.month)
        return a.month < b.month;
    return a.day < b.day;
}

int DaysInYear(int year)
{
    return CalendarDate::IsLeapYear(year) ? 366 : 365;
}

// A decimal integer from the start of `field`: blanks, a sign, then digits up to the first other
// character; no digits read 0.
int LeadingInteger(const std::string& field)
{
    std::size_t i = 0;
    while (i < field.size() && (field[i] == ' ' || field[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < field.size() && (field[i] == '+' || field[i] == '-'))
        negative = field[i++] == '-';
    long long value = 0;
    for (; i < field.size() && field[i] >= '0' && field[i] <= '9'; ++i)
        value = std::min<long long>(value * 10 + (field[i] - '0'), 1'000'000'000);
    return static_cast<int>(negative ? -value : value);
}

} // namespace

LocalDate Today()
{
    if (const auto& clock = Clock())
        return clock();
    const QDate today = QDate::currentDate();
    return {today.year(), today.month(), today.day()};
}

void SetClock(std::function<LocalDate()> clock)
{
    Clock() = std::move(clock);
}

std::span<const Era> Eras()
{
    return kEras;
}

int EraYearOf(const LocalDate& date)
{
    const Era* era = &kEras[0];
    for (const Era& candidate : kEras) {
        if (!Before(date, candidate.firstDay))
            era = &candidate;
    }
    return date.year - era->firstDay.year + 1;
}

bool CalendarDate::IsLeapYear(int year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

CalendarDate::YearAndDay CalendarDate::YearOfDayNumber(std::int32_t dayNumber)
{
    const Anchor* anchor = &kAnchors[std::size(kAnchors) - 1];
    for (const Anchor& candidate : kAnchors) {
        if (dayNumber > candidate.daysBefore) {
            anchor = &candidate;
            break;
        }
    }
    std::int64_t n = std::int64_t(dayNumber) - anchor->daysBefore;
    int year = anchor->year;
    while (n > 0 && n > DaysInYear(year)) {
        n -= DaysInYear(year);
        ++year;
    }
    return {year, static_cast<int>(n)};
}

CalendarDate::MonthAndDay CalendarDate::MonthOfDayOfYear(int dayOfYear, int year)
{
    const int* starts = kMonthStart[IsLeapYear(year) ? 1 : 0];
    int month = 1;
    for (int m = 1; m <= 12; ++m) {
        if (starts[m - 1] < dayOfYear)
            month = m;
    }
    return {month, dayOfYear - starts[month - 1]};
}

int CalendarDate::FormatDayNumber(char* buffer, std::size_t size, std::int32_t number) const
{
    const YearAndDay yd = YearOfDayNumber(number);
    const MonthAndDay md = MonthOfDayOfYear(yd.dayOfYear, yd.year);
    int year = yd.year;
    if (eraYear)
        year = EraYearOf({yd.year, md.month, md.day});
    const char* format = eraYear ? (noLeadingZero ? "%2.2d.%d.%d" : "%2.2d.%2.2d.%2.2d")
                                 : (noLeadingZero ? "%4.4d.%d.%d" : "%4.4d.%2.2d.%2.2d");
    const int written = std::snprintf(buffer, size, format, year, md.month, md.day);
    return written < 0 ? 0 : std::min(written, static_cast<int>(size) - 1);
}

CalendarDate::ParsedDate CalendarDate::ParseDateText(std::string_view text) const
{
    ParsedDate parsed;
    std::string fields[3];
    int separators = 0;
    for (const char c : text) {
        if (c == '/' || c == '.' || c == '-') {
            if (++separators > 2)
                return parsed;
            continue;
        }
        std::string& field = fields[separators];
        if (field.size() >= kFieldLimit)
            return parsed; // a field longer than the unit reads is unreadable
        field.push_back(c);
    }
    if (separators != 2)
        return parsed;
    int year = LeadingInteger(fields[0]);
    if (eraYear)
        year += 1988;
    else if (year >= 80 && year <= 99)
        year += 1900;
    else if (year < 80)
        year += 2000;
    parsed.ok = true;
    parsed.year = year;
    parsed.month = LeadingInteger(fields[1]);
    parsed.day = LeadingInteger(fields[2]);
    return parsed;
}

std::int32_t CalendarDate::DayNumberOfText(std::string_view text) const
{
    const ParsedDate date = ParseDateText(text);
    if (!date.ok)
        return 0;
    const Anchor* anchor = &kAnchors[std::size(kAnchors) - 1];
    for (const Anchor& candidate : kAnchors) {
        if (date.year > candidate.year) {
            anchor = &candidate;
            break;
        }
    }
    std::int64_t number = anchor->daysBefore;
    for (int year = anchor->year; year < date.year; ++year)
        number += DaysInYear(year);
    if (date.month >= 1 && date.month <= 12)
        number += kMonthStart[IsLeapYear(date.year) ? 1 : 0][date.month - 1];
    number += date.day;
    if (number < INT32_MIN || number > INT32_MAX)
        return 0;
    return static_cast<std::int32_t>(number);
}

bool CalendarDate::SetToday()
{
    return SetDay(Today());
}

bool CalendarDate::SetDay(const LocalDate& date)
{
    if (date.year < 1900 || date.year > 9999 || date.month < 1 || date.month > 12 || date.day < 1 ||
        date.day > 31)
        return false;
    const std::int32_t rememberedEra = eraYear;
    eraYear = 0;
    // The whole four-digit year, so that every date from 1900 on reads right.
    char text[kTextSize];
    std::snprintf(text, sizeof text, "%04d/%02d/%02d", date.year, date.month, date.day);
    const std::int32_t number = DayNumberOfText(text);
    eraYear = rememberedEra;
    if (number <= 0)
        return false;
    dayNumber = number;
    FormatDayNumber(this->text.data(), this->text.size(), dayNumber);
    return true;
}

std::string_view CalendarDate::Text() const
{
    std::size_t length = 0;
    while (length < text.size() && text[length] != '\0')
        ++length;
    return {text.data(), length};
}

} // namespace velmr::calendar
