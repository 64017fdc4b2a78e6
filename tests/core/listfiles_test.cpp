// Load List and Save List with their files on disk, the dialogs answered by
// the test.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <functional>
#include <fstream>
#include <sstream>
#include <streambuf>

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "app/windowcontroller.h"
#include "files/listfiles.h"
#include "files/listfile.h"
#include "testsupport.h"

using namespace veltrop;
using veltrop::testing::press;
using veltrop::testing::ListFileTest;
using veltrop::testing::filesIn;
using veltrop::testing::readBytes;
using veltrop::testing::writeBytes;
namespace fs = std::filesystem;

namespace {

const std::string formatMessage = "Ticker Lists must be proper format, one ticker symbol per line";


class ListFiles : public ListFileTest {
protected:
    fs::path file(const std::string& name, const std::string& bytes)
    {
        writeBytes(folder / name, bytes);
        return folder / name;
    }

    // A list as Get Lists leaves it, a ranked grid row included, to tell
    // whether a command changed anything.
    void gatheredList()
    {
        setList({"AAA", "BBB"});
        window.resultsGrid.showRanked({{"AAA", 1, 1}}, "");
        window.tickersFoundLabel.caption = " 2 tickers found";
        window.getListsButton.enabled = false;
        window.saveListButton.enabled = true;
        window.clearAllButton.enabled = true;
        window.rankListsButton.enabled = true;
    }

    void expectGatheredListUntouched()
    {
        EXPECT_EQ(tickers(), (std::vector<std::string>{"AAA", "BBB"}));
        EXPECT_EQ(window.resultsGrid.rows(), 3);
        EXPECT_EQ(window.resultsGrid.text(1, 0), "AAA");
        EXPECT_EQ(window.tickersFoundLabel.caption, " 2 tickers found");
        EXPECT_FALSE(window.getListsButton.enabled);
        EXPECT_TRUE(window.saveListButton.enabled);
        EXPECT_TRUE(window.clearAllButton.enabled);
        EXPECT_TRUE(window.rankListsButton.enabled);
    }
};

struct LoadCase {
    const char* what;
    std::string bytes;
    std::vector<std::string> tickers;
};

TEST_F(ListFiles, LinesLoadAsUpperCaseTickersWithTheirBlanks)
{
    const std::vector<LoadCase> cases = {
        {"three lines", "msft\r\nIntc\r\nibm\r\n", {"MSFT", "INTC", "IBM"}},
        {"no break after the last", "msft\r\nIntc\r\nibm", {"MSFT", "INTC", "IBM"}},
        {"blank middle line", "msft\r\n\r\nibm\r\n", {"MSFT", "", "IBM"}},
        {"blanks kept", " ibm \r\n", {" IBM "}},
        {"line feeds only", "msft\nintc\n\nibm\n", {"MSFT", "INTC", "", "IBM"}},
        {"lone carriage returns", "msft\rintc\r\ribm\r", {"MSFT", "INTC", "", "IBM"}},
        {"mixed breaks", "a\r\nb\nc\rd", {"A", "B", "C", "D"}},
        {"byte order mark", "\xEF\xBB\xBFmsft\r\nibm\r\n", {"MSFT", "IBM"}},
        {"only the first mark", "\xEF\xBB\xBF\xEF\xBB\xBF" "a\r\n", {"\xC3\x8F\xC2\xBB\xC2\xBF" "A"}},
        {"one byte a character", "soci\xE9t\xE9 \x9a\xff\x80\r\n", {"SOCI\xC3\x89T\xC3\x89 \xC5\xA0\xC5\xB8\xE2\x82\xAC"}},
        {"a blank line only", "\r\n", {""}},
    };
    for (const LoadCase& c : cases) {
        SCOPED_TRACE(c.what);
        dialogs.messages.clear();
        dialogs.shown.clear();
        load(file("list.vel", c.bytes));

        EXPECT_EQ(dialogs.messages, std::vector<std::string>{formatMessage});
        EXPECT_EQ(tickers(), c.tickers);
        EXPECT_EQ(window.tickersFoundLabel.caption, " " + std::to_string(c.tickers.size()) + " tickers found");
        EXPECT_EQ(window.getListsButton.caption, "Get Lists");
        EXPECT_FALSE(window.getListsButton.enabled);
        EXPECT_TRUE(window.clearAllButton.enabled);
        EXPECT_TRUE(window.rankListsButton.enabled);
        EXPECT_FALSE(window.saveListButton.enabled);
        EXPECT_FALSE(window.deleteBottomButton.enabled);
        EXPECT_FALSE(window.opinionButton.enabled);
        EXPECT_TRUE(window.loadListButton.enabled);
    }
}

TEST_F(ListFiles, TheOpenDialogStartsInTheProgramsFolderWithTheListFilter)
{
    load(file("list.vel", "ibm\r\n"));
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].fileName, window.programFolder() + "/*.vel");
    EXPECT_EQ(dialogs.shown[0].filter, "Veltrop Lists (*.vel)|*.vel");
    EXPECT_EQ(dialogs.shown[0].filterIndex, 1);
    EXPECT_EQ(dialogs.shown[0].flags, 4);
}

