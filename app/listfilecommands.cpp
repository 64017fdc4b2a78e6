// Save List and Load List, and a list file opened from outside the window:
// a file argument or a drop.
#include "app/windowcontroller.h"

#include <unistd.h>

#include "files/listfiles.h"
#include "web/text.h"

namespace veltrop {
namespace {

constexpr const char* listFilter = "Veltrop Lists (*.vel)|*.vel";

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
// chosen: a cancelled dialog hands back the pattern it started with, the list
// files of the folder it starts in.
bool chooseListFile(Dialogs& dialogs, void (Dialogs::*show)(FileDialogState&), FileDialogState& dialog,
                    const std::string& folder)
{
    const std::string initial = startFolder(dialogs, folder) + "/*.vel";
    dialog.fileName = initial;
    dialog.flags = 4;
    dialog.filter = listFilter;
    dialog.filterIndex = 1;
    (dialogs.*show)(dialog);
    return dialog.fileName != initial;
}

} // namespace

void WindowController::loadList()
{
    message("Ticker Lists must be proper format, one ticker symbol per line");
    if (chooseListFile(dialogs_, &Dialogs::showOpen, fileDialog, programFolder_))
        loadListFrom(fileDialog.fileName);
}

bool WindowController::loadListFrom(const std::string& path)
{
    // Nothing changes until the file is open: a missing or unreadable file,
    // or a folder, leaves the current list as it is.
    const std::optional<std::vector<std::string>> tickers = readListFile(path);
    if (!tickers)
        return false;

    clearAll();
    for (const std::string& ticker : *tickers) {
        getListsButton.caption = ticker;
        tickers_.add(ticker);
    }
    getListsButton.caption = "Get Lists";
    if (tickers_.empty()) {
        message("No Tickers selected");
        enter(Phase::NoList);
    } else {
        enter(Phase::ListFromFile);
        tickersFoundLabel.caption = countCaption(tickers_.size(), " tickers found");
    }
    return true;
}

void WindowController::saveList()
{
    if (tickers_.empty()) {
        message("No tickers to save");
        return;
    }
    if (chooseListFile(dialogs_, &Dialogs::showSave, fileDialog, programFolder_))
        saveListTo(fileDialog.fileName);
}

void WindowController::saveListTo(const std::string& path)
{
    // The old file is replaced only by a complete new one, so a failed save
    // loses nothing; the user is told, as the list is not on disk.
    const std::string failure = writeListFile(path, tickers_);
    if (!failure.empty())
        message("The list could not be saved.\n" + failure);
}

void WindowController::openListFile(const std::string& path)
{
    // The dialog offers only files it can list; a file from outside may be
    // anything, so one that cannot be read is named.
    if (!running() && !loadListFrom(path))
        message("The list file " + path + " could not be read.");
}

} // namespace veltrop
