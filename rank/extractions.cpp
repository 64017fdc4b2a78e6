// How one page of a rank source becomes points for one ticker.
#include <algorithm>
#include <cmath>

#include "app/helpers.h"
#include "rank/newsdate.h"
#include "rank/ranksources.h"

namespace veltrop {
namespace {

// A fund-count walk never reads more pages for one ticker than this, whatever
// the next-page links say.
constexpr int kMaxFundPages = 100;
// The holdings rows a walk reads on one page.
constexpr int kMaxFundRow = 5000;

double number(const RankPage& page, int table, int row, int column)
{
    return leadingNumber(page.cellText(table, row, column));
}

bool startsWithPhrase(std::string_view text, std::string_view phrase)
{
    return text.size() >= phrase.size() && containsPhrase(text.substr(0, phrase.size()), phrase);
}

// Letter grades as SmartSelect shows them, matched exactly.
double gradeValue(const std::string& text)
{
    static constexpr std::pair<std::string_view, double> grades[] = {
        {"A", 100}, {"B", 80}, {"C", 60}, {"D", 40}, {"E", 20}, {"F", 10}};
    for (const auto& [grade, value] : grades)
        if (exactMatch(text, grade))
            return value;
    return 0;
}

} // namespace

Points singleCell(const RankPage& page, Cell cell)
{
    const std::string text = page.cellText(cell.table, cell.row, cell.column);
    const double v = leadingNumber(text);
    if (!text.empty() && v > 0)
        return Points::record(floorWhole(v));
    return Points::add(0);
}

NewsReading readNews(const RankPage& page)
{
    const std::string text = page.pageText();
    if (containsPhrase(text, "no news") || containsPhrase(text, "not found") ||
        !containsPhrase(text, "News Headlines")) {
        // A page that says so at its very start has had no news for a long
        // time; any other page without headlines merely could not tell.
        return {Points::add(startsWithPhrase(text, "no news") ? 120 : 0), std::nullopt};
    }
    const std::optional<double> latest = readNewsDate(page.cellText(14, 3, 1));
    if (!latest)
        return {Points::nothing(), std::nullopt};  // a cell that is no date rates nothing
    return {Points::nothing(), latest};
}

Points newsPoints(const NewsReading& reading, double now)
{
    if (!reading.latest)
        return reading.points;
    // Both moments are held in single precision before they are subtracted,
    // so a headline earlier today can count as a day old.
    const float today = static_cast<float>(now);
    const float news = static_cast<float>(*reading.latest);
    const std::int64_t days = floorWhole(today - news);
    return days > 0 ? Points::record(days) : Points::add(0);
}

Points daysSinceNews(const RankPage& page, double now) { return newsPoints(readNews(page), now); }

Points rankChange(const RankPage& page)
{
    if (containsPhrase(page.pageText(), "No Matching"))
        return Points::nothing();
    double sum = 0;
    for (int row : {6, 8, 10, 12, 13, 14, 15, 16}) {
        const double earlier = number(page, 12, row, 3);
        const double current = number(page, 12, row, 2);
        sum += current - earlier;
    }
    return Points::record(floorWhole(sum / 8));
}

FundTally::FundTally(const FundWalk& walk, const std::string& firstUrl) : walk_(walk), visited_{firstUrl} {}

std::string FundTally::count(const RankPage& page)
{
    const int step = walk_.rowStep > 0 ? walk_.rowStep : 1;
    for (int j = 1; j <= kMaxFundRow; j += step) {
        if (number(page, walk_.first.table, walk_.first.row + j, walk_.first.column) == 0)
            break;
        ++count_;
    }
    if (!walk_.paging)
        return {};
    const std::string link = page.cellText(walk_.next.table, walk_.next.row, walk_.next.column);
    if (!containsPhrase(link, walk_.nextText))
        return {};
    std::string url = page.linkUrl(link, 1);
    // A next link back to a page already read would otherwise walk in a
    // circle for ever, and an endless chain would never end either.
    if (url.empty() || pagesRead_ >= kMaxFundPages ||
        std::find(visited_.begin(), visited_.end(), url) != visited_.end())
        return {};
    return url;
}

void FundTally::opened(const std::string& url, const std::string& finalUrl)
{
    ++pagesRead_;
    visited_.push_back(url);
    visited_.push_back(finalUrl);
}

Points fundCount(const RankPage& first, const FundWalk& walk, const OpenFurther& open, const Cancelled& cancelled)
{
    FundTally tally(walk, first.url());
    const RankPage* page = &first;
    for (;;) {
        const std::string next = tally.count(*page);
        if (next.empty() || (cancelled && cancelled()))
            break;
        page = open(next);
        if (!page)
            break;
        tally.opened(next, page->url());
    }
    return tally.points();
}

Points guruAverage(const RankPage& page)
{
    if (containsPhrase(page.pageText(), "no Guru"))
        return Points::nothing();
    double sum = 0;
    for (int table : {23, 24, 25, 28, 29, 30, 33, 34, 56})
        sum += number(page, table, 3, 2);
    return Points::record(floorWhole(sum / 9));
}

std::optional<std::string> smartSelectCode(std::string_view ticker)
{
    const std::string t = toUpperAscii(trimBlanks(ticker));
    if (t.find_first_of("-,*") != std::string::npos || t.size() >= 5)
        return std::nullopt;
    std::string code;
    for (std::size_t i = 0; i < t.size(); ++i) {
        const int k = static_cast<int>(i) + 1;
        const int c = static_cast<unsigned char>(t[i]);
        const int shifted = c >= 'U' && c <= 'Z' ? c + k + 11 : c + k + 1;
        if (shifted > 255)
            return std::nullopt;  // no character to send: the ticker cannot be asked for
        code += static_cast<char>(shifted);
        code += std::to_string(k + 2);
    }
    return std::string(trimBlanks(code));
}

Points smartSelectAverage(const RankPage& page)
{
    if (containsPhrase(page.pageText(), "not currently"))
        return Points::nothing();
    double sum = number(page, 1, 5, 2) + number(page, 1, 5, 6);
    for (int column : {10, 14, 18})
        sum += gradeValue(page.cellText(1, 5, column));
    return Points::record(floorWhole(sum / 5));
}

Points brokerRecommendation(const RankPage& page)
{
    if (containsPhrase(page.pageText(), "No Reports"))
        return Points::nothing();
    static constexpr std::pair<std::string_view, int> opinions[] = {
        {"Strong Buy", 100}, {"Buy", 75}, {"Hold", 50}, {"Sell", 25}, {"Strong Sell", 0}};
    const std::string text = page.cellText(21, 2, 10);
    for (const auto& [opinion, points] : opinions)
        if (exactMatch(text, opinion))
            return Points::record(points);
    return Points::record(0);
}

} // namespace veltrop
