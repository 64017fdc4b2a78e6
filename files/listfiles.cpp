// Load List and Save List: a ticker list kept in a plain text file.
#include <fstream>
#include <filesystem>
#include <system_error>

#include <unistd.h>

#include "app/form1.h"
#include "app/helpers.h"
#include "files/listfile.h"

namespace veltrop {
namespace {

constexpr const char* listFilter = "Veltrop Lists (*.vel)|*.vel";

// The dialog lists the list files of the folder it starts in.
std::string initialListName(const std::string& folder) { return folder + "/*.vel"; }

// The dialogs start in the program's folder, as they always have for a
// program unpacked into a folder of its own. An installed program's folder
// belongs to the system, where nothing can be saved, so the user's documents
// folder stands in for it.
std::string startFolder(Dialogs& dialogs, const std::string& programFolder)
{
    if (::access(programFolder.c_str(), W_OK) == 0)
        return programFolder;
    std::string documents = dialogs.documentsFolder();
    return documents.empty() ? programFolder : documents;
}

// Shows the open or save dialog for a list file and tells whether a file was
// chosen: a cancelled dialog hands back the pattern it started with.
bool chooseListFile(Dialogs& dialogs, void (Dialogs::*show)(FileDialogState&), FileDialogState& dialog,
                    const std::string& folder)
{
    const std::string initial = initialListName(startFolder(dialogs, folder));
    dialog.fileName = initial;
    dialog.flags = 4;
    dialog.filter = listFilter;
    dialog.filterIndex = 1;
    (dialogs.*show)(dialog);
    return dialog.fileName != initial;
}

} // namespace

void Form1::loadlistbutton_Click()
{
    msgbox("Ticker Lists must be proper format, one ticker symbol per line");

    if (chooseListFile(dialogs_, &Dialogs::showOpen, CommonDialog1, apppath))
        loadfile(CommonDialog1.fileName);
}

void Form1::loadfile(const std::string& path)
{
    // Nothing changes until the file is open: a missing or unreadable file,
    // or a folder, leaves the current list as it is. So does anything else
    // that is no plain file: opening a pipe would wait for a writer forever,
    // and a device may never end.
    std::error_code error;
    if (path.empty() || !std::filesystem::is_regular_file(path, error))
        return;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return;

    clearbutton_Click();

    for (const std::string& raw : listfile::readLines(in)) {
        const std::string line = listfile::decode1252(listfile::upperCase1252(raw));
        if (tickercount >= maxTickers)
            break;
        ++tickercount;
        getbutton.caption = line;
        tickertable[tickercount][0] = line;
    }

    getbutton.caption = "Get Lists";
    if (tickercount == 0) {
        msgbox("No Tickers selected");
        getbutton.enabled = true;
    } else {
        getbutton.enabled = false;
        clearbutton.enabled = true;
        rankbutton.enabled = true;
        Label1.caption = countCaption(tickercount, " tickers found");
    }
}

void Form1::savelistbutton_Click()
{
    if (tickercount == 0) {
        msgbox("No tickers to save");
        return;
    }

    if (chooseListFile(dialogs_, &Dialogs::showSave, CommonDialog1, apppath))
        savefile(CommonDialog1.fileName);
}

void Form1::savefile(const std::string& path)
{
    std::string content;
    const Integer count = tickercount;
    for (loopindex = 1; loopindex <= count; ++loopindex) {
        content += listfile::encode1252(cellText(tickertable[loopindex][0]));
        content += "\r\n";
    }
    // The old file is replaced only by a complete new one, so a failed save
    // loses nothing; the user is told, as the list is not on disk.
    const std::string failure = listfile::replaceFile(path, content);
    if (!failure.empty())
        msgbox("The list could not be saved.\n" + failure);
}

} // namespace veltrop