TEST_F(ListFiles, AnEmptyFileClearsTheListAndSaysSo)
{
    gatheredList();
    load(file("empty.vel", ""));
    EXPECT_EQ(dialogs.messages, (std::vector<std::string>{formatMessage, "No Tickers selected"}));
    EXPECT_EQ(window.tickerList().size(), 0);
    EXPECT_EQ(window.resultsGrid.rows(), 2);
    EXPECT_EQ(window.tickersFoundLabel.caption, "");
    EXPECT_TRUE(window.getListsButton.enabled);
    EXPECT_FALSE(window.clearAllButton.enabled);
    EXPECT_FALSE(window.rankListsButton.enabled);
    EXPECT_FALSE(window.saveListButton.enabled);
}

TEST_F(ListFiles, SixHundredLinesLoadTheFirstFiveHundred)
{
    std::string bytes;
    for (int i = 1; i <= 600; ++i)
        bytes += "t" + std::to_string(i) + "\r\n";
    load(file("long.vel", bytes));
    EXPECT_EQ(window.tickerList().size(), 500);
    EXPECT_EQ(window.tickerList()[499].ticker, "T500");
    EXPECT_EQ(window.tickersFoundLabel.caption, " 500 tickers found");
    EXPECT_EQ(dialogs.messages, std::vector<std::string>{formatMessage});
}

TEST_F(ListFiles, ACancelledOrFailedOpenChangesNothing)
{
    gatheredList();
    press(window, Command::LoadList);  // nothing queued: the dialog is cancelled
    EXPECT_EQ(dialogs.messages, std::vector<std::string>{formatMessage});
    expectGatheredListUntouched();

    dialogs.messages.clear();
    load(folder / "missing.vel");
    load(folder);  // a folder is no list
    EXPECT_EQ(dialogs.messages, (std::vector<std::string>{formatMessage, formatMessage}));
    expectGatheredListUntouched();
}

TEST_F(ListFiles, AnOverLongLineKeepsItsFirstKilobyteAndTheLinesAfterIt)
{
    const std::string kilobyte(listfile::maxLineBytes, 'x');
    load(file("mixed.vel", "ibm\r\n" + kilobyte + "\r\n" + kilobyte + "yyy\rmsft\n" + kilobyte + "z"));
    const std::string upper(listfile::maxLineBytes, 'X');
    EXPECT_EQ(tickers(), (std::vector<std::string>{"IBM", upper, upper, "MSFT", upper}));
    EXPECT_EQ(window.tickersFoundLabel.caption, " 5 tickers found");

    // 50 MB of one line between two tickers (a sparse file, so nothing is
    // written to disk).
    const fs::path huge = file("huge.vel", "ibm\r\n");
    fs::resize_file(huge, 50u << 20);
    std::ofstream(huge, std::ios::binary | std::ios::app) << "\r\nmsft\r\n";
    load(huge);
    EXPECT_EQ(tickers(), (std::vector<std::string>{"IBM", std::string(listfile::maxLineBytes, '\0'), "MSFT"}));
}

