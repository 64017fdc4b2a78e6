// Pages, cells and files that no honest site or user would hand over, fed to
// the real program: pages come from the simulated web through the real
// fetcher, files from disk through Load List and Save List.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "app/windowcontroller.h"
#include "files/listfile.h"
#include "rank/ranksources.h"
#include "testsupport.h"
#include "web/pagefetcher.h"

using namespace veltrop;
using veltrop::testing::ControllerTest;
using veltrop::testing::filesIn;
using veltrop::testing::readBytes;
using veltrop::testing::writeBytes;
namespace fs = std::filesystem;

namespace {

std::string repeated(std::string_view piece, std::size_t times)
{
    std::string out;
    out.reserve(piece.size() * times);
    for (std::size_t i = 0; i < times; ++i)
        out.append(piece);
    return out;
}


long statusKilobytes(const char* field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::string key = std::string(field) + ":";
    while (std::getline(status, line)) {
        if (line.rfind(key, 0) == 0)
            return std::strtol(line.c_str() + key.size(), nullptr, 10);
    }
    return -1;
}

// What one page did in the child process that opened it.
struct Outcome {
    int opened = -1;       // 1 opened, 0 refused
    int answered = 0;      // 1 when every question got the answer expected
    long milliseconds = 0; // open and questions, wall clock
    long growthKb = 0;     // growth of the peak resident memory
};

// Runs `work` in a child process, so that its peak memory can be told apart
// from the rest of the test program's. The child is killed after
// `limitSeconds`; nullopt then, or when it died.
std::optional<Outcome> inChild(const std::function<Outcome()>& work, int limitSeconds)
{
    int fds[2];
    if (::pipe(fds) != 0)
        return std::nullopt;
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(fds[0]);
        // Resets the peak to what the child holds now.
        std::ofstream("/proc/self/clear_refs") << "5";
        const long before = statusKilobytes("VmRSS");
        Outcome outcome = work();
        outcome.growthKb = statusKilobytes("VmHWM") - before;
        [[maybe_unused]] const auto written = ::write(fds[1], &outcome, sizeof outcome);
        ::_exit(0);
    }
    ::close(fds[1]);
    Outcome outcome;
    pollfd waiting{fds[0], POLLIN, 0};
    const bool answered = ::poll(&waiting, 1, limitSeconds * 1000) == 1
                          && ::read(fds[0], &outcome, sizeof outcome) == sizeof outcome;
    ::close(fds[0]);
    if (!answered)
        ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!answered)
        return std::nullopt;
    return outcome;
}

class Hostile : public ControllerTest {};

// ---- pages that are huge, deep or broken ----

const std::string site = "http://www.example.com/hostile/";

struct HostilePage {
    const char* name;
    std::string html;
    bool opens;
    // Asked of the opened page; true when the answers are right.
    std::function<bool(const PageFetcher&)> answers;
};

// Links kept open by an <object> or a table inside each: each holds the
// text of all the links after it.
std::string nestedLinks(std::string_view wrapper, int links, const std::string& words)
{
    std::string html;
    for (int i = 0; i < links; ++i)
        html += "<a href=\"l" + std::to_string(i) + "\">" + std::string(wrapper) + words;
    return html;
}

