// What the window takes from outside its controls, as desktop programs do:
// keys that press buttons and change tabs, a list file dropped on it, and
// the results grid's rows onto the clipboard. The controls stay as drawn.
#include <QClipboard>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>
#include <QTabBar>
#include <QUrl>

#include "app/gui/gridview.h"
#include "app/gui/mainwindow.h"
#include "app/gui/tabcontrol.h"

namespace veltrop::gui {

void MainWindow::setUpInput()
{
    // Escape is Cancel while a command runs, and nothing otherwise.
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, [this] {
        if (controller_.running())
            clicked(Command::Cancel);
    });
    auto* next = new QShortcut(QKeySequence::NextChild, this);
    connect(next, &QShortcut::activated, this, [this] { stepTab(1); });
    auto* previous = new QShortcut(QKeySequence::PreviousChild, this);
    connect(previous, &QShortcut::activated, this, [this] { stepTab(-1); });

    connect(grid_, &ResultsGridView::copyRequested, this, &MainWindow::copyRows);

    // A file dropped on a text box is the window's too, not text to insert.
    setAcceptDrops(true);
    for (QLineEdit* edit : findChildren<QLineEdit*>())
        edit->installEventFilter(this);
    for (QPlainTextEdit* edit : findChildren<QPlainTextEdit*>())
        edit->viewport()->installEventFilter(this);
}

void MainWindow::stepTab(int by)
{
    const int pages = tabs_->count();
    tabs_->setCurrentIndex((tabs_->currentIndex() + by + pages) % pages);
    tabs_->tabBar()->setFocus(Qt::TabFocusReason);
}

void MainWindow::keyPressEvent(QKeyEvent* event)
{
    // A button takes Space itself; Enter reaches it only in a dialog.
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    auto* button = qobject_cast<QPushButton*>(focusWidget());
    if (enter && button && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        button->click();
        return;
    }
    QWidget::keyPressEvent(event);
}

void MainWindow::copyRows()
{
    const std::optional<WindowController::CopiedRows> rows = controller_.copyRows();
    if (!rows)
        return;
    auto* data = new QMimeData;
    data->setText(QString::fromUtf8(rows->text.data(), qsizetype(rows->text.size())));
    data->setData(QStringLiteral("text/csv"), QByteArray::fromStdString(rows->csv));
    QGuiApplication::clipboard()->setMimeData(data);
}

void MainWindow::openListFile(const QString& path)
{
    controller_.openListFile(QFile::encodeName(path).toStdString());
    refresh();
}

QString MainWindow::droppedFile(const QMimeData* data) const
{
    if (controller_.running() || !data || !data->hasUrls())
        return {};
    const QList<QUrl> urls = data->urls();
    return urls.size() == 1 && urls.front().isLocalFile() ? urls.front().toLocalFile() : QString();
}

bool MainWindow::handledAsDrop(QEvent* event)
{
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = static_cast<QDragMoveEvent*>(event);
        if (!drag->mimeData()->hasUrls())
            return false;
        if (droppedFile(drag->mimeData()).isEmpty())
            drag->ignore();
        else
            drag->acceptProposedAction();
        return true;
    }
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        if (!drop->mimeData()->hasUrls())
            return false;
        const QString path = droppedFile(drop->mimeData());
        if (path.isEmpty()) {
            drop->ignore();
            return true;
        }
        drop->acceptProposedAction();
        openListFile(path);
        return true;
    }
    default: return false;
    }
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event)
{
    if (!handledAsDrop(event))
        event->ignore();
}

void MainWindow::dragMoveEvent(QDragMoveEvent* event)
{
    if (!handledAsDrop(event))
        event->ignore();
}

void MainWindow::dropEvent(QDropEvent* event)
{
    if (!handledAsDrop(event))
        event->ignore();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    return handledAsDrop(event) || QWidget::eventFilter(watched, event);
}

} // namespace veltrop::gui
