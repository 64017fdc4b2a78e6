#include "app/gui/mainwindow.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTextCursor>

#include <algorithm>
#include <stdexcept>
#include <utility>

#include "app/gui/gridview.h"
#include "app/gui/tabcontrol.h"
#include "app/layout.h"

namespace veltrop::gui {
namespace {

QString qstr(std::string_view s) { return QString::fromUtf8(s.data(), qsizetype(s.size())); }

[[noreturn]] void noModel(std::string_view name)
{
    throw std::logic_error("the window has no model for control " + std::string(name));
}

// The layout was drawn for an 8-point sans serif dialog font. Liberation Sans
// has Arial's metrics, slightly wider than that font, and at 8 points
// "Filter Defaults..." overruns its label by a pixel; at 7.5 points (10 pixels
// at 96 dots per inch, so whole pixels at every scale) every caption fits with
// room to spare. The places and sizes stay exactly as drawn.
QFont dialogFont()
{
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPointSizeF(7.5);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

// The small notice was drawn in Times New Roman; Liberation Serif has its
// metrics.
QFont noticeFont()
{
    QFont font(QStringLiteral("Liberation Serif"));
    font.setPointSizeF(6.75);
    font.setWeight(QFont::Normal);
    font.setStyleHint(QFont::Serif);
    return font;
}

Qt::Alignment alignment(layout::Align align)
{
    switch (align) {
    case layout::Align::Centre: return Qt::AlignHCenter;
    case layout::Align::Right: return Qt::AlignRight;
    case layout::Align::Left: break;
    }
    return Qt::AlignLeft;
}

Command commandOf(std::string_view name)
{
    static constexpr std::pair<std::string_view, Command> commands[] = {
        {"getListsButton", Command::GetLists},    {"rankListsButton", Command::RankLists},
        {"opinionButton", Command::Opinion}, {"saveListButton", Command::SaveList},
        {"loadListButton", Command::LoadList}, {"clearAllButton", Command::ClearAll},
        {"helpButton", Command::Help},       {"cancelButton", Command::Cancel},
        {"deleteBottomButton", Command::DeleteBottom},     {"testButton", Command::Test},
    };
    for (const auto& [control, command] : commands)
        if (control == name)
            return command;
    noModel(name);
}

template <class Model>
Model& modelOf(WindowController& form, std::string_view name,
               std::initializer_list<std::pair<std::string_view, Model WindowController::*>> models)
{
    for (const auto& [control, member] : models)
        if (control == name)
            return form.*member;
    noModel(name);
}

Qt::CheckState checkState(int value)
{
    switch (value) {
    case 1: return Qt::Checked;
    case 2: return Qt::PartiallyChecked;
    default: return Qt::Unchecked;
    }
}

int checkValue(int state)
{
    switch (state) {
    case Qt::Checked: return 1;
    case Qt::PartiallyChecked: return 2;
    default: return 0;
    }
}

} // namespace

MainWindow::MainWindow(QWidget* parent) : QWidget(parent), dialogs_(this), controller_(dialogs_)
{
    twips_ = Twips{double(logicalDpiX()), double(logicalDpiY())};
    setObjectName(QStringLiteral("mainWindow"));
    setWindowTitle(qstr(layout::windowCaption));
    setFont(dialogFont());
    // The layout places every control at a fixed spot; a larger window would
    // only show empty space.
    setFixedSize(twips_.x(layout::clientWidth), twips_.y(layout::clientHeight));
    buildControls();
    setUpInput();
    // A message box shows over the window as it stands at that moment.
    controller_.setShowHook([this] { refresh(); });
    refresh();
}

MainWindow::~MainWindow()
{
    // The widgets read the models that controller_ holds, and QWidget would delete
    // them only after controller_ is gone.
    qDeleteAll(findChildren<QWidget*>(Qt::FindDirectChildrenOnly));
}

void MainWindow::load()
{
    // Start-up ends before the window shows: this thread waits for the probe
    // and shows its message itself.
    controller_.load();
    // From now on each command runs beside the event loop, which applies its
    // updates as they come; the call comes from the command's thread.
    controller_.setNotifier([this] { QMetaObject::invokeMethod(this, &MainWindow::applyUpdates, Qt::QueuedConnection); });
    refresh();
}

void MainWindow::applyUpdates()
{
    controller_.applyUpdates();
    refresh();
}

void MainWindow::buildControls()
{
    const layout::Control* tab = layout::find("tabs");
    tabs_ = new TabControl(this);
    // Sized before its pages are added, so each page starts out covering it.
    tabs_->setGeometry(twips_.rect(tab->left, tab->top, tab->width, tab->height));
    for (std::string_view caption : layout::tabCaptions)
        tabs_->addPage(qstr(caption));
    tabs_->setCurrentIndex(0);

    std::vector<std::pair<int, QWidget*>> tabOrder;
    for (const layout::Control& control : layout::controls()) {
        QWidget* parent = control.page == layout::OnWindow ? static_cast<QWidget*>(this)
                                                           : tabs_->page(control.page);
        QWidget* widget = &control == tab ? tabs_ : makeControl(control, parent);
        widget->setObjectName(control.index < 0
                                  ? qstr(control.name)
                                  : qstr(control.name) + '_' + QString::number(control.index));
        widget->setGeometry(twips_.rect(control.left, control.top, control.width, control.height));
        tabOrder.emplace_back(control.tabOrder, widget);
    }

    std::ranges::sort(tabOrder, {}, &std::pair<int, QWidget*>::first);
    QWidget* previous = nullptr;
    for (auto [order, widget] : tabOrder) {
        // The tab control takes focus on its strip.
        if (widget == tabs_)
            widget = tabs_->tabBar();
        if (!(widget->focusPolicy() & Qt::TabFocus))
            continue;
        if (previous)
            setTabOrder(previous, widget);
        previous = widget;
    }
}

QWidget* MainWindow::makeControl(const layout::Control& control, QWidget* parent)
{
    switch (control.kind) {
    case layout::Kind::Button: return makeButton(control, parent);
    case layout::Kind::Label: return makeLabel(control, parent);
    case layout::Kind::CheckBox: return makeCheckBox(control, parent);
    case layout::Kind::TextBox: return makeTextBox(control, parent);
    case layout::Kind::RichTextBox: return makeRichTextBox(control, parent);
    case layout::Kind::Grid:
        if (control.name != "resultsGrid")
            noModel(control.name);
        grid_ = new ResultsGridView(controller_.resultsGrid, twips_, parent);
        return grid_;
    case layout::Kind::TabControl: break;
    }
    noModel(control.name);
}

QWidget* MainWindow::makeButton(const layout::Control& control, QWidget* parent)
{
    const Command command = commandOf(control.name);
    const Button& model = controller_.button(command);
    auto* button = new QPushButton(qstr(model.caption), parent);
    button->setEnabled(model.enabled);
    buttons_.push_back({button, command, model.caption, model.enabled});
    connect(button, &QPushButton::clicked, this, [this, command] { clicked(command); });
    return button;
}

QWidget* MainWindow::makeLabel(const layout::Control& control, QWidget* parent)
{
    const Label& model = modelOf<Label>(controller_, control.name,
                                        {{"tickersFoundLabel", &WindowController::tickersFoundLabel}, {"progressLabel", &WindowController::progressLabel},
                                         {"statusLabel", &WindowController::statusLabel}, {"noticeLabel", &WindowController::noticeLabel},
                                         {"filterDefaultsLabel", &WindowController::filterDefaultsLabel}, {"priceLabel", &WindowController::priceLabel},
                                         {"volumeLabel", &WindowController::volumeLabel}});
    auto* label = new QLabel(qstr(model.caption), parent);
    label->setTextFormat(Qt::PlainText);
    // Captions sit at the top of their box, as the classic labels drew them.
    label->setAlignment(alignment(control.align) | Qt::AlignTop);
    if (control.name == "noticeLabel")
        label->setFont(noticeFont());
    labels_.push_back({label, &model, model.caption});
    return label;
}

QWidget* MainWindow::makeCheckBox(const layout::Control& control, QWidget* parent)
{
    CheckBoxArray& array = control.name == "listBox" ? controller_.listBoxes : controller_.rankBoxes;
    const auto member = array.find(control.index);
    if (member == array.end())
        noModel(control.name);
    CheckBox* model = &member->second;
    auto* box = new QCheckBox(qstr(model->caption), parent);
    box->setToolTip(qstr(model->tooltip));
    box->setCheckState(checkState(model->value));
    checkBoxes_.push_back({box, model});
    // A tick counts at once, even while a command runs: each list is read
    // when its turn comes.
    connect(box, &QCheckBox::stateChanged, this, [this, model](int state) {
        if (!refreshing_)
            model->value = checkValue(state);
    });
    return box;
}

QWidget* MainWindow::makeTextBox(const layout::Control& control, QWidget* parent)
{
    using Entry = std::pair<TextBox WindowController::*, void (WindowController::*)()>;
    static constexpr std::pair<std::string_view, Entry> boxes[] = {
        {"priceLimitBox", {&WindowController::priceLimitBox, &WindowController::priceLimitTyped}},
        {"volumeLimitBox", {&WindowController::volumeLimitBox, &WindowController::volumeLimitTyped}},
    };
    const auto entry = std::ranges::find(boxes, control.name, &std::pair<std::string_view, Entry>::first);
    if (entry == std::end(boxes))
        noModel(control.name);
    TextBox& model = controller_.*entry->second.first;
    auto* edit = new QLineEdit(qstr(model.text), parent);
    const std::size_t index = textBoxes_.size();
    textBoxes_.push_back({edit, &model, entry->second.second, model.text});
    // textEdited comes from the user only, never from refresh().
    connect(edit, &QLineEdit::textEdited, this, [this, index](const QString& text) { typed(index, text); });
    return edit;
}

QWidget* MainWindow::makeRichTextBox(const layout::Control& control, QWidget* parent)
{
    RichTextBox& model = modelOf<RichTextBox>(
        controller_, control.name, {{"testPageBox", &WindowController::testPageBox}, {"opinionBox", &WindowController::opinionBox}});
    // Both boxes alike: plain text wrapped at the box's width, a vertical
    // scroll bar when the text is longer than the box.
    auto* edit = new QPlainTextEdit(qstr(model.text), parent);
    edit->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    edit->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    edit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Tab goes on to the next control, as everywhere else in the window.
    edit->setTabChangesFocus(true);
    const std::size_t index = richTexts_.size();
    richTexts_.push_back({edit, &model, model.text});
    connect(edit, &QPlainTextEdit::textChanged, this, [this, index] { edited(index); });
    return edit;
}

void MainWindow::clicked(Command command)
{
    controller_.click(command);
    refresh();
}

void MainWindow::typed(std::size_t box, const QString& text)
{
    TextBoxView& view = textBoxes_[box];
    view.model->text = text.toStdString();
    view.text = view.model->text;
    (controller_.*view.changed)();
    refresh();
}

void MainWindow::edited(std::size_t box)
{
    if (refreshing_)
        return;
    RichTextView& view = richTexts_[box];
    view.model->text = view.widget->toPlainText().toStdString();
    view.text = view.model->text;
}

void MainWindow::refresh()
{
    refreshing_ = true;
    for (ButtonView& view : buttons_) {
        const Button& model = controller_.button(view.command);
        if (view.caption != model.caption) {
            view.caption = model.caption;
            view.widget->setText(qstr(model.caption));
        }
        if (view.enabled != model.enabled) {
            view.enabled = model.enabled;
            view.widget->setEnabled(model.enabled);
        }
    }
    for (LabelView& view : labels_) {
        if (view.caption != view.model->caption) {
            view.caption = view.model->caption;
            view.widget->setText(qstr(view.caption));
        }
    }
    for (CheckBoxView& view : checkBoxes_) {
        const Qt::CheckState state = checkState(view.model->value);
        if (view.widget->checkState() != state)
            view.widget->setCheckState(state);
        // A user's catalogue may have given the box's source a caption of
        // its own.
        const QString caption = qstr(view.model->caption);
        if (view.widget->text() != caption)
            view.widget->setText(caption);
        // A run's report for the source. Qt gives the tooltip to screen
        // readers as the box's description.
        const QString tooltip = qstr(view.model->tooltip);
        if (view.widget->toolTip() != tooltip)
            view.widget->setToolTip(tooltip);
    }
    for (TextBoxView& view : textBoxes_) {
        if (view.text != view.model->text) {
            view.text = view.model->text;
            view.widget->setText(qstr(view.text));
        }
    }
    for (RichTextView& view : richTexts_) {
        const std::string& text = view.model->text;
        if (view.text == text)
            continue;
        // Output is mostly appended; adding just the new end keeps a long
        // text cheap and leaves the reader's place alone.
        if (text.size() > view.text.size() && text.starts_with(view.text)) {
            QTextCursor end(view.widget->document());
            end.movePosition(QTextCursor::End);
            end.insertText(qstr(std::string_view(text).substr(view.text.size())));
        } else {
            view.widget->setPlainText(qstr(text));
        }
        view.text = text;
    }
    grid_->sync();
    refreshing_ = false;
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    // A running command ends at once, before the state it shows goes.
    if (controller_.running())
        controller_.requestClose();
    event->accept();
}

} // namespace veltrop::gui