TEST_F(Hostile, HugeDeepAndBrokenPagesEndInTimeWithinBoundedMemory)
{
    // 1.4 KB of words per link: 5,000 links make a page of over 7 MB.
    const std::string words = repeated("word ", 280);
    const std::string oneChunk = words.substr(0, words.size() - 1);
    const auto onlyTheLastLink = [oneChunk](const PageFetcher& page) {
        return page.FindLinkUrl(oneChunk, 1) == site + "l4999" && page.FindLinkUrl(oneChunk, 2).empty()
               && page.FindLinkUrl("word", 1).empty();
    };
    const std::vector<HostilePage> pages = {
        // Too deep to build within the parse budget.
        {"300k nested elements", repeated("<div>", 300000), false, {}},
        {"333k unclosed i", repeated("<i>", 333333), false, {}},
        // Too many tags.
        {"6 MB of stray end tags", repeated("</b>", 1500000), false, {}},
        {"6 MB of bad character references", "<p>" + repeated("&#0;", 1500000) + "<table><tr><td>7", true,
         [](const PageFetcher& page) { return page.GetCellText(1, 1, 1) == "7"; }},
        {"200k tables", repeated("<table></table>", 200000) + "<table><tr><td>last</table>", true,
         [](const PageFetcher& page) {
             return page.GetCellText(200001, 1, 1) == "last" && page.GetCellText(200002, 1, 1).empty()
                    && page.GetPageText() == "last";
         }},
        {"5,000 links through object", nestedLinks("<object>", 5000, words), true, onlyTheLastLink},
        {"5,000 links through a table", nestedLinks("<table><tr><td>", 5000, words), true, onlyTheLastLink},
    };
    for (const HostilePage& page : pages) {
        SCOPED_TRACE(page.name);
        const std::string url = site + std::to_string(&page - pages.data());
        web.setPage(url, page.html);
        const auto outcome = inChild(
            [&] {
                PageFetcher fetcher;
                Outcome o;
                const auto start = std::chrono::steady_clock::now();
                o.opened = fetcher.OpenPage(url, 30) ? 1 : 0;
                o.answered = o.opened && page.answers ? page.answers(fetcher) : 1;
                o.milliseconds = static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                                       std::chrono::steady_clock::now() - start)
                                                       .count());
                return o;
            },
            60);
        ASSERT_TRUE(outcome.has_value()) << "the page did not end within a minute";
        EXPECT_EQ(outcome->opened, page.opens ? 1 : 0);
        EXPECT_EQ(outcome->answered, 1);
        // The parse budget is one second of processor time; the rest is the
        // transfer and a loaded machine.
        EXPECT_LT(outcome->milliseconds, 15000);
        const long pageKb = static_cast<long>(page.html.size() / 1024);
        EXPECT_LT(outcome->growthKb, 12 * pageKb + 64 * 1024) << "page of " << pageKb << " KB";
        std::cout << "[ info ] " << page.name << ": " << pageKb << " KB page, " << outcome->milliseconds
                  << " ms, peak grew " << outcome->growthKb << " KB\n";
    }
}

// ---- charsets ----

const RankSource& momentum() { return *veltrop::testing::rankSourceInBox(0); }

std::string momentumUrl(const std::string& ticker)
{
    return momentum().before + ticker + momentum().after;
}

// The momentum page's layout: its number in cell (14, 2, 2), after thirteen
// layout tables.
std::string momentumPage(const std::string& cell, const std::string& head = {})
{
    std::string html = "<html><head>" + head + "</head><body>";
    for (int t = 1; t < 14; ++t)
        html += "<table><tr><td>layout</td></tr></table>";
    return html + "<table><tr><td>Rating</td><td></td></tr><tr><td>Score</td><td>" + cell
           + "</td></tr></table></body></html>";
}

struct ServedCell {
    const char* ticker;
    std::string html;
    std::string contentType;
    std::string cellText;  // as the fetcher reads it, UTF-8
    std::string score;     // as the rank loop leaves it
};

class HostileRank : public Hostile {
protected:
    // Serves each row's page and runs the momentum source over their tickers.
    veltrop::testing::OneSourceRun rank(const std::vector<ServedCell>& rows)
    {
        std::vector<std::string> tickers;
        for (const ServedCell& row : rows) {
            web.setPage(momentumUrl(row.ticker), row.html, row.contentType);
            tickers.push_back(row.ticker);
        }
        return veltrop::testing::rankBy(momentum(), tickers);
    }

    RankTally expectRanked(const std::vector<ServedCell>& rows)
    {
        const veltrop::testing::OneSourceRun ran = rank(rows);
        PageFetcher fetcher;
        for (std::size_t i = 0; i < rows.size(); ++i) {
            SCOPED_TRACE(rows[i].ticker);
            EXPECT_EQ(cellText(ran.list[int(i)].score), rows[i].score);
            EXPECT_TRUE(fetcher.OpenPage(momentumUrl(rows[i].ticker)));
            EXPECT_EQ(fetcher.GetCellText(14, 2, 2), rows[i].cellText);
        }
        EXPECT_TRUE(ran.messages.empty());
        return ran.tally;
    }
};

