// The window's controls: kinds, places, sizes, pages, captions, fonts and tab
// order, checked on the real widgets against the layout table.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyleOptionButton>
#include <QTabBar>
#include <QTableView>
#include <QtTest>

#include <algorithm>
#include <map>

#include "app/gui/mainwindow.h"
#include "app/gui/tabcontrol.h"
#include "app/layout.h"

using namespace veltrop;
using veltrop::gui::MainWindow;
using veltrop::gui::TabControl;

namespace {

QString objectNameOf(const layout::Control& c)
{
    QString name = QString::fromUtf8(c.name.data(), qsizetype(c.name.size()));
    return c.index < 0 ? name : name + '_' + QString::number(c.index);
}

QString qstr(std::string_view s) { return QString::fromUtf8(s.data(), qsizetype(s.size())); }

} // namespace

class LayoutTest : public QObject {
    Q_OBJECT

    std::unique_ptr<MainWindow> window;

    int px(int twips, double dpi) const { return qRound(twips * dpi / 1440.0); }
    int pxX(int twips) const { return px(twips, window->logicalDpiX()); }
    int pxY(int twips) const { return px(twips, window->logicalDpiY()); }
    QWidget* control(const QString& name) const { return window->findChild<QWidget*>(name); }
    TabControl* tabs() const { return window->findChild<TabControl*>("tabs"); }

private slots:
    void initTestCase()
    {
        window = std::make_unique<MainWindow>();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get(), 5000));
    }

    void cleanupTestCase() { window.reset(); }

    void windowHasItsCaptionAndFixedClientSize()
    {
        QCOMPARE(window->windowTitle(), QStringLiteral("Pellamy's Veltrop v1.4"));
        QCOMPARE(window->size(), QSize(pxX(7575), pxY(4845)));
        QCOMPARE(window->minimumSize(), window->maximumSize());
    }

    void everyControlSitsWhereTheLayoutSays()
    {
        TabControl* tabControl = tabs();
        QVERIFY(tabControl);
        for (const layout::Control& c : layout::controls()) {
            const QString name = objectNameOf(c);
            QWidget* widget = control(name);
            QVERIFY2(widget, qPrintable(name + " is missing"));

            // Page controls are measured from the tab control's corner, strip included.
            QWidget* origin = c.page == layout::OnWindow ? static_cast<QWidget*>(window.get()) : tabControl;
            QWidget* parent = c.page == layout::OnWindow ? static_cast<QWidget*>(window.get()) : tabControl->page(c.page);
            QCOMPARE(widget->parentWidget(), parent);
            const QRect expected(pxX(c.left), pxY(c.top), pxX(c.width), pxY(c.height));
            QCOMPARE(QRect(widget->mapTo(origin, QPoint(0, 0)), widget->size()), expected);

            QVERIFY2(widget->isEnabled(), qPrintable(name));
            const QString tooltip = qstr(c.tooltip);
            QCOMPARE(widget->toolTip(), c.kind == layout::Kind::CheckBox ? tooltip : QString());

            const QString caption = qstr(c.caption);
            switch (c.kind) {
            case layout::Kind::Button:
                QVERIFY2(qobject_cast<QPushButton*>(widget), qPrintable(name));
                QCOMPARE(qobject_cast<QPushButton*>(widget)->text(), caption);
                break;
            case layout::Kind::Label:
                QVERIFY2(qobject_cast<QLabel*>(widget), qPrintable(name));
                QCOMPARE(qobject_cast<QLabel*>(widget)->text(), caption);
                break;
            case layout::Kind::CheckBox:
                QVERIFY2(qobject_cast<QCheckBox*>(widget), qPrintable(name));
                QCOMPARE(qobject_cast<QCheckBox*>(widget)->text(), caption);
                QCOMPARE(qobject_cast<QCheckBox*>(widget)->checkState(), Qt::Unchecked);
                break;
            case layout::Kind::TextBox:
                QVERIFY2(qobject_cast<QLineEdit*>(widget), qPrintable(name));
                QCOMPARE(qobject_cast<QLineEdit*>(widget)->text(), caption);
                break;
            case layout::Kind::RichTextBox:
                QVERIFY2(qobject_cast<QPlainTextEdit*>(widget), qPrintable(name));
                QCOMPARE(qobject_cast<QPlainTextEdit*>(widget)->toPlainText(), QString());
                break;
            case layout::Kind::Grid:
                QVERIFY2(qobject_cast<QTableView*>(widget), qPrintable(name));
                break;
            case layout::Kind::TabControl:
                QCOMPARE(widget, static_cast<QWidget*>(tabControl));
                break;
            }
        }
    }

    void labelsAlignAsDrawn()
    {
        const auto align = [&](const char* name) {
            return qobject_cast<QLabel*>(control(name))->alignment() & Qt::AlignHorizontal_Mask;
        };
        QCOMPARE(align("tickersFoundLabel"), Qt::AlignHCenter);
        QCOMPARE(align("progressLabel"), Qt::AlignHCenter);
        QCOMPARE(align("noticeLabel"), Qt::AlignRight);
        QCOMPARE(align("statusLabel"), Qt::AlignLeft);
        QVERIFY(qobject_cast<QLabel*>(control("noticeLabel"))->text().endsWith("  For informational use only"));
    }

    void listBoxesRunTopToBottomInSourceOrder()
    {
        std::vector<std::pair<int, int>> byTop;  // (y, index)
        for (QCheckBox* box : tabs()->page(layout::ListsPage)->findChildren<QCheckBox*>()) {
            const QString name = box->objectName();
            QVERIFY2(name.startsWith("listBox_"), qPrintable(name));
            QCOMPARE(box->x(), pxX(240));
            byTop.emplace_back(box->y(), name.mid(8).toInt());
        }
        std::ranges::sort(byTop);
        QList<int> order;
        for (const auto& [y, index] : byTop)
            order << index;
        QCOMPARE(order, (QList<int>{0, 7, 12, 1, 11, 3, 4, 16, 5, 6, 8, 9, 2}));
        for (std::size_t i = 1; i < byTop.size(); ++i)
            QVERIFY2(byTop[i].first > byTop[i - 1].first, "two list boxes share a row");
    }

    void rankBoxesFillTwoColumns()
    {
        std::map<int, QList<int>> columns;  // x -> indices from the top
        std::vector<QCheckBox*> boxes;
        for (QCheckBox* box : tabs()->page(layout::RanksPage)->findChildren<QCheckBox*>())
            boxes.push_back(box);
        std::ranges::sort(boxes, {}, [](QCheckBox* b) { return b->y(); });
        for (QCheckBox* box : boxes) {
            QVERIFY2(box->objectName().startsWith("rankBox_"), qPrintable(box->objectName()));
            columns[box->x()] << box->objectName().mid(8).toInt();
        }
        QCOMPARE(columns.size(), std::size_t(2));
        QCOMPARE(columns[pxX(240)], (QList<int>{0, 1, 2, 3, 4, 9, 10, 11, 12, 13, 14, 5, 7, 6}));
        QCOMPARE(columns[pxX(2895)], (QList<int>{8, 15, 16}));
    }

    void testCommandLiesOutOfSightYetLive()
    {
        for (const char* name : {"testButton", "testPageBox"}) {
            QWidget* widget = control(name);
            QCOMPARE(widget->parentWidget(), window.get());
            QVERIFY2(!window->rect().intersects(widget->geometry()), name);
            QVERIFY2(widget->isVisible(), name);
            QVERIFY2(widget->isEnabled(), name);
        }
    }

    void tabStripShowsFivePagesWithTheFirstSelected()
    {
        QTabBar* bar = tabs()->tabBar();
        QCOMPARE(bar->count(), 5);
        const QStringList captions{"Lists...", "Ranks...", "Results...", "Opinion...", "Options..."};
        for (int i = 0; i < 5; ++i) {
            QCOMPARE(bar->tabText(i), captions[i]);
            // One row: every tab on the strip's top line and inside the control.
            QCOMPARE(bar->tabRect(i).top(), bar->tabRect(0).top());
            QVERIFY(tabs()->rect().contains(bar->mapTo(tabs(), bar->tabRect(i).bottomRight())));
        }
        QCOMPARE(tabs()->currentIndex(), 0);
        QVERIFY(tabs()->page(0)->isVisible());
        // The strip stays above the pages and above every page control.
        QCOMPARE(bar->mapTo(tabs(), QPoint(0, 0)), QPoint(0, 0));
        QVERIFY(bar->height() <= pxY(480));
    }

    void clickingATabShowsOnlyItsPage()
    {
        QTabBar* bar = tabs()->tabBar();
        for (int page : {layout::ResultsPage, layout::OptionsPage, layout::ListsPage}) {
            QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(page).center());
            QCOMPARE(tabs()->currentIndex(), page);
            for (int i = 0; i < tabs()->count(); ++i)
                QCOMPARE(tabs()->page(i)->isVisible(), i == page);
        }
    }

    // The fonts asked for are the ones drawn with: a missing font would fall
    // back to a wider one and cut captions short.
    void fontsFollowTheLayout()
    {
        for (QWidget* widget : {static_cast<QWidget*>(tabs()->tabBar()), control("resultsGrid"), control("deleteBottomButton")}) {
            QCOMPARE(widget->font().family(), QStringLiteral("Liberation Sans"));
            QCOMPARE(widget->font().pointSizeF(), 7.5);
            QCOMPARE(widget->fontInfo().family(), QStringLiteral("Liberation Sans"));
        }
        const QFont notice = control("noticeLabel")->font();
        QCOMPARE(notice.family(), QStringLiteral("Liberation Serif"));
        QCOMPARE(notice.pointSizeF(), 6.75);
        QCOMPARE(notice.weight(), QFont::Normal);
        QCOMPARE(control("noticeLabel")->fontInfo().family(), QStringLiteral("Liberation Serif"));
    }

    // Each caption at the width its control gives text: a caption wider than
    // that is cut off (buttons at both ends, labels and boxes at the right).
    void everyCaptionFitsItsControl()
    {
        QStringList cut;
        auto check = [&](const QString& name, const QString& caption, const QFontMetrics& metrics, int room) {
            const int needed = metrics.horizontalAdvance(caption);
            if (needed > room)
                cut << QStringLiteral("%1 \"%2\": %3 px for %4").arg(name, caption).arg(needed).arg(room);
        };
        int captions = 0;
        for (const layout::Control& c : layout::controls()) {
            QWidget* widget = control(objectNameOf(c));
            QString caption;
            int room = 0;
            if (auto* button = qobject_cast<QPushButton*>(widget)) {
                QStyleOptionButton option;
                option.initFrom(button);
                option.text = caption = button->text();
                room = button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button).width();
            } else if (auto* box = qobject_cast<QCheckBox*>(widget)) {
                QStyleOptionButton option;
                option.initFrom(box);
                option.text = caption = box->text();
                room = box->style()->subElementRect(QStyle::SE_CheckBoxContents, &option, box).width();
            } else if (auto* label = qobject_cast<QLabel*>(widget)) {
                caption = label->text();
                room = label->contentsRect().width();
            }
            if (caption.isEmpty())
                continue;
            ++captions;
            check(objectNameOf(c), caption, widget->fontMetrics(), room);
        }
        QTabBar* bar = tabs()->tabBar();
        const int padding = bar->style()->pixelMetric(QStyle::PM_TabBarTabHSpace, nullptr, bar);
        for (int i = 0; i < bar->count(); ++i, ++captions)
            check(QStringLiteral("tab %1").arg(i), bar->tabText(i), bar->fontMetrics(), bar->tabRect(i).width() - padding);
        QCOMPARE(captions, 50);  // 30 check boxes, 10 buttons, 5 labels, 5 tabs
        QVERIFY2(cut.isEmpty(), qPrintable(cut.join("; ")));
    }

    void tabOrderFollowsTheLayout()
    {
        // The controls that take focus, in the layout's tab order.
        std::vector<const layout::Control*> ordered;
        for (const layout::Control& c : layout::controls())
            if (c.kind != layout::Kind::Label)
                ordered.push_back(&c);
        std::ranges::sort(ordered, {}, &layout::Control::tabOrder);
        QCOMPARE(ordered.front()->name, std::string_view("testButton"));

        std::map<QWidget*, QString> focusTargets;
        for (const layout::Control* c : ordered) {
            QWidget* widget = control(objectNameOf(*c));
            // The tab control takes the focus on its strip.
            if (c->kind == layout::Kind::TabControl)
                widget = window->tabControl()->tabBar();
            focusTargets[widget] = objectNameOf(*c);
        }
        QStringList expected;
        for (const layout::Control* c : ordered)
            expected << objectNameOf(*c);

        // Walk the focus chain once round, from the first control on.
        QStringList chain;
        QWidget* first = control("testButton");
        QWidget* w = first;
        for (int steps = 0; steps < 2000; ++steps) {
            if (auto hit = focusTargets.find(w); hit != focusTargets.end() && !chain.contains(hit->second))
                chain << hit->second;
            w = w->nextInFocusChain();
            if (w == first)
                break;
        }
        QCOMPARE(chain, expected);
    }
};

QTEST_MAIN(LayoutTest)
#include "tst_layout.moc"
