#include "app/gui/dialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QStandardPaths>

#include <deque>

namespace veltrop::gui {
namespace {

struct Automatic {
    bool on = false;
    std::vector<std::string> messages;
    std::deque<QString> fileNames;
    std::function<void(const std::string&)> witness;
};

Automatic& automaticState()
{
    static Automatic state;
    return state;
}

bool isPattern(const QString& name) { return name.contains('*') || name.contains('?'); }

} // namespace

void QtDialogs::setMessageWitness(std::function<void(const std::string&)> witness)
{
    automaticState().witness = std::move(witness);
}

void QtDialogs::message(const std::string& text)
{
    if (automatic()) {
        if (automaticState().witness)
            automaticState().witness(text);
        automaticState().messages.push_back(text);
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, QString::fromUtf8(title), QString::fromStdString(text),
                    QMessageBox::Ok, parent_);
    // A message is text, never markup: an address or a "<" shows as typed.
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

void QtDialogs::showOpen(FileDialogState& state) { showFileDialog(state, false); }

void QtDialogs::showSave(FileDialogState& state) { showFileDialog(state, true); }

std::string QtDialogs::documentsFolder()
{
    // The desktop names a documents folder even where none was ever made;
    // a dialog started in a missing folder would show some other place.
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!documents.isEmpty() && QFileInfo(documents).isDir())
        return documents.toStdString();
    return QDir::homePath().toStdString();
}

void QtDialogs::showFileDialog(FileDialogState& state, bool save)
{
    if (automatic()) {
        auto& queued = automaticState().fileNames;
        if (queued.empty())
            return;
        const QString name = queued.front();
        queued.pop_front();
        if (!name.isEmpty())
            state.fileName = name.toStdString();
        return;
    }

    // The initial name is a folder and either a file name or a pattern like
    // "*.vel"; a pattern only says which files to list, which the filter does.
    const QString initial = QString::fromStdString(state.fileName);
    const QFileInfo info(initial);
    QFileDialog dialog(parent_, save ? QStringLiteral("Save As") : QStringLiteral("Open"));
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (initial.contains('/'))
        dialog.setDirectory(info.path());
    const QStringList filters = nameFilters(state.filter);
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
        if (state.filterIndex >= 1 && state.filterIndex <= filters.size())
            dialog.selectNameFilter(filters.at(state.filterIndex - 1));
    }
    if (!info.fileName().isEmpty() && !isPattern(info.fileName()))
        dialog.selectFile(info.fileName());

    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    state.fileName = dialog.selectedFiles().constFirst().toStdString();
    const qsizetype chosenFilter = filters.indexOf(dialog.selectedNameFilter());
    if (chosenFilter >= 0)
        state.filterIndex = int(chosenFilter) + 1;
}

QStringList QtDialogs::nameFilters(const std::string& filter)
{
    const QStringList parts = QString::fromStdString(filter).split('|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString description = parts.at(i).trimmed();
        const QString patterns = parts.at(i + 1).split(';', Qt::SkipEmptyParts).join(' ').trimmed();
        // Qt takes the patterns from the last bracket of the text, so a
        // description that already ends with them is used as it is.
        if (patterns.isEmpty() || description.endsWith('(' + patterns + ')'))
            filters << description;
        else
            filters << description + " (" + patterns + ')';
    }
    return filters;
}

void QtDialogs::setAutomatic(bool on)
{
    Automatic& state = automaticState();
    state.on = on;
    state.messages.clear();
    state.fileNames.clear();
}

bool QtDialogs::automatic() { return automaticState().on; }

std::vector<std::string> QtDialogs::takeMessages()
{
    return std::exchange(automaticState().messages, {});
}

void QtDialogs::queueFileName(const QString& name) { automaticState().fileNames.push_back(name); }

} // namespace veltrop::gui