TEST_F(HostileRank, PagesInTheWesternCodePageAreDecodedBeforeTheirNumbersAreRead)
{
    const std::string western = "text/html; charset=windows-1252";
    const std::string plain = "text/html";
    expectRanked({
        // A no-break space is a blank, and blanks inside a number are skipped.
        {"NBSP", momentumPage("1\xA0" "234"), western, "1 234", "1234"},
        {"EUROAFTER", momentumPage("12\xA0\x80"), western, "12 \xE2\x82\xAC", "12"},
        {"EUROFIRST", momentumPage("\x80" "12"), western, "\xE2\x82\xAC" "12", "0"},
        // Labelled by the page itself, or by nothing.
        {"META", momentumPage("7\x80", "<meta charset=windows-1252>"), plain, "7\xE2\x82\xAC", "7"},
        {"UNLABELLED", momentumPage("\xA0" "9\xA0" "5"), plain, "9 5", "95"},
    });
}

TEST_F(HostileRank, APageInAnotherCharsetThanItDeclaresIsDecodedAsDeclared)
{
    expectRanked({
        // Western bytes in a page the header calls UTF-8: the stray byte is a
        // replacement character, which ends the number.
        {"SAYSUTF", momentumPage("1\xA0" "234"), "text/html; charset=utf-8", "1\xEF\xBF\xBD" "234", "1"},
        // UTF-8 in a page that calls itself Western: the euro sign's three
        // bytes become three characters.
        {"SAYSWESTERN", momentumPage("5\xE2\x82\xAC"), "text/html; charset=iso-8859-1", "5\xC3\xA2\xE2\x80\x9A\xC2\xAC",
         "5"},
        // The header outranks the page's own label.
        {"TWOLABELS", momentumPage("8\xE2\x82\xAC", "<meta charset=windows-1252>"), "text/html; charset=utf-8",
         "8\xE2\x82\xAC", "8"},
        // An unknown label counts as none: the bytes decide.
        {"UNKNOWN", momentumPage("3\xA0" "1"), "text/html; charset=x-klingon", "3 1", "31"},
    });
}

// ---- cells no number rule foresaw ----

TEST_F(HostileRank, OddCellsGiveTheLeadingNumberOrNoPoints)
{
    const std::string utf8 = "text/html; charset=utf-8";
    const std::string digits(100000, '9');
    const RankTally tally = expectRanked({
        {"DASH", momentumPage("\xE2\x80\x94"), utf8, "\xE2\x80\x94", "0"},
        {"NA", momentumPage("N/A"), utf8, "N/A", "0"},
        {"BRACKETS", momentumPage("(1,234.5)"), utf8, "(1,234.5)", "0"},
        {"MINUSZERO", momentumPage("-0"), utf8, "-0", "0"},
        {"PERCENT", momentumPage("12%"), utf8, "12%", "12"},
        {"TINY", momentumPage("1e-400"), utf8, "1e-400", "0"},
        {"GROUPED", momentumPage("1,234"), utf8, "1,234", "1"},
        // Past the range of a number: it still adds, as the largest whole
        // number there is.
        {"HUGE", momentumPage("1e999"), utf8, "1e999", "9.22337203685478e+18"},
        {"DIGITS", momentumPage(digits), utf8, digits, "9.22337203685478e+18"},
    });
    EXPECT_EQ(tally.highest, INT64_MAX);
    EXPECT_EQ(tally.lowest, 1);
}

TEST_F(HostileRank, NewsDatesNoCalendarHasGiveNoPoints)
{
    const RankSource& news = *veltrop::testing::rankSourceInBox(1);
    const auto newsPage = [](const std::string& date) {
        std::string html = "<html><body><p>News Headlines</p>";
        for (int t = 1; t < 14; ++t)
            html += "<table><tr><td>layout</td></tr></table>";
        return html + "<table><tr><td>Date</td></tr><tr><td>Headline</td></tr><tr><td>" + date
               + "</td></tr></table></body></html>";
    };
    const std::vector<std::pair<std::string, std::string>> dates = {
        {"BADDAY", "13/45/2000"},
        {"FEBTHIRTY", "Feb 30, 2001"},
        {"NOTADATE", "yesterday"},
        {"HUGEYEAR", "1/1/99999999999999999999"},
        {"GOOD", "Feb 28, 2001"},
    };
    std::vector<std::string> tickers;
    for (const auto& [ticker, date] : dates) {
        web.setPage(news.before + ticker + news.after, newsPage(date));
        tickers.push_back(ticker);
    }
    const veltrop::testing::OneSourceRun ran = veltrop::testing::rankBy(news, tickers);

    for (int row = 1; row <= 4; ++row)
        EXPECT_TRUE(isEmpty(ran.list[row - 1].score)) << dates[row - 1].first;
    // More than twenty years ago, whatever today is.
    const auto* days = std::get_if<double>(&ran.list[4].score);
    ASSERT_NE(days, nullptr);
    EXPECT_GT(*days, 20 * 365);
    EXPECT_TRUE(ran.messages.empty());
}

