#include "JetWriter.h"

#include <stdexcept>
#include <string>

namespace jetwriter {
namespace {

bool isLeapYear(int y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int daysInMonth(int year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeapYear(year) ? 29 : kDays[month - 1];
}

// Days from 1970-01-01 in the proleptic Gregorian calendar (H. Hinnant's algorithm).
long long daysFromCivil(int year, int month, int day) {
    const long long y = year - (month <= 2 ? 1 : 0);
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const long long yearOfEra = y - era * 400;
    const long long dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const long long dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

// 1899-12-30, Jet's day zero, is 25569 days before 1970-01-01.
constexpr long long kJetEpochFromUnixEpoch = 25569;

} // namespace

DateTime DateTime::fromCivil(int year, int month, int day, int hour, int minute, int second) {
    // Access's own range; outside it the stored double means nothing to Jet.
    if (year < 100 || year > 9999 || month < 1 || month > 12 || day < 1 ||
        day > daysInMonth(year, month) || hour < 0 || hour > 23 || minute < 0 || minute > 59 ||
        second < 0 || second > 59)
        throw std::invalid_argument("invalid date/time " + std::to_string(year) + "-" +
                                    std::to_string(month) + "-" + std::to_string(day) + " " +
                                    std::to_string(hour) + ":" + std::to_string(minute) + ":" +
                                    std::to_string(second));
    const auto wholeDays =
        static_cast<double>(daysFromCivil(year, month, day) + kJetEpochFromUnixEpoch);
    const double fraction = (hour * 3600 + minute * 60 + second) / 86400.0;
    // Before the epoch Jet keeps the time of day positive in magnitude: -1.25 is
    // 1899-12-29 06:00, not 1899-12-28 18:00.
    return DateTime{wholeDays < 0 ? wholeDays - fraction : wholeDays + fraction};
}

const char* Value::kindName() const {
    static constexpr const char* kNames[] = {
        "NULL",      "an integer", "a real number",    "a text",
        "a boolean", "a date",     "a currency amount"};
    return kNames[data_.index()];
}

} // namespace jetwriter