// A stream of one byte, endless or of `length` bytes, that counts what it
// hands out.
class RepeatedBytes : public std::streambuf {
public:
    explicit RepeatedBytes(char byte, std::size_t length = SIZE_MAX) : byte_(byte), length_(length) {}
    std::size_t handedOut = 0;

protected:
    int_type underflow() override
    {
        if (handedOut == length_)
            return traits_type::eof();
        ++handedOut;
        setg(&byte_, &byte_, &byte_ + 1);
        return traits_type::to_int_type(byte_);
    }

private:
    char byte_;
    std::size_t length_;
};

TEST(ListFileReading, EndlessLineBreaksStopAtTheLineLimitAndLongLinesStayCut)
{
    for (char byte : {'\n', '\r'}) {
        SCOPED_TRACE(int(byte));
        RepeatedBytes source(byte);
        std::istream in(&source);
        EXPECT_EQ(listfile::readLines(in).size(), listfile::maxLines);
        EXPECT_LE(source.handedOut, listfile::maxLines * 2 + 3);
    }

    RepeatedBytes line('A', 20u << 20);
    std::istream in(&line);
    EXPECT_EQ(listfile::readLines(in), std::vector<std::string>{std::string(listfile::maxLineBytes, 'A')});
    EXPECT_EQ(line.handedOut, 20u << 20);
}

TEST_F(ListFiles, SaveWithoutTickersSaysSoAndShowsNoDialog)
{
    window.saveListButton.enabled = true;
    press(window, Command::SaveList);
    EXPECT_EQ(dialogs.messages, std::vector<std::string>{"No tickers to save"});
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(ListFiles, SavedListsLoadBackTheSameInTheSameOrder)
{
    setList({"MSFT", "", "BRK.B", " IBM ", "intc"});
    save(folder / "list");
    EXPECT_TRUE(dialogs.messages.empty());
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].fileName, window.programFolder() + "/*.vel");
    EXPECT_EQ(dialogs.shown[0].filter, "Veltrop Lists (*.vel)|*.vel");
    EXPECT_EQ(dialogs.shown[0].flags, 4);
    // No extension is added to the name given.
    EXPECT_EQ(filesIn(folder), std::vector<std::string>{"list"});
    EXPECT_EQ(readBytes(folder / "list"), "MSFT\r\n\r\nBRK.B\r\n IBM \r\nintc\r\n");

    load(folder / "list");
    EXPECT_EQ(tickers(), (std::vector<std::string>{"MSFT", "", "BRK.B", " IBM ", "INTC"}));

    // Only the tickers are written, not their scores.
    TickerList list;
    list.add("A");
    list[0].score = 12.0;
    EXPECT_EQ(writeListFile((folder / "one").string(), list), "");
    EXPECT_EQ(readBytes(folder / "one"), "A\r\n");
}

