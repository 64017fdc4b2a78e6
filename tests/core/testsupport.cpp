#include "testsupport.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>

namespace veltrop::testing {

std::string listPage(int table, int headerRows, int column, const std::vector<std::string>& cells,
                     const std::string& extraAfter)
{
    std::string html = "<html><body>";
    for (int t = 1; t < table; ++t)
        html += "<table><tr><td>layout " + std::to_string(t) + "</td></tr></table>";
    html += "<table>";
    for (int h = 0; h < headerRows; ++h)
        html += "<tr><th colspan=9>Header</th></tr>";
    for (const std::string& cell : cells) {
        html += "<tr>";
        for (int c = 1; c < column; ++c)
            html += "<td>x</td>";
        html += "<td>" + cell + "</td><td>more</td></tr>";
    }
    html += "</table>" + extraAfter + "</body></html>";
    return html;
}

std::string readBytes(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeBytes(const std::filesystem::path& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

std::vector<std::string> filesIn(const std::filesystem::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::filesystem::path makeTempFolder(const std::string& stem)
{
    std::string pattern = (std::filesystem::temp_directory_path() / (stem + ".XXXXXX")).string();
    if (::mkdtemp(pattern.data()) == nullptr)
        return {};
    return pattern;
}

void removeTempFolder(const std::filesystem::path& folder)
{
    std::error_code ignored;
    std::filesystem::permissions(folder, std::filesystem::perms::owner_all, ignored);
    std::filesystem::remove_all(folder, ignored);
}

namespace {

class Recorder : public RankObserver, public FilterObserver {
public:
    std::string recordedScore;
    std::vector<std::string>& messages;
    explicit Recorder(std::vector<std::string>& said) : messages(said) {}
    bool ticked(const RankSource&) override { return true; }
    void progress(const std::string&) override {}
    void recorded(Whole score) override { recordedScore = std::to_string(score); }
    void filtering() override {}
    void message(const std::string& text) override { messages.push_back(text); }
};

} // namespace

OneSourceRun rankBy(const RankSource& source, const std::vector<std::string>& tickers, int lookahead)
{
    OneSourceRun run;
    for (const std::string& ticker : tickers)
        run.list.add(ticker);
    FetchPool engine;
    Recorder recorder(run.messages);
    Stopping stopping;
    run.tally = rankTickers({engine, lookahead, {}}, {&source, 1}, run.list, run.list.size(), stopping, recorder);
    run.recorded = recorder.recordedScore;
    return run;
}

std::vector<std::string> filterBy(const std::vector<std::string>& tickers, std::vector<std::string>& messages,
                                  const Limits& limits)
{
    TickerList list;
    for (const std::string& ticker : tickers)
        list.add(ticker);
    FetchPool engine;
    Recorder recorder(messages);
    filterTickers({engine, 0, {}}, list, limits, recorder);
    std::vector<std::string> kept;
    for (const ListedTicker& listed : list)
        kept.push_back(listed.ticker);
    return kept;
}

} // namespace veltrop::testing
