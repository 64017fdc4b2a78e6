#pragma once
// A tab control whose pages each cover the whole control, tab strip included,
// so that a child placed at (x, y) on a page sits exactly (x, y) from the
// control's top-left corner. The window's layout measures page controls that
// way; QTabWidget would put them below the strip instead.
#include <QWidget>

#include <vector>

class QTabBar;

namespace veltrop::gui {

class TabControl : public QWidget {
    Q_OBJECT
public:
    explicit TabControl(QWidget* parent = nullptr);

    // Adds a page with that tab caption; returns the page to put controls on.
    QWidget* addPage(const QString& caption);
    QWidget* page(int index) const { return pages_.at(std::size_t(index)); }
    int count() const { return int(pages_.size()); }
    int currentIndex() const;
    void setCurrentIndex(int index);
    QTabBar* tabBar() const { return bar_; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void showCurrent();
    void placeBar();

    QTabBar* bar_;
    std::vector<QWidget*> pages_;
};

} // namespace veltrop::gui
