#include "app/gui/tabcontrol.h"

#include <QPainter>
#include <QProxyStyle>
#include <QStyleOptionTabWidgetFrame>
#include <QTabBar>

namespace veltrop::gui {
namespace {

// Five tabs share a narrow strip; the usual padding around a caption would
// cut "Results..." and "Opinion..." short.
class NarrowTabStyle : public QProxyStyle {
public:
    int pixelMetric(PixelMetric metric, const QStyleOption* option,
                    const QWidget* widget) const override
    {
        if (metric == PM_TabBarTabHSpace)
            return 8;
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
};

// All tabs in one row, sharing the control's width equally, as the classic
// tab control draws them; QTabBar would size each tab to its caption and
// scroll when they do not fit.
class EvenTabBar : public QTabBar {
public:
    using QTabBar::QTabBar;

protected:
    QSize tabSizeHint(int index) const override
    {
        QSize size = QTabBar::tabSizeHint(index);
        if (count() > 0 && width() > 0)
            size.setWidth(evenWidth(index));
        return size;
    }
    QSize minimumTabSizeHint(int index) const override { return tabSizeHint(index); }

private:
    // The last tab takes the pixels left over by the division.
    int evenWidth(int index) const
    {
        const int each = width() / count();
        return index == count() - 1 ? width() - each * (count() - 1) : each;
    }
};

} // namespace

TabControl::TabControl(QWidget* parent) : QWidget(parent), bar_(new EvenTabBar(this))
{
    auto* style = new NarrowTabStyle;
    style->setParent(bar_);
    bar_->setStyle(style);
    bar_->setDrawBase(false);
    bar_->setUsesScrollButtons(false);
    bar_->setExpanding(true);
    bar_->setElideMode(Qt::ElideRight);
    // The strip takes the focus, in the control's place in the tab order
    // (the window puts it there). A focus proxy would leave the control
    // itself first in the window's focus chain, so Tab past the last
    // control would wrap to the strip instead of the first control.
    connect(bar_, &QTabBar::currentChanged, this, [this] { showCurrent(); });
}

QWidget* TabControl::addPage(const QString& caption)
{
    auto* page = new QWidget(this);
    page->setGeometry(rect());
    pages_.push_back(page);
    bar_->addTab(caption);
    placeBar();
    showCurrent();
    return page;
}

int TabControl::currentIndex() const { return bar_->currentIndex(); }

void TabControl::setCurrentIndex(int index) { bar_->setCurrentIndex(index); }

void TabControl::showCurrent()
{
    const int current = currentIndex();
    for (int i = 0; i < count(); ++i)
        page(i)->setVisible(i == current);
    // Pages cover the strip's area too; the strip must stay clickable.
    bar_->raise();
}

void TabControl::placeBar()
{
    bar_->setGeometry(0, 0, width(), bar_->sizeHint().height());
}

void TabControl::resizeEvent(QResizeEvent*)
{
    for (QWidget* page : pages_)
        page->setGeometry(rect());
    placeBar();
}

void TabControl::paintEvent(QPaintEvent*)
{
    QStyleOptionTabWidgetFrame frame;
    frame.initFrom(this);
    frame.shape = QTabBar::RoundedNorth;
    frame.tabBarSize = bar_->size();
    frame.rect = rect().adjusted(0, bar_->height() - 1, 0, 0);
    QPainter painter(this);
    style()->drawPrimitive(QStyle::PE_FrameTabWidget, &frame, &painter, this);
}

} // namespace veltrop::gui
