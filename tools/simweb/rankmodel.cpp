#include "tools/simweb/rankmodel.h"

#include "tools/simweb/market.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <ctime>

namespace simweb::ranks {
namespace {

int draw(std::string_view ticker, const std::string& what, int low, int high)
{
    return Market::whole(ticker, what, low, high);
}

double chance(std::string_view ticker, const std::string& what) { return Market::attribute(ticker, what); }

// A number cell as the sites wrote them: mostly a plain whole number, some
// with a fraction, a unit or padding, some negative, zero or missing. With
// `halves` the fraction is .5, which sums without rounding.
CellFact numberCell(std::string_view ticker, const std::string& what, int low, int high, bool halves = false,
                    std::string_view unit = {})
{
    const int n = draw(ticker, what + " value", low, high);
    const double form = chance(ticker, what + " form");
    const std::string whole = std::to_string(n);
    if (form < 0.62)
        return {whole + std::string(unit), static_cast<double>(n)};
    if (form < 0.70)
        return halves ? CellFact{whole + ".5", n + 0.5} : CellFact{whole + ".9", n + 0.9};
    if (form < 0.76)
        return {whole + " pts", static_cast<double>(n)};
    if (form < 0.82)
        return {" " + whole + std::string(unit) + " ", static_cast<double>(n)};
    if (form < 0.87) {
        const int m = 1 + n % 9;
        return {"-" + std::to_string(m), static_cast<double>(-m)};
    }
    if (form < 0.91)
        return {"0", 0};
    if (form < 0.96)
        return {"n/a", 0};
    return {"", 0};
}

std::string withCase(std::string text, int letterCase)
{
    for (std::size_t i = 0; i < text.size(); ++i) {
        char& c = text[i];
        if (letterCase == 1 && c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
        else if (letterCase == 2 && c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

constexpr std::array<const char*, 12> kMonths{"January", "February", "March",     "April",   "May",      "June",
                                              "July",    "August",   "September", "October", "November", "December"};

} // namespace

std::string lookupSymbol(std::string_view addressText)
{
    while (!addressText.empty() && addressText.front() == ' ')
        addressText.remove_prefix(1);
    while (!addressText.empty() && addressText.back() == ' ')
        addressText.remove_suffix(1);
    return withCase(std::string(addressText), 1);
}

bool isListed(std::string_view symbol)
{
    const auto& universe = Market::instance().universe();
    return std::binary_search(universe.begin(), universe.end(), symbol,
                              [](std::string_view a, std::string_view b) { return a < b; });
}

CellFact cnetMomentum(std::string_view ticker)
{
    if (!isListed(ticker))
        return {};
    return numberCell(ticker, "cnet momentum", 1, 99);
}

TelescanFacts telescanRanks(std::string_view ticker)
{
    TelescanFacts facts;
    if (!isListed(ticker) || chance(ticker, "telescan match") < 0.1) {
        static constexpr std::array<const char*, 3> kMessages{"No Matching Symbols", "NO MATCHING SYMBOLS",
                                                              "no matching symbols"};
        facts.noMatchText = kMessages[static_cast<std::size_t>(draw(ticker, "telescan message", 0, 2))];
        return facts;
    }
    facts.matched = true;
    for (std::size_t i = 0; i < facts.ranks.size(); ++i) {
        const std::string row = "telescan row " + std::to_string(kTelescanRows[i]);
        facts.ranks[i].current = numberCell(ticker, row + " current", 1, 99, true);
        facts.ranks[i].earlier = numberCell(ticker, row + " earlier", 1, 99, true);
    }
    return facts;
}

CellFact barchartPerformance(std::string_view ticker)
{
    if (!isListed(ticker))
        return {};
    return numberCell(ticker, "barchart performance", 1, 99);
}

CellFact barchartOpinion(std::string_view ticker)
{
    if (!isListed(ticker))
        return {};
    const double kind = chance(ticker, "barchart opinion kind");
    const int strength = 8 * draw(ticker, "barchart opinion strength", 1, 12);
    if (kind < 0.55)
        return {std::to_string(strength) + "% Buy", static_cast<double>(strength)};
    if (kind < 0.80)
        return {"-" + std::to_string(strength) + "% Sell", static_cast<double>(-strength)};
    if (kind < 0.90)
        return {"0% Hold", 0};
    return numberCell(ticker, "barchart opinion cell", 1, 99);
}

CivilDate localToday()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
}

// Days from civil after H. Hinnant's public-domain algorithms.
long long daysFromCivil(CivilDate date)
{
    const long long y = date.year - (date.month <= 2 ? 1 : 0);
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const long long yoe = y - era * 400;
    const long long mp = (date.month + 9) % 12;
    const long long doy = (153 * mp + 2) / 5 + date.day - 1;
    const long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

CivilDate civilFromDays(long long days)
{
    days += 719468;
    const long long era = (days >= 0 ? days : days - 146096) / 146097;
    const long long doe = days - era * 146097;
    const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long long mp = (5 * doy + 2) / 153;
    const int day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    const int month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    return {static_cast<int>(yoe + era * 400 + (month <= 2 ? 1 : 0)), month, day};
}

std::string writeNewsDate(CivilDate date, int hour, int minute, int second, DateForm dateForm, TimeForm timeForm,
                          int monthCase)
{
    const std::string month = kMonths[static_cast<std::size_t>(date.month - 1)];
    char text[64];
    switch (dateForm) {
    case DateForm::Slashes: std::snprintf(text, sizeof text, "%d/%d/%d", date.month, date.day, date.year); break;
    case DateForm::SlashesShort:
        std::snprintf(text, sizeof text, "%d/%d/%02d", date.month, date.day, date.year % 100);
        break;
    case DateForm::MonAbbrev:
        std::snprintf(text, sizeof text, "%s %d, %d", withCase(month.substr(0, 3), monthCase).c_str(), date.day,
                      date.year);
        break;
    case DateForm::MonthName:
        std::snprintf(text, sizeof text, "%s %d, %d", withCase(month, monthCase).c_str(), date.day, date.year);
        break;
    case DateForm::DayMonYear:
        std::snprintf(text, sizeof text, "%d-%s-%d", date.day, withCase(month.substr(0, 3), monthCase).c_str(),
                      date.year);
        break;
    case DateForm::Iso: std::snprintf(text, sizeof text, "%04d-%02d-%02d", date.year, date.month, date.day); break;
    }
    std::string out = text;
    const int twelve = (hour + 11) % 12 + 1;
    const char* half = hour < 12 ? "AM" : "PM";
    switch (timeForm) {
    case TimeForm::None: break;
    case TimeForm::HourMinute: std::snprintf(text, sizeof text, " %d:%02d", hour, minute); out += text; break;
    case TimeForm::HourMinuteSecond:
        std::snprintf(text, sizeof text, " %d:%02d:%02d", hour, minute, second);
        out += text;
        break;
    case TimeForm::HourMinuteAmPm:
        std::snprintf(text, sizeof text, " %d:%02d %s", twelve, minute, half);
        out += text;
        break;
    case TimeForm::HourMinuteSecondAmPm:
        std::snprintf(text, sizeof text, " %d:%02d:%02d %s", twelve, minute, second, half);
        out += text;
        break;
    }
    return out;
}

NewsFacts marketwatchNews(std::string_view ticker, CivilDate today)
{
    NewsFacts facts;
    if (!isListed(ticker))
        return facts;  // NotFound
    const double kind = chance(ticker, "news kind");
    if (kind < 0.06) {
        static constexpr std::array<const char*, 3> kOpenings{"No news", "NO NEWS", "no news"};
        facts.kind = NewsKind::NoNewsAtStart;
        facts.opening = kOpenings[static_cast<std::size_t>(draw(ticker, "news opening", 0, 2))];
        return facts;
    }
    if (kind < 0.11) {
        facts.kind = NewsKind::NoNewsLater;
        return facts;
    }
    if (kind < 0.15) {
        facts.kind = NewsKind::NotFound;
        return facts;
    }
    if (kind < 0.19) {
        facts.kind = NewsKind::NoHeadlines;
        return facts;
    }
    if (kind < 0.24) {
        static constexpr std::array<const char*, 4> kTexts{"Pending", "Breaking", "n/a", "Updated hourly"};
        facts.kind = NewsKind::NotADate;
        facts.dateText = kTexts[static_cast<std::size_t>(draw(ticker, "news text", 0, 3))];
        return facts;
    }
    facts.kind = NewsKind::Dated;
    const double age = chance(ticker, "news age");
    if (age < 0.10)
        facts.daysAgo = 0;
    else if (age < 0.16)
        facts.daysAgo = -draw(ticker, "news ahead", 1, 3);
    else if (age < 0.21)
        facts.daysAgo = draw(ticker, "news stale", 8000, 12000);  // as far back as the nineties
    else
        facts.daysAgo = draw(ticker, "news recent", 1, 45);
    facts.date = civilFromDays(daysFromCivil(today) - facts.daysAgo);
    facts.dateForm = static_cast<DateForm>(draw(ticker, "news date form", 0, 5));
    facts.timeForm = static_cast<TimeForm>(draw(ticker, "news time form", 0, 4));
    if (facts.timeForm != TimeForm::None) {
        facts.hour = draw(ticker, "news hour", 0, 23);
        facts.minute = draw(ticker, "news minute", 0, 59);
        if (facts.timeForm == TimeForm::HourMinuteSecond || facts.timeForm == TimeForm::HourMinuteSecondAmPm)
            facts.second = draw(ticker, "news second", 0, 59);
    }
    facts.dateText = writeNewsDate(facts.date, facts.hour, facts.minute, facts.second, facts.dateForm, facts.timeForm,
                                   draw(ticker, "news month case", 0, 2));
    return facts;
}

FundFacts forbesFunds(std::string_view ticker)
{
    FundFacts facts;
    if (!isListed(ticker) || chance(ticker, "fund none") < 0.1)
        return facts;
    const double size = chance(ticker, "fund size");
    // A few fill their last page exactly, so a full page without a next link
    // comes up too.
    facts.holdings = size < 0.08 ? kFundsPerPage * draw(ticker, "fund full pages", 1, 3) : draw(ticker, "fund count", 1, 90);
    facts.pages = (facts.holdings + kFundsPerPage - 1) / kFundsPerPage;
    return facts;
}

int fundsOnPage(const FundFacts& funds, int page)
{
    if (page < 1 || page > funds.pages)
        return 0;
    return std::min(kFundsPerPage, funds.holdings - (page - 1) * kFundsPerPage);
}

int nextLinkCount(const FundFacts& funds, int page)
{
    return page >= 1 && page < funds.pages ? fundsOnPage(funds, page + 1) : 0;
}

GuruFacts valideaGurus(std::string_view ticker)
{
    GuruFacts facts;
    if (!isListed(ticker) || chance(ticker, "guru none") < 0.12)
        return facts;
    facts.analysed = true;
    for (std::size_t i = 0; i < facts.scores.size(); ++i)
        facts.scores[i] = numberCell(ticker, "guru " + std::to_string(kGuruTables[i]), 0, 100, false, "%");
    return facts;
}

std::string smartSelectEncode(std::string_view upperTicker)
{
    std::string out;
    for (std::size_t i = 0; i < upperTicker.size(); ++i) {
        const int k = static_cast<int>(i) + 1;
        const auto a = static_cast<unsigned char>(upperTicker[i]);
        out += static_cast<char>(a >= 'U' && a <= 'Z' ? a + k + 11 : a + k + 1);
        out += std::to_string(k + 2);
    }
    return out;
}

std::optional<std::string> smartSelectDecode(std::string_view code)
{
    std::string ticker;
    std::size_t at = 0;
    for (int k = 1; at < code.size(); ++k) {
        const auto e = static_cast<unsigned char>(code[at++]);
        const std::string digits = std::to_string(k + 2);
        if (code.substr(at, digits.size()) != digits)
            return std::nullopt;
        at += digits.size();
        const int high = e - k - 11;
        ticker += static_cast<char>(high >= 'U' && high <= 'Z' ? high : e - k - 1);
    }
    return ticker;
}

SmartSelectFacts smartSelect(std::string_view ticker)
{
    SmartSelectFacts facts;
    if (!isListed(ticker) || chance(ticker, "smartselect unrated") < 0.12) {
        static constexpr std::array<const char*, 2> kTexts{"is not currently rated by SmartSelect",
                                                           "is NOT CURRENTLY covered by SmartSelect(R) ratings"};
        facts.unratedText = kTexts[static_cast<std::size_t>(draw(ticker, "smartselect message", 0, 1))];
        return facts;
    }
    facts.rated = true;
    facts.eps = numberCell(ticker, "smartselect eps", 1, 99);
    facts.relativeStrength = numberCell(ticker, "smartselect rs", 1, 99);
    static constexpr std::array<const char*, 6> kGrades{"A", "B", "C", "D", "E", "F"};
    static constexpr std::array<const char*, 6> kMangled{"a", "A+", " B ", "c", "B-", "  C"};
    for (std::size_t i = 0; i < facts.grades.size(); ++i) {
        const std::string what = "smartselect grade " + std::to_string(i);
        facts.grades[i] = chance(ticker, what + " mangled") < 0.15
                              ? kMangled[static_cast<std::size_t>(draw(ticker, what + " mangle", 0, 5))]
                              : kGrades[static_cast<std::size_t>(draw(ticker, what, 0, 5))];
    }
    return facts;
}

BrokerFacts zacksBroker(std::string_view ticker)
{
    BrokerFacts facts;
    if (!isListed(ticker) || chance(ticker, "zacks none") < 0.12)
        return facts;
    facts.covered = true;
    static constexpr std::array<const char*, 5> kRecommendations{"Strong Buy", "Buy", "Hold", "Sell", "Strong Sell"};
    facts.recommendation = kRecommendations[static_cast<std::size_t>(draw(ticker, "zacks recommendation", 0, 4))];
    const double mangle = chance(ticker, "zacks mangle");
    if (mangle < 0.10)
        facts.recommendation = " " + facts.recommendation + " ";
    else if (mangle < 0.18)
        facts.recommendation = withCase(facts.recommendation, mangle < 0.14 ? 1 : 2);
    return facts;
}

} // namespace simweb::ranks
