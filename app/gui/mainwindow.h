#pragma once
// The program's one window: a thin view over WindowController. It builds every control
// of the layout, copies the control models into the widgets and hands the
// user's clicks and typing to WindowController. No command logic lives here.
#include <QWidget>

#include <string>
#include <vector>

#include "app/windowcontroller.h"
#include "app/gui/dialogs.h"
#include "app/gui/twips.h"
#include "app/layout.h"

class QCheckBox;
class QMimeData;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace veltrop::gui {

class ResultsGridView;
class TabControl;

class MainWindow : public QWidget {
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    WindowController& controller() { return controller_; }
    TabControl* tabControl() const { return tabs_; }
    const Twips& twips() const { return twips_; }

    // Start-up: probes for a connection (its message may show) and puts the
    // buttons in their start states. Call once, before show().
    void load();

    // Copies the control models into the widgets, touching only what changed.
    void refresh();

    // A list file from outside the window (the file argument, a drop),
    // loaded as Load List loads a chosen one.
    void openListFile(const QString& path);

protected:
    void closeEvent(QCloseEvent* event) override;
    // Enter presses the focused button.
    void keyPressEvent(QKeyEvent* event) override;
    // One file dropped anywhere on the window, its text boxes included.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct ButtonView {
        QPushButton* widget;
        Command command;
        std::string caption;
        bool enabled;
    };
    struct LabelView {
        QLabel* widget;
        const Label* model;
        std::string caption;
    };
    struct CheckBoxView {
        QCheckBox* widget;
        CheckBox* model;
    };
    struct TextBoxView {
        QLineEdit* widget;
        TextBox* model;
        void (WindowController::*changed)();
        std::string text;
    };
    struct RichTextView {
        QPlainTextEdit* widget;
        RichTextBox* model;
        std::string text;
    };

    void buildControls();
    // Keys, drops and the clipboard (windowinput.cpp).
    void setUpInput();
    QWidget* makeControl(const layout::Control& control, QWidget* parent);
    QWidget* makeButton(const layout::Control& control, QWidget* parent);
    QWidget* makeLabel(const layout::Control& control, QWidget* parent);
    QWidget* makeCheckBox(const layout::Control& control, QWidget* parent);
    QWidget* makeTextBox(const layout::Control& control, QWidget* parent);
    QWidget* makeRichTextBox(const layout::Control& control, QWidget* parent);

    void clicked(Command command);
    void typed(std::size_t box, const QString& text);
    void edited(std::size_t box);
    // A running command has updates for the window.
    void applyUpdates();
    // The grid's selected rows onto the clipboard, as text and as CSV.
    void copyRows();
    // Ctrl+Tab and Ctrl+Shift+Tab: the next or the previous tab.
    void stepTab(int by);
    // The one local file a drag carries, when the window takes a drop now;
    // empty otherwise.
    QString droppedFile(const QMimeData* data) const;
    // Whether `event` is a drag or drop of files, handled as the window's.
    bool handledAsDrop(QEvent* event);

    QtDialogs dialogs_;
    WindowController controller_;
    Twips twips_;
    TabControl* tabs_ = nullptr;
    ResultsGridView* grid_ = nullptr;
    std::vector<ButtonView> buttons_;
    std::vector<LabelView> labels_;
    std::vector<CheckBoxView> checkBoxes_;
    std::vector<TextBoxView> textBoxes_;
    std::vector<RichTextView> richTexts_;
    bool refreshing_ = false;
};

} // namespace veltrop::gui
