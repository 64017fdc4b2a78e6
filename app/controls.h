#pragma once
// Plain models of the window's controls. The commands read and write these;
// the Qt window mirrors them and forwards the user's clicks and typing, so
// every command runs, and is tested, without a display.
#include <map>
#include <string>

namespace veltrop {

struct Button {
    std::string caption;
    bool enabled = true;
};

struct Label {
    std::string caption;
};

struct CheckBox {
    std::string caption;
    std::string tooltip;
    int value = 0;  // 0 clear, 1 ticked, 2 greyed
};

struct TextBox {
    std::string text;
};

// Holds plain text; the window shows it in a rich text box.
struct RichTextBox {
    std::string text;
};

// A control array: members by index, with gaps where the layout has none.
using CheckBoxArray = std::map<int, CheckBox>;

// What a file dialog is asked to show and what it answers, as the common
// dialog control of the original window held it.
struct FileDialogState {
    std::string fileName;     // initial name in, chosen name out
    std::string filter;       // "Description (*.ext)|*.ext"
    int filterIndex = 1;
    int flags = 0;            // 4: hide the read-only check box
};

// Everything modal: message boxes (text and an OK button, titled with the
// application title) and the open and save dialogs. The window implements it
// with real dialogs; tests answer it themselves.
class Dialogs {
public:
    static constexpr const char* title = "Pellamy's Veltrop";

    virtual ~Dialogs() = default;
    virtual void message(const std::string& text) = 0;
    // Show the dialog; on a choice, set state.fileName to the chosen path.
    // A cancelled dialog leaves state.fileName as it was.
    virtual void showOpen(FileDialogState& state) = 0;
    virtual void showSave(FileDialogState& state) = 0;
    // The user's documents folder, where the file dialogs start when the
    // program's own folder cannot be written (an installed program); empty
    // when the user has none.
    virtual std::string documentsFolder() { return {}; }
};

} // namespace veltrop
