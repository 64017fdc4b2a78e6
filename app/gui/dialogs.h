#pragma once
// Message boxes and file dialogs for the commands, with real Qt dialogs.
//
// Tests switch the dialogs to answering themselves: message boxes then record
// their text instead of showing, and file dialogs answer with names queued
// beforehand (none queued: as if cancelled), so no test ever blocks on one.
#include <QString>
#include <QStringList>

#include <functional>
#include <string>
#include <vector>

#include "app/controls.h"

class QWidget;

namespace veltrop::gui {

class QtDialogs : public Dialogs {
public:
    explicit QtDialogs(QWidget* parent = nullptr) : parent_(parent) {}
    void setParent(QWidget* parent) { parent_ = parent; }

    void message(const std::string& text) override;
    void showOpen(FileDialogState& state) override;
    void showSave(FileDialogState& state) override;
    // The desktop's documents folder when it exists, else the home folder.
    std::string documentsFolder() override;

    // "Desc|pattern|Desc|pattern" as the commands give it, to Qt's name
    // filters "Desc (pattern)"; patterns separated by ";" become blanks.
    static QStringList nameFilters(const std::string& filter);

    // ---- Answering by themselves (tests) ---------------------------------
    static void setAutomatic(bool on);
    static bool automatic();
    // The texts of the message boxes recorded since the last call.
    static std::vector<std::string> takeMessages();
    // Called as each message box is recorded, so a test can look at what
    // the window shows under it.
    static void setMessageWitness(std::function<void(const std::string&)> witness);
    // The answer of the next file dialog; an empty name answers as a cancel.
    static void queueFileName(const QString& name);

private:
    void showFileDialog(FileDialogState& state, bool save);

    QWidget* parent_;
};

} // namespace veltrop::gui
