// Message boxes and file dialogs: the real Qt dialogs, closed by a queued
// call as a user would close them, and the automatic answers tests rely on.
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>

#include "app/gui/dialogs.h"

using veltrop::FileDialogState;
using veltrop::gui::QtDialogs;

namespace {

// Waits, for at most five seconds, for a modal dialog to come up and hands it
// to `act`, which must close it; a dialog that never shows is left alone.
void whenModalShows(std::function<void(QWidget*)> act)
{
    auto* poll = new QTimer;
    auto deadline = std::make_shared<QDeadlineTimer>(5000);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, deadline, act = std::move(act)] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal && !deadline->hasExpired())
            return;
        poll->deleteLater();
        poll->stop();
        if (modal)
            act(modal);
    });
    poll->start(10);
}

const std::string veltropFilter = "Veltrop Lists (*.vel)|*.vel";

} // namespace

class DialogsTest : public QObject {
    Q_OBJECT

    QTemporaryDir folder;

    QString path(const QString& name) const { return folder.filePath(name); }

private slots:
    void initTestCase()
    {
        QVERIFY(folder.isValid());
        for (const char* name : {"mine.vel", "other.vel", "notes.txt"}) {
            QFile file(path(name));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
    }

    void init() { QtDialogs::setAutomatic(false); }

    void filtersBecomeQtNameFilters_data()
    {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("description with pattern")
            << QString::fromStdString(veltropFilter) << QStringList{"Veltrop Lists (*.vel)"};
        QTest::newRow("bare description")
            << "Text|*.txt|All files|*.*" << QStringList{"Text (*.txt)", "All files (*.*)"};
        QTest::newRow("several patterns") << "Lists|*.vel;*.txt" << QStringList{"Lists (*.vel *.txt)"};
        QTest::newRow("other bracket") << "Lists (old)|*.vel" << QStringList{"Lists (old) (*.vel)"};
        QTest::newRow("empty") << "" << QStringList{};
        QTest::newRow("description without pattern") << "Lists" << QStringList{};
    }

    void filtersBecomeQtNameFilters()
    {
        QFETCH(QString, filter);
        QFETCH(QStringList, expected);
        QCOMPARE(QtDialogs::nameFilters(filter.toStdString()), expected);
    }

    void automaticDialogsRecordAndAnswerFromTheQueue()
    {
        QtDialogs dialogs;
        QtDialogs::setAutomatic(true);
        dialogs.message("first");
        dialogs.message("second");
        QCOMPARE(QtDialogs::takeMessages(), (std::vector<std::string>{"first", "second"}));
        QCOMPARE(QtDialogs::takeMessages(), std::vector<std::string>());

        QtDialogs::queueFileName("/tmp/a.vel");
        QtDialogs::queueFileName("");
        FileDialogState state{"/tmp/*.vel", veltropFilter, 1, 4};
        dialogs.showOpen(state);
        QCOMPARE(state.fileName, std::string("/tmp/a.vel"));
        dialogs.showSave(state);  // answered as a cancel
        QCOMPARE(state.fileName, std::string("/tmp/a.vel"));
        dialogs.showSave(state);  // nothing queued: a cancel too, never a wait
        QCOMPARE(state.fileName, std::string("/tmp/a.vel"));

        // Switching off forgets what was recorded and queued.
        QtDialogs::queueFileName("/tmp/b.vel");
        dialogs.message("left over");
        QtDialogs::setAutomatic(false);
        QtDialogs::setAutomatic(true);
        QCOMPARE(QtDialogs::takeMessages(), std::vector<std::string>());
        dialogs.showOpen(state);
        QCOMPARE(state.fileName, std::string("/tmp/a.vel"));
    }

    void messageBoxShowsTheTextWithOnlyAnOkButton()
    {
        QString title, text;
        Qt::TextFormat format = Qt::AutoText;
        QStringList buttons;
        whenModalShows([&](QWidget* modal) {
            if (auto* box = qobject_cast<QMessageBox*>(modal)) {
                title = box->windowTitle();
                text = box->text();
                format = box->textFormat();
                for (QAbstractButton* b : box->buttons())
                    buttons << b->text().remove('&');
            }
            modal->close();
        });
        QtDialogs dialogs;
        dialogs.message("Price < 5 and <b>volume</b>");

        QCOMPARE(title, QStringLiteral("Pellamy's Veltrop"));
        QCOMPARE(text, QStringLiteral("Price < 5 and <b>volume</b>"));
        QCOMPARE(format, Qt::PlainText);
        QCOMPARE(buttons, QStringList{"OK"});
    }

    void openDialogStartsInTheGivenFolderWithTheFilter()
    {
        QString directory;
        QStringList filters;
        whenModalShows([&](QWidget* modal) {
            if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
                directory = dialog->directory().absolutePath();
                filters = dialog->nameFilters();
                dialog->selectFile(path("other.vel"));
                static_cast<QDialog*>(dialog)->accept();  // as the Open/Save button does
            }
            modal->close();
        });
        QtDialogs dialogs;
        FileDialogState state{path("*.vel").toStdString(), veltropFilter, 1, 4};
        dialogs.showOpen(state);

        QCOMPARE(directory, QDir(folder.path()).absolutePath());
        QCOMPARE(filters, QStringList{"Veltrop Lists (*.vel)"});
        QCOMPARE(QString::fromStdString(state.fileName), path("other.vel"));
    }

    void cancelledDialogLeavesTheNameAlone()
    {
        whenModalShows([](QWidget* modal) {
            if (auto* dialog = qobject_cast<QFileDialog*>(modal))
                dialog->reject();
            modal->close();
        });
        QtDialogs dialogs;
        const std::string initial = path("*.vel").toStdString();
        FileDialogState state{initial, veltropFilter, 1, 4};
        dialogs.showOpen(state);
        QCOMPARE(state.fileName, initial);
    }

    void saveDialogOffersTheGivenName()
    {
        QStringList offered;
        whenModalShows([&](QWidget* modal) {
            if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
                offered = dialog->selectedFiles();
                static_cast<QDialog*>(dialog)->accept();  // as the Open/Save button does
            }
            modal->close();
        });
        QtDialogs dialogs;
        FileDialogState state{path("new list.vel").toStdString(), veltropFilter, 1, 4};
        dialogs.showSave(state);
        QCOMPARE(offered, QStringList{path("new list.vel")});
        QCOMPARE(QString::fromStdString(state.fileName), path("new list.vel"));
    }

    void documentsFolderIsTheDesktopsOrElseHome()
    {
        QTemporaryDir home;
        const QByteArray oldHome = qgetenv("HOME"), oldConfig = qgetenv("XDG_CONFIG_HOME");
        qputenv("HOME", home.path().toUtf8());
        qputenv("XDG_CONFIG_HOME", home.filePath("config").toUtf8());
        QtDialogs dialogs;
        const std::string withoutDocuments = dialogs.documentsFolder();
        QVERIFY(QDir(home.path()).mkdir("Documents"));
        const std::string withDocuments = dialogs.documentsFolder();
        qputenv("HOME", oldHome);
        if (oldConfig.isNull())
            qunsetenv("XDG_CONFIG_HOME");
        else
            qputenv("XDG_CONFIG_HOME", oldConfig);
        QCOMPARE(QString::fromStdString(withoutDocuments), home.path());
        QCOMPARE(QString::fromStdString(withDocuments), home.filePath("Documents"));
    }
};

QTEST_MAIN(DialogsTest)
#include "tst_dialogs.moc"
