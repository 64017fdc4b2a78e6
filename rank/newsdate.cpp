#include "rank/newsdate.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <ctime>
#include <string>

namespace veltrop {
namespace {

bool isLeapYear(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int daysInMonth(int y, int m)
{
    static constexpr std::array<int, 12> days{31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && isLeapYear(y) ? 29 : days[static_cast<std::size_t>(m - 1)];
}

// Days from 1970-01-01 of a proleptic Gregorian date (H. Hinnant's algorithm).
long long daysFromCivil(long long y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;
}

constexpr long long kOriginFrom1970 = -25569;  // 1899-12-30

// A cursor over the text being read.
class Reader {
public:
    explicit Reader(std::string_view text) : text_(text) {}

    void skipBlanks()
    {
        while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\t'))
            ++pos_;
    }
    bool atEnd() const { return pos_ >= text_.size(); }
    bool take(char c)
    {
        if (pos_ < text_.size() && text_[pos_] == c) {
            ++pos_;
            return true;
        }
        return false;
    }
    // Up to `maxDigits` digits; -1 when none. `count` gets how many were read.
    int number(int maxDigits, int* count = nullptr)
    {
        int value = 0, n = 0;
        while (n < maxDigits && pos_ < text_.size() && std::isdigit(static_cast<unsigned char>(text_[pos_]))) {
            value = value * 10 + (text_[pos_] - '0');
            ++pos_, ++n;
        }
        if (count)
            *count = n;
        return n == 0 ? -1 : value;
    }
    std::string word()
    {
        std::string w;
        while (pos_ < text_.size() && std::isalpha(static_cast<unsigned char>(text_[pos_])))
            w += static_cast<char>(std::tolower(static_cast<unsigned char>(text_[pos_++])));
        return w;
    }
    std::size_t pos() const { return pos_; }
    void reset(std::size_t p) { pos_ = p; }

private:
    std::string_view text_;
    std::size_t pos_ = 0;
};

// 1 to 12 for an English month name, full or in three letters; 0 otherwise.
int monthFromName(const std::string& name)
{
    static constexpr std::array<const char*, 12> names{"january", "february", "march",     "april",
                                                       "may",     "june",     "july",      "august",
                                                       "september", "october", "november", "december"};
    for (std::size_t i = 0; i < names.size(); ++i) {
        const std::string full = names[i];
        if (name == full || name == full.substr(0, 3))
            return static_cast<int>(i) + 1;
    }
    // "Sept" is common enough on news pages to read too.
    return name == "sept" ? 9 : 0;
}

int widenYear(int year, int digits)
{
    if (digits == 2)
        return year < 30 ? 2000 + year : 1900 + year;
    return digits == 4 ? year : -1;
}

struct Date {
    int year = 0, month = 0, day = 0;
};

std::optional<Date> readDate(Reader& r)
{
    const std::size_t start = r.pos();
    int digits = 0;
    const int first = r.number(4, &digits);
    if (first >= 0) {
        if (digits == 4 && r.take('-')) {  // yyyy-mm-dd
            const int m = r.number(2);
            if (m < 0 || !r.take('-'))
                return std::nullopt;
            const int d = r.number(2);
            return Date{first, m, d};
        }
        if (digits <= 2 && r.take('/')) {  // m/d/yyyy, m/d/yy
            const int d = r.number(2);
            if (d < 0 || !r.take('/'))
                return std::nullopt;
            int yearDigits = 0;
            const int y = r.number(4, &yearDigits);
            return Date{widenYear(y, yearDigits), first, d};
        }
        if (digits <= 2 && r.take('-')) {  // d-Mon-yyyy
            const int m = monthFromName(r.word());
            if (m == 0 || !r.take('-'))
                return std::nullopt;
            int yearDigits = 0;
            const int y = r.number(4, &yearDigits);
            return Date{yearDigits == 4 ? y : -1, m, first};
        }
        return std::nullopt;
    }
    r.reset(start);
    const int m = monthFromName(r.word());  // Mon d, yyyy / Month d, yyyy
    if (m == 0)
        return std::nullopt;
    r.take('.');
    r.skipBlanks();
    const int d = r.number(2);
    if (d < 0)
        return std::nullopt;
    r.skipBlanks();
    r.take(',');
    r.skipBlanks();
    int yearDigits = 0;
    const int y = r.number(4, &yearDigits);
    return Date{yearDigits == 4 ? y : -1, m, d};
}

struct Time {
    int hour = 0, minute = 0, second = 0;
};

// The time of day after a date; a missing time is midnight.
std::optional<Time> readTime(Reader& r)
{
    r.skipBlanks();
    if (r.atEnd())
        return Time{};
    Time t;
    t.hour = r.number(2);
    if (t.hour < 0 || !r.take(':'))
        return std::nullopt;
    int digits = 0;
    t.minute = r.number(2, &digits);
    if (digits != 2)
        return std::nullopt;
    if (r.take(':')) {
        t.second = r.number(2, &digits);
        if (digits != 2)
            return std::nullopt;
    }
    r.skipBlanks();
    const std::string half = r.word();
    if (!half.empty()) {
        if ((half != "am" && half != "pm") || t.hour < 1 || t.hour > 12)
            return std::nullopt;
        t.hour = t.hour % 12 + (half == "pm" ? 12 : 0);
    }
    if (t.hour > 23 || t.minute > 59 || t.second > 59)
        return std::nullopt;
    return t;
}

} // namespace

double dayNumber(int year, int month, int day, int hour, int minute, int second)
{
    const long long days = daysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) -
                           kOriginFrom1970;
    return static_cast<double>(days) + (hour * 3600 + minute * 60 + second) / 86400.0;
}

std::optional<double> readNewsDate(std::string_view text)
{
    Reader r(text);
    r.skipBlanks();
    const std::optional<Date> date = readDate(r);
    if (!date || date->year < 100 || date->month < 1 || date->month > 12 || date->day < 1 ||
        date->day > daysInMonth(date->year, date->month))
        return std::nullopt;
    const std::optional<Time> time = readTime(r);
    r.skipBlanks();
    if (!time || !r.atEnd())
        return std::nullopt;
    return dayNumber(date->year, date->month, date->day, time->hour, time->minute, time->second);
}

double presentDayNumber()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return dayNumber(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                     std::min(local.tm_sec, 59));
}

} // namespace veltrop