TEST_F(ListFiles, SavingChangesNoStateOfTheWindow)
{
    gatheredList();
    save(folder / "list.vel");
    expectGatheredListUntouched();
    EXPECT_EQ(window.getListsButton.caption, "Get Lists");
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(ListFiles, CharactersTheCodePageLacksAreWrittenAsQuestionMarks)
{
    setList({"SOCI\xC3\x89T\xC3\x89", "\xE6\x97\xA5\xE6\x9C\xAC", "\xE2\x82\xAC" "1", "BAD\xFF", "IBM"});
    save(folder / "list.vel");
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_EQ(readBytes(folder / "list.vel"), "SOCI\xC9T\xC9\r\n??\r\n\x80" "1\r\nBAD?\r\nIBM\r\n");
}

TEST_F(ListFiles, SavingOverAFileReplacesItWholeAndKeepsItsPermissions)
{
    const fs::path path = file("list.vel", std::string(5000, 'z') + "\r\nOLD\r\n");
    ::chmod(path.c_str(), 0640);
    setList({"IBM"});
    save(path);
    EXPECT_EQ(readBytes(path), "IBM\r\n");
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    EXPECT_EQ(filesIn(folder), std::vector<std::string>{"list.vel"});
}

TEST_F(ListFiles, ACancelledSaveWritesNothing)
{
    setList({"IBM"});
    press(window, Command::SaveList);
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_EQ(dialogs.shown.size(), 1u);
    EXPECT_TRUE(filesIn(folder).empty());
}

TEST_F(ListFiles, AFailedSaveSaysWhyAndLeavesWhatWasThere)
{
    setList({"IBM"});
    const std::string prefix = "The list could not be saved.\n";

    save(folder / "no such folder" / "list.vel");
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0], prefix + std::strerror(ENOENT));

    fs::create_directory(folder / "taken.vel");
    dialogs.messages.clear();
    save(folder / "taken.vel");
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0], prefix + std::strerror(EISDIR));
    EXPECT_TRUE(fs::is_directory(folder / "taken.vel"));
    EXPECT_EQ(filesIn(folder), std::vector<std::string>{"taken.vel"});
    EXPECT_EQ(window.tickerList().size(), 1);
}

// Runs `body` as an ordinary user: in a child process that gives up root,
// when the test runs as root. Returns the child's exit code; -1 when no
// ordinary user is there.
int asOrdinaryUser(const std::function<int()>& body)
{
    if (::geteuid() != 0)
        return body();
    const passwd* nobody = ::getpwnam("nobody");
    if (!nobody)
        return -1;
    const uid_t uid = nobody->pw_uid;
    const gid_t gid = nobody->pw_gid;
    const pid_t child = ::fork();
    if (child == 0) {
        if (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0)
            ::_exit(90);
        ::_exit(body());
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 91;
}

TEST_F(ListFiles, DialogsStartInTheDocumentsFolderWhenTheProgramsFolderIsNotWritable)
{
    ::chmod(folder.c_str(), 0755);
    if (::geteuid() != 0)
        ::chmod(folder.c_str(), 0555);
    window.setProgramFolder(folder.string());
    setList({"IBM"});

    // No documents folder: the program's folder all the same.
    for (const std::string documents : {"/home/someone/Documents", ""}) {
        const int result = asOrdinaryUser([&] {
            dialogs.shown.clear();
            dialogs.documents = documents;
            press(window, Command::LoadList);
            press(window, Command::SaveList);
            const std::string expected = (documents.empty() ? folder.string() : documents) + "/*.vel";
            return dialogs.shown.size() == 2 && dialogs.shown[0].fileName == expected
                           && dialogs.shown[1].fileName == expected ? 0 : 1;
        });
        if (result == -1)
            GTEST_SKIP() << "no ordinary user to run as";
        EXPECT_EQ(result, 0) << "documents folder \"" << documents << '"';
    }
    ::chmod(folder.c_str(), 0755);
}

TEST_F(ListFiles, ASaveIntoAFolderTheUserCannotWriteKeepsTheOldFile)
{
    const std::string old = "MSFT\r\nINTC\r\n";
    const fs::path path = file("list.vel", old);
    ::chmod(path.c_str(), 0666);
    ::chmod(folder.c_str(), 0755);  // the folder can be read by all but written by its owner only
    if (::geteuid() != 0)
        ::chmod(folder.c_str(), 0555);
    setList({"IBM"});

    const int result = asOrdinaryUser([&] {
        dialogs.messages.clear();
        save(path);
        if (dialogs.messages != std::vector<std::string>{"The list could not be saved.\n" + std::string(std::strerror(EACCES))})
            return 1;
        return 0;
    });
    if (result == -1)
        GTEST_SKIP() << "no ordinary user to run as";
    EXPECT_EQ(result, 0) << "the failure was not reported as expected";
    EXPECT_EQ(readBytes(path), old);
    EXPECT_EQ(filesIn(folder), std::vector<std::string>{"list.vel"});
}

} // namespace
