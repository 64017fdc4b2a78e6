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

protected:
    void closeEvent(QCloseEvent* event) override;

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