TEST_F(Hostile, OddQuoteCellsPassTheFilterByTheirLeadingNumbers)
{
    const std::string quoteBase = "http://www.washingtonpost.com/portfolio_quick_quotes.asp?tickers=";
    struct Row {
        const char* ticker;
        std::string price, volume;
        bool kept;
    };
    const std::string digits(100000, '9');
    const std::vector<Row> rows = {
        {"QDASH", "\xE2\x80\x94", "1,000,000", false},
        {"QNA", "N/A", "1,000,000", false},
        {"QBRACKETS", "(1,234.5)", "1,000,000", false},
        {"QHUGE", "1e999", "1,000,000", true},
        {"QMINUSZERO", "-0", "1,000,000", false},
        {"QPERCENT", "12%", "1,000,000", true},
        {"QTINY", "1e-400", "1,000,000", false},
        {"QDIGITS", digits, "1,000,000", true},
        {"QVOLDASH", "10.00", "\xE2\x80\x94", false},
        {"QVOLNA", "10.00", "N/A", false},
        {"QVOLBRACKETS", "10.00", "(1,234.5)", false},
        {"QVOLTINY", "10.00", "1e-400", false},
        {"QVOLMINUSZERO", "10.00", "-0", false},
        {"QVOLDIGITS", "10.00", digits, true},
    };
    std::string html = "<html><body>";
    for (int t = 1; t < 15; ++t)
        html += "<table><tr><td>layout</td></tr></table>";
    html += "<table><tr><td colspan=7>Quick Quotes</td></tr>"
            "<tr><th>Symbol<th>Company<th>Last<th>Change<th>% Chg<th>Prev Close<th>Volume</tr>";
    std::string query;
    std::vector<std::string> tickers;
    for (const Row& row : rows) {
        html += "<tr><td>" + std::string(row.ticker) + "<td>Co<td>" + row.price + "<td>0<td>0%<td>" + row.price
                + "<td>" + row.volume + "</tr>";
        query += std::string(row.ticker) + ",";
        tickers.push_back(row.ticker);
    }
    web.setPage(quoteBase + query, html + "</table></body></html>");

    std::vector<std::string> messages;
    const std::vector<std::string> kept = veltrop::testing::filterBy(tickers, messages);

    std::vector<std::string> expected;
    for (const Row& row : rows)
        if (row.kept)
            expected.push_back(row.ticker);
    EXPECT_EQ(kept, expected);
    EXPECT_TRUE(messages.empty());
}

// ---- ticker files ----

const std::string formatMessage = "Ticker Lists must be proper format, one ticker symbol per line";

class HostileFiles : public veltrop::testing::ListFileTest {};

TEST_F(HostileFiles, NulBytesStayPartOfTheirTicker)
{
    writeBytes(folder / "nul.vel", std::string("a\0b\r\n\0\r\nibm", 11));
    load(folder / "nul.vel");
    EXPECT_EQ(tickers(), (std::vector<std::string>{std::string("A\0B", 3), std::string(1, '\0'), "IBM"}));
    EXPECT_EQ(window.tickersFoundLabel.caption, " 3 tickers found");
}

TEST_F(HostileFiles, FiftyMegabytesOfShortLinesGiveTheFirstFiveHundredQuickly)
{
    const fs::path path = folder / "many.vel";
    {
        std::ofstream out(path, std::ios::binary);
        const std::string block = repeated("ab\r\n", 1 << 18);  // 1 MB
        for (int i = 0; i < 50; ++i)
            out << block;
    }
    ASSERT_EQ(fs::file_size(path), 50u << 20);
    const auto start = std::chrono::steady_clock::now();
    load(path);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(window.tickerList().size(), 500);
    EXPECT_EQ(window.tickerList()[499].ticker, "AB");
    EXPECT_EQ(window.tickersFoundLabel.caption, " 500 tickers found");
    EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count(), 2000);
}

