#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string_view>

// Calendar dates: day numbers counted from 1 January 1900 (day 1), today's date and the styles in
// which a date seal prints it.
namespace velmr::calendar {

// A local calendar date as the clock gives it.
struct LocalDate
{
    int year = 0;
    int month = 0;
    int day = 0;
    friend bool operator==(const LocalDate&, const LocalDate&) = default;
};

// Today's local date, from the system clock unless a test has set its own clock.
LocalDate Today();
// Replaces the clock (tests); an empty function restores the system clock.
void SetClock(std::function<LocalDate()> clock);

// An era of the Japanese calendar and its first day.
struct Era
{
    const char16_t* name;
    LocalDate firstDay;
};

// The eras, oldest first; a new era is one more line of this table.
std::span<const Era> Eras();

// The year of the era that contains the date: 1 on its first day (1 May 2019 is 令和 1).
int EraYearOf(const LocalDate& date);

class CalendarDate
{
public:
    static constexpr std::size_t kTextSize = 20;
    // The longest field a date text may have.
    static constexpr std::size_t kFieldLimit = 19;

    std::array<char, kTextSize> text{}; // the date as printed by the last successful SetToday
    std::int32_t dayNumber = 0;         // 0: no date
    std::int32_t eraYear = 0;           // 1: years are printed as years of their era
    std::int32_t noLeadingZero = 0;     // 1: month and day without a leading zero

    struct YearAndDay
    {
        int year;
        int dayOfYear;
    };
    struct MonthAndDay
    {
        int month;
        int day;
    };
    struct ParsedDate
    {
        bool ok = false;
        int year = 0;
        int month = 0;
        int day = 0;
    };

    static bool IsLeapYear(int year);
    static YearAndDay YearOfDayNumber(std::int32_t dayNumber);
    static MonthAndDay MonthOfDayOfYear(int dayOfYear, int year);

    // Prints the date of `dayNumber` into `buffer` in the format the switches select; returns the
    // number of characters written (the buffer always ends in a terminator).
    int FormatDayNumber(char* buffer, std::size_t size, std::int32_t dayNumber) const;
    // Reads "year/month/day" (separators "/", "." or "-").
    ParsedDate ParseDateText(std::string_view text) const;
    // The day number of a date text, 0 when it cannot be read.
    std::int32_t DayNumberOfText(std::string_view text) const;
    // Sets dayNumber and text to today's local date; false (text unchanged) when it cannot.
    bool SetToday();
    // Sets dayNumber and text to `date` (1 January 1900 to 31 December 9999); false (text
    // unchanged) for any other date.
    bool SetDay(const LocalDate& date);

    // The printed text up to its terminator.
    std::string_view Text() const;
};

} // namespace velmr::calendar
