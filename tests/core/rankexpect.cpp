#include "rankexpect.h"

#include <chrono>
#include <cmath>

#include <gtest/gtest.h>

namespace veltrop::testing {

namespace ranks = simweb::ranks;

namespace {

Given singleCell(const ranks::CellFact& cell)
{
    if (!trimmed(cell.text).empty() && cell.value > 0)
        return record(floorOf(cell.value));
    return add(0);
}

double newsDayNumber(const ranks::NewsFacts& news)
{
    using namespace std::chrono;
    const year_month_day date{year{news.date.year}, month{static_cast<unsigned>(news.date.month)},
                              day{static_cast<unsigned>(news.date.day)}};
    const long long days = sys_days{date}.time_since_epoch().count() + 25569;
    return static_cast<double>(days) + (news.hour * 3600 + news.minute * 60 + news.second) / 86400.0;
}

Given daysSinceNews(const std::string& symbol, double now, ranks::CivilDate today)
{
    const ranks::NewsFacts news = ranks::marketwatchNews(symbol, today);
    switch (news.kind) {
    case ranks::NewsKind::NoNewsAtStart: return add(120);
    case ranks::NewsKind::NoNewsLater:
    case ranks::NewsKind::NotFound:
    case ranks::NewsKind::NoHeadlines: return add(0);
    case ranks::NewsKind::NotADate: return nothing();
    case ranks::NewsKind::Dated: break;
    }
    // Both moments are held in single precision before they are subtracted.
    const long long days = floorOf(static_cast<float>(now) - static_cast<float>(newsDayNumber(news)));
    return days > 0 ? record(days) : add(0);
}

int gradeValue(const std::string& grade)
{
    const std::string g = trimmed(grade);
    if (g == "A") return 100;
    if (g == "B") return 80;
    if (g == "C") return 60;
    if (g == "D") return 40;
    if (g == "E") return 20;
    if (g == "F") return 10;
    return 0;
}

int brokerValue(const std::string& recommendation)
{
    const std::string r = trimmed(recommendation);
    if (r == "Strong Buy") return 100;
    if (r == "Buy") return 75;
    if (r == "Hold") return 50;
    if (r == "Sell") return 25;
    return 0;
}

// The Telescan rows, by the index of the single-cell source that reads each.
int telescanSlot(int index)
{
    switch (index) {
    case 2: return 0;   // row 6
    case 3: return 1;   // row 8
    case 4: return 2;   // row 10
    case 9: return 3;   // row 12
    case 10: return 4;  // row 13
    case 11: return 5;  // row 14
    case 12: return 6;  // row 15
    case 13: return 7;  // row 16
    default: return -1;
    }
}

} // namespace

long long floorOf(double v) { return static_cast<long long>(std::floor(v)); }

std::string trimmed(const std::string& text)
{
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

double localDayNumber(std::time_t when)
{
    std::tm local{};
    localtime_r(&when, &local);
    using namespace std::chrono;
    const year_month_day date{year{local.tm_year + 1900}, month{static_cast<unsigned>(local.tm_mon + 1)},
                              day{static_cast<unsigned>(local.tm_mday)}};
    const long long days = sys_days{date}.time_since_epoch().count() + 25569;
    return static_cast<double>(days) + (local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec) / 86400.0;
}

bool smartSelectEligible(const std::string& upper)
{
    return upper.find_first_of("-,*") == std::string::npos && upper.size() < 5;
}

Given expectedGiven(int index, const std::string& ticker, double now, ranks::CivilDate today)
{
    const std::string symbol = ranks::lookupSymbol(ticker);
    if (const int slot = telescanSlot(index); slot >= 0) {
        const ranks::TelescanFacts facts = ranks::telescanRanks(symbol);
        return singleCell(facts.matched ? facts.ranks[static_cast<std::size_t>(slot)].current : ranks::CellFact{});
    }
    switch (index) {
    case 0: return singleCell(ranks::cnetMomentum(symbol));
    case 1: return daysSinceNews(symbol, now, today);
    case 5: return singleCell(ranks::barchartPerformance(symbol));
    case 6: return record(ranks::forbesFunds(symbol).holdings);
    case 7: return singleCell(ranks::barchartOpinion(symbol));
    case 8: {
        const ranks::GuruFacts facts = ranks::valideaGurus(symbol);
        if (!facts.analysed)
            return nothing();
        double sum = 0;
        for (const ranks::CellFact& score : facts.scores)
            sum += score.value;
        return record(floorOf(sum / 9));
    }
    case 14: {
        const ranks::TelescanFacts facts = ranks::telescanRanks(symbol);
        if (!facts.matched)
            return nothing();
        double sum = 0;
        for (const ranks::TelescanRank& rank : facts.ranks)
            sum += rank.current.value - rank.earlier.value;
        return record(floorOf(sum / 8));
    }
    case 15: {
        if (!smartSelectEligible(symbol))
            return nothing();
        const ranks::SmartSelectFacts facts = ranks::smartSelect(symbol);
        if (!facts.rated)
            return nothing();
        double sum = facts.eps.value + facts.relativeStrength.value;
        for (const std::string& grade : facts.grades)
            sum += gradeValue(grade);
        return record(floorOf(sum / 5));
    }
    case 16: {
        const ranks::BrokerFacts facts = ranks::zacksBroker(symbol);
        return facts.covered ? record(brokerValue(facts.recommendation)) : nothing();
    }
    default: ADD_FAILURE() << "no rank source " << index; return nothing();
    }
}

int expectedPages(int index, const std::string& ticker)
{
    const std::string symbol = ranks::lookupSymbol(ticker);
    if (index == 15)
        return smartSelectEligible(symbol) ? 1 : 0;
    if (index == 6)
        return ranks::forbesFunds(symbol).pages;
    return 1;
}

} // namespace veltrop::testing