TEST_F(HostileFiles, APipeOrADeviceIsNoListAndNeverHangsTheLoad)
{
    setList({"AAA", "BBB"});
    const fs::path fifo = folder / "pipe.vel";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // Opening a pipe for reading waits for a writer; a load that did so would
    // never return. It runs on its own thread so that the test ends even then.
    std::atomic<bool> done{false};
    std::thread loading([&] {
        load(fifo);
        load("/dev/zero");
        done = true;
    });
    for (int i = 0; i < 100 && !done; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    if (!done) {
        // Lets the stuck open return, so the thread can be joined.
        const int writer = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
        if (writer >= 0)
            ::close(writer);
    }
    loading.join();
    ASSERT_TRUE(done.load());
    EXPECT_EQ(tickers(), (std::vector<std::string>{"AAA", "BBB"})) << "nothing was loaded";
    EXPECT_EQ(dialogs.messages, (std::vector<std::string>{formatMessage, formatMessage}));
}

// ---- saving where the file system says no ----

const std::string saveFailure = "The list could not be saved.\n";

TEST_F(HostileFiles, SavingThroughASymbolicLinkReplacesItsTargetAndKeepsTheLink)
{
    fs::create_directory(folder / "lists");
    const fs::path target = folder / "lists" / "real.vel";
    writeBytes(target, "OLD\r\n");
    fs::create_symlink(target, folder / "link.vel");
    setList({"IBM", "MSFT"});

    save(folder / "link.vel");

    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_TRUE(fs::is_symlink(folder / "link.vel"));
    EXPECT_EQ(fs::read_symlink(folder / "link.vel"), target);
    EXPECT_EQ(readBytes(target), "IBM\r\nMSFT\r\n");
    EXPECT_EQ(filesIn(folder), (std::vector<std::string>{"link.vel", "lists"}));
    EXPECT_EQ(filesIn(folder / "lists"), std::vector<std::string>{"real.vel"});
}

TEST_F(HostileFiles, SavingThroughALinkToAFolderOrALoopChangesNothing)
{
    fs::create_directory(folder / "sub");
    writeBytes(folder / "sub" / "keep.vel", "KEEP\r\n");
    fs::create_directory_symlink(folder / "sub", folder / "dir.vel");
    fs::create_symlink(folder / "b.vel", folder / "a.vel");
    fs::create_symlink(folder / "a.vel", folder / "b.vel");
    setList({"IBM"});

    save(folder / "dir.vel");
    save(folder / "a.vel");

    ASSERT_EQ(dialogs.messages.size(), 2u);
    EXPECT_EQ(dialogs.messages[0], saveFailure + std::strerror(EISDIR));
    EXPECT_EQ(dialogs.messages[1].rfind(saveFailure, 0), 0u) << dialogs.messages[1];
    EXPECT_EQ(filesIn(folder), (std::vector<std::string>{"a.vel", "b.vel", "dir.vel", "sub"}));
    EXPECT_EQ(filesIn(folder / "sub"), std::vector<std::string>{"keep.vel"});
    EXPECT_EQ(readBytes(folder / "sub" / "keep.vel"), "KEEP\r\n");
    EXPECT_TRUE(fs::is_symlink(folder / "a.vel"));
}

TEST_F(HostileFiles, SavingOntoAFullDiskKeepsTheOldFile)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "mounting a small file system needs root";
    const fs::path disk = folder / "disk";
    fs::create_directory(disk);
    std::vector<std::string> list;
    for (int i = 0; i < 500; ++i)
        list.push_back("TICKER" + std::to_string(i));
    setList(list);
    const std::string old = "MSFT\r\nINTC\r\n";

    // In a child with a mount table of its own, so the small file system
    // goes away with it whatever happens. Exit codes: 0 as expected, 77 no
    // mount possible here, others a failed check.
    const pid_t child = ::fork();
    if (child == 0) {
        if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0
            || ::mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=64k") != 0)
            ::_exit(77);
        const fs::path path = disk / "list.vel";
        writeBytes(path, old);
        {
            // Fills what is left of the disk.
            std::ofstream filler(disk / "filler", std::ios::binary);
            const std::string block(4096, 'f');
            for (int i = 0; i < 64 && filler; ++i)
                filler.write(block.data(), block.size()), filler.flush();
        }
        dialogs.messages.clear();
        save(path);
        if (dialogs.messages != std::vector<std::string>{saveFailure + std::strerror(ENOSPC)})
            ::_exit(1);
        if (readBytes(path) != old)
            ::_exit(2);
        if (filesIn(disk) != std::vector<std::string>{"filler", "list.vel"})
            ::_exit(3);
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 77)
        GTEST_SKIP() << "no small file system can be mounted here";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: message, 2: old file changed, 3: files left behind";
}

} // namespace
