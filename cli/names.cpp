#include "cli/names.h"

#include <algorithm>
#include <cstdio>

#include <nlohmann/json.hpp>

#include "web/text.h"

namespace veltrop::cli {
namespace {

bool isAlnum(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); }

// Lines of cells in columns as wide as their widest cell.
std::string columns(const std::vector<std::vector<std::string>>& lines)
{
    std::vector<std::size_t> width;
    for (const auto& line : lines)
        for (std::size_t c = 0; c < line.size(); ++c) {
            width.resize(std::max(width.size(), line.size()));
            width[c] = std::max(width[c], line[c].size());
        }
    std::string out;
    for (const auto& line : lines) {
        std::string text;
        for (std::size_t c = 0; c < line.size(); ++c)
            text += line[c] + (c + 1 < line.size() ? std::string(width[c] - line[c].size() + 2, ' ') : "");
        out += text + "\n";
    }
    return out;
}

} // namespace

std::string nameOf(std::string_view caption)
{
    std::string name;
    bool gap = false;
    for (char c : caption) {
        if (!isAlnum(c)) {
            gap = !name.empty();
            continue;
        }
        if (gap)
            name += '-';
        gap = false;
        name += (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
    }
    return name;
}

std::optional<std::vector<std::size_t>> pick(std::span<const std::string> captions,
                                             const std::vector<std::string>& wanted, std::string& unknown)
{
    std::vector<bool> chosen(captions.size());
    for (const std::string& word : wanted) {
        bool found = false;
        for (std::size_t i = 0; i < captions.size(); ++i)
            if (word == "all" || word == nameOf(captions[i]) || toUpperAscii(word) == toUpperAscii(captions[i]))
                chosen[i] = found = true;
        if (!found) {
            unknown = word;
            return std::nullopt;
        }
    }
    std::vector<std::size_t> picked;
    for (std::size_t i = 0; i < captions.size(); ++i)
        if (chosen[i])
            picked.push_back(i);
    return picked;
}

std::string table(const std::vector<RankedRow>& rows)
{
    std::vector<std::vector<std::string>> lines{{"TICKER", "SCORE", "BAND"}};
    for (const RankedRow& row : rows)
        lines.push_back({row.ticker, scoreText(row.score), std::to_string(row.band)});
    return columns(lines);
}

std::string json(const std::vector<RankedRow>& rows, const std::vector<std::string>& messages,
                 const std::vector<SourceReport>& sources)
{
    nlohmann::ordered_json out = {{"tickers", nlohmann::json::array()},
                                  {"messages", messages},
                                  {"sources", nlohmann::json::array()}};
    for (const RankedRow& row : rows)
        out["tickers"].push_back(
            {{"ticker", row.ticker}, {"score", row.score}, {"band", row.band}});
    for (const SourceReport& s : sources) {
        nlohmann::ordered_json source = {{"name", s.source->name},
                                         {"caption", std::string(s.source->caption)},
                                         {"rated", s.rated},
                                         {"no_points", s.noPoints},
                                         {"skipped", s.skipped},
                                         {"not_reached", s.notReached},
                                         {"pages", s.pages},
                                         {"missing", s.missing},
                                         {"stopped_at", nullptr},
                                         {"reason", nullptr}};
        if (s.stoppedEarly() && !s.stoppedAt.empty())
            source["stopped_at"] = s.stoppedAt;
        if (!s.why().empty())
            source["reason"] = s.why();
        out["sources"].push_back(std::move(source));
    }
    // Invalid UTF-8 in a ticker is written as U+FFFD rather than failing.
    return out.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

std::string reportTable(const std::vector<SourceReport>& sources)
{
    std::vector<std::vector<std::string>> lines{
        {"SOURCE", "RATED", "NO POINTS", "SKIPPED", "NOT REACHED", "PAGES", "MISSING", "STOPPED AT", "WHY"}};
    for (const SourceReport& s : sources)
        lines.push_back({s.source->name, std::to_string(s.rated), std::to_string(s.noPoints),
                         std::to_string(s.skipped), std::to_string(s.notReached), std::to_string(s.pages),
                         std::to_string(s.missing), s.stoppedEarly() && !s.stoppedAt.empty() ? s.stoppedAt : "-",
                         s.why().empty() ? "-" : s.why()});
    return columns(lines);
}

std::string reportTable(const std::vector<ListReport>& lists)
{
    std::vector<std::vector<std::string>> lines{{"SOURCE", "TICKERS", "PAGES", "STOPPED ON PAGE", "WHY"}};
    for (const ListReport& r : lists)
        lines.push_back({r.source->name, std::to_string(r.tickers), std::to_string(r.pages),
                         r.reason.empty() ? "-" : std::to_string(r.stoppedOnPage),
                         r.reason.empty() && r.warning.empty() ? "-"
                         : r.warning.empty()                   ? r.reason
                         : r.reason.empty()                    ? r.warning
                                                               : r.reason + "; " + r.warning});
    return columns(lines);
}

} // namespace veltrop::cli
