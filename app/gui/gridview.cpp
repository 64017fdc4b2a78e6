#include "app/gui/gridview.h"

#include <QAction>
#include <QHeaderView>
#include <QPainter>
#include <QPixmapCache>
#include <QStyledItemDelegate>

#include "app/resultsgrid.h"

namespace veltrop::gui {
namespace {

QString qstr(const std::string& s) { return QString::fromStdString(s); }

// Null when the file is missing or not a picture; a missing picture file
// leaves its cell blank rather than failing the display.
QPixmap loadPicture(const QString& path)
{
    QPixmap picture;
    if (!QPixmapCache::find(path, &picture) && picture.load(path))
        QPixmapCache::insert(path, picture);
    return picture;
}

// Draws a cell's picture over its text, scaled to fit the cell.
class PictureDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override
    {
        QStyledItemDelegate::paint(painter, option, index);
        const QString path = index.data(ResultsGridModel::PictureRole).toString();
        if (path.isEmpty())
            return;
        const QPixmap picture = loadPicture(path);
        if (picture.isNull())
            return;
        const QPixmap scaled =
            picture.scaled(option.rect.size(), Qt::KeepAspectRatio, Qt::SmoothTransformation);
        const int top = option.rect.top() + (option.rect.height() - scaled.height()) / 2;
        painter->drawPixmap(option.rect.left(), top, scaled);
    }
};

} // namespace

ResultsGridModel::ResultsGridModel(const ResultsGrid& grid, QObject* parent)
    : QAbstractTableModel(parent), grid_(grid), shownRows_(grid.rows() - 1)
{
}

void ResultsGridModel::refresh()
{
    const int rows = grid_.rows() - 1;
    if (rows != shownRows_) {
        beginResetModel();
        shownRows_ = rows;
        endResetModel();
        return;
    }
    emit dataChanged(index(0, 0), index(rows - 1, ResultsGrid::columns - 1));
    emit headerDataChanged(Qt::Horizontal, 0, ResultsGrid::columns - 1);
}

// The count the view was last told, so that it never asks for cells of a
// shape it has not been told about yet.
int ResultsGridModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : shownRows_;
}

int ResultsGridModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ResultsGrid::columns;
}

QVariant ResultsGridModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return {};
    const int row = index.row() + 1;
    switch (role) {
    case Qt::DisplayRole: return qstr(grid_.text(row, index.column()));
    case PictureRole: return qstr(grid_.picture(row, index.column()));
    case Qt::TextAlignmentRole: return int(Qt::AlignLeft | Qt::AlignVCenter);
    default: return {};
    }
}

QVariant ResultsGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal)
        return {};
    switch (role) {
    case Qt::DisplayRole: return qstr(grid_.text(0, section));
    case Qt::TextAlignmentRole: return int(Qt::AlignCenter);
    default: return {};
    }
}

ResultsGridView::ResultsGridView(ResultsGrid& grid, Twips twips, QWidget* parent)
    : QTableView(parent), grid_(grid), model_(grid), twips_(twips),
      shownRevision_(grid.revision())
{
    setModel(&model_);
    setItemDelegate(new PictureDelegate(this));
    setEditTriggers(NoEditTriggers);
    setSelectionMode(SingleSelection);
    setSelectionBehavior(SelectItems);
    setWordWrap(false);
    // Tab leaves the grid for the next control; the arrows move in it.
    setTabKeyNavigation(false);
    verticalHeader()->hide();
    horizontalHeader()->setSectionsClickable(false);
    horizontalHeader()->setHighlightSections(false);
    // The classic grid's rows are 240 twips high at its usual font.
    verticalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(twips_.y(240));
    applyColumnWidths();
    showCurrentCell();
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) { cellChosen(current); });

    // The grid's own menu and keys, active while it has the focus.
    auto* copy = new QAction(tr("&Copy"), this);
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WidgetShortcut);
    connect(copy, &QAction::triggered, this, &ResultsGridView::copyRequested);
    auto* selectAll = new QAction(tr("Select &All"), this);
    selectAll->setShortcut(QKeySequence::SelectAll);
    selectAll->setShortcutContext(Qt::WidgetShortcut);
    connect(selectAll, &QAction::triggered, this, [this] {
        grid_.selectAll();
        sync();
    });
    addActions({copy, selectAll});
    setContextMenuPolicy(Qt::ActionsContextMenu);
}

void ResultsGridView::sync()
{
    if (grid_.revision() == shownRevision_)
        return;
    shownRevision_ = grid_.revision();
    syncing_ = true;
    model_.refresh();
    applyColumnWidths();
    showCurrentCell();
    syncing_ = false;
}

void ResultsGridView::applyColumnWidths()
{
    for (int c = 0; c < ResultsGrid::columns; ++c) {
        const int width = ResultsGrid::colWidth(c);
        setColumnHidden(c, width == 0);
        if (width > 0)
            setColumnWidth(c, twips_.x(width));
    }
}

void ResultsGridView::showCurrentCell()
{
    // The current cell is the whole selection, or after Select All every
    // ranked row is.
    const QModelIndex current = model_.index(grid_.row() - 1, grid_.col());
    QItemSelectionModel* selection = selectionModel();
    if (current.isValid()) {
        selection->setCurrentIndex(current, QItemSelectionModel::NoUpdate);
        selection->select(current, QItemSelectionModel::ClearAndSelect);
    } else {
        selection->clear();
    }
    const int ranked = int(grid_.ranked().size());
    if (grid_.allSelected() && ranked > 0)
        selection->select(QItemSelection(model_.index(0, 0), model_.index(ranked - 1, ResultsGrid::columns - 1)),
                          QItemSelectionModel::ClearAndSelect);
}

void ResultsGridView::cellChosen(const QModelIndex& current)
{
    if (syncing_ || !current.isValid())
        return;
    grid_.setCurrent(current.row() + 1, current.column());
    // The view already shows the cell the user chose as current and selected,
    // which is just what the grid now holds; nothing to redraw.
    shownRevision_ = grid_.revision();
}

} // namespace veltrop::gui
