// How one page of a rank source becomes points for one ticker.
#include <algorithm>
#include <cmath>

#include "web/text.h"
#include "web/codepage.h"
#include "rank/newsdate.h"
#include "rank/ranksources.h"

#include "rank/locators.h"

namespace veltrop {
namespace {

double number(const PageView& page, int table, int row, int column)
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

Points singleCell(const PageView& page, Cell cell)
{
    const std::string text = page.cellText(cell.table, cell.row, cell.column);
    const double v = leadingNumber(text);
    if (!text.empty() && v > 0)
        return Points::record(floorWhole(v));
    return Points::add(0);
}

NewsReading readNews(const PageView& page)
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

Points rankChange(const PageView& page)
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

bool isHolding(const std::string& cell) { return leadingNumber(cell) != 0; }

Points guruAverage(const PageView& page)
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
    // The site counts, upper-cases and shifts characters of the Western code
    // page, one byte each; a character that page lacks cannot be sent.
    bool whole = true;
    const std::string t = upperCase1252(encode1252(trimBlanks(ticker), &whole));
    if (!whole || t.find_first_of("-,*") != std::string::npos || t.size() >= 5)
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

Points smartSelectAverage(const PageView& page)
{
    if (containsPhrase(page.pageText(), "not currently"))
        return Points::nothing();
    double sum = number(page, 1, 5, 2) + number(page, 1, 5, 6);
    for (int column : {10, 14, 18})
        sum += gradeValue(page.cellText(1, 5, column));
    return Points::record(floorWhole(sum / 5));
}

std::optional<Landmark> landmarkOf(Extraction extraction)
{
    // The phrases are the ones each reader takes for "no data"; the cells
    // the last each reads, so a page that has it has the ones before too.
    switch (extraction) {
    case Extraction::DaysSinceNews: return Landmark{std::nullopt, "News Headlines", {"no news", "not found"}};
    case Extraction::RankChange: return Landmark{Cell{12, 16, 3}, {}, {"No Matching"}};
    case Extraction::GuruAverage: return Landmark{Cell{56, 3, 2}, {}, {"no Guru"}};
    case Extraction::SmartSelect: return Landmark{Cell{1, 5, 18}, {}, {"not currently"}};
    case Extraction::Broker: return Landmark{Cell{21, 2, 10}, {}, {"No Reports"}};
    default: return std::nullopt;
    }
}

Points brokerRecommendation(const PageView& page)
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

// ---- How each kind of source reads its pages --------------------------------

namespace {

// Whether `page` lacks what a reader looks for, and its site does not say
// it has nothing.
bool lacks(const PageView& page, const std::optional<Landmark>& landmark)
{
    if (!landmark)
        return false;
    const std::string text = page.pageText();
    for (std::string_view phrase : landmark->noData)
        if (containsPhrase(text, phrase))
            return false;
    if (landmark->cell)
        return !page.hasCell(landmark->cell->table, landmark->cell->row, landmark->cell->column);
    return !containsPhrase(text, landmark->text);
}

// A source whose one page gives its points at once.
class OnePageReader : public RankReader {
public:
    OnePageReader(std::function<Points(const PageView&)> rate, Extraction kind)
        : rate_(std::move(rate)), landmark_(landmarkOf(kind))
    {
    }
    std::string read(const PageView& page, const std::string&) override
    {
        points_ = rate_(page);
        missed_ = lacks(page, landmark_);
        return {};
    }
    Points points(double) const override { return points_; }
    bool missed() const override { return missed_; }

private:
    std::function<Points(const PageView&)> rate_;
    std::optional<Landmark> landmark_;
    Points points_;
    bool missed_ = false;
};

// Days since news: the headline's date is read with the page, the days
// counted at the ticker's turn.
class NewsReader : public RankReader {
public:
    std::string read(const PageView& page, const std::string&) override
    {
        reading_ = readNews(page);
        missed_ = lacks(page, landmarkOf(Extraction::DaysSinceNews));
        return {};
    }
    Points points(double now) const override { return newsPoints(reading_, now); }
    bool missed() const override { return missed_; }

private:
    NewsReading reading_;
    bool missed_ = false;
};

// The fund count: the holdings of every page of the walk.
class FundCountReader : public RankReader {
public:
    std::string read(const PageView& page, const std::string& askedUrl) override
    {
        TableWalker::Rows rows = walker_.read(page, askedUrl);
        holdings_ += std::int64_t(rows.cells.size());
        return std::move(rows.next);
    }
    Points points(double) const override { return Points::record(holdings_); }
    int pagesRead() const override { return walker_.pagesRead(); }

private:
    TableWalker walker_{fundWalk(), isHolding};
    std::int64_t holdings_ = 0;
};

// A single-cell source, which tells a page without its cell.
class CellReader : public RankReader {
public:
    explicit CellReader(Cell cell) : cell_(cell) {}
    std::string read(const PageView& page, const std::string&) override
    {
        points_ = singleCell(page, cell_);
        missed_ = !page.hasCell(cell_.table, cell_.row, cell_.column);
        value_ = page.cellText(cell_.table, cell_.row, cell_.column);
        return {};
    }
    Points points(double) const override { return points_; }
    bool missed() const override { return missed_; }
    std::string value() const override { return value_; }

private:
    Cell cell_;
    std::string value_;
    Points points_;
    bool missed_ = false;
};

// A catalogue's locator: the page's no-data phrase, or the value found.
class LocatedReader : public RankReader {
public:
    explicit LocatedReader(const RankSource& source)
        : locator_(source.locator), grades_(source.grades), noData_(source.noData)
    {
    }
    std::string read(const PageView& page, const std::string&) override
    {
        if (!noData_.empty() && containsPhrase(page.pageText(), noData_)) {
            points_ = Points::nothing();
            noDataSeen_ = true;
            return {};
        }
        const Located located = locate(page, locator_);
        missed_ = !located.found;
        value_ = located.value;
        points_ = pointsOf(located, grades_);
        return {};
    }
    Points points(double) const override { return points_; }
    bool missed() const override { return missed_; }
    std::string value() const override { return noDataSeen_ ? noData_ : value_; }

private:
    // Copies: the reader runs on an engine worker, and the source it was
    // made from belongs to the command.
    Locator locator_;
    std::vector<std::pair<std::string, std::int64_t>> grades_;
    std::string noData_;
    std::string value_;
    Points points_;
    bool missed_ = false;
    bool noDataSeen_ = false;
};

} // namespace

std::shared_ptr<RankReader> readerFor(const RankSource& source)
{
    switch (source.extraction) {
    case Extraction::SingleCell: return std::make_shared<CellReader>(source.cell);
    case Extraction::DaysSinceNews: return std::make_shared<NewsReader>();
    case Extraction::FundCount: return std::make_shared<FundCountReader>();
    case Extraction::RankChange: return std::make_shared<OnePageReader>(rankChange, Extraction::RankChange);
    case Extraction::GuruAverage: return std::make_shared<OnePageReader>(guruAverage, Extraction::GuruAverage);
    case Extraction::SmartSelect: return std::make_shared<OnePageReader>(smartSelectAverage, Extraction::SmartSelect);
    case Extraction::Broker: return std::make_shared<OnePageReader>(brokerRecommendation, Extraction::Broker);
    case Extraction::Located: return std::make_shared<LocatedReader>(source);
    }
    return std::make_shared<OnePageReader>([](const PageView&) { return Points::nothing(); }, Extraction::Located);
}

} // namespace veltrop
