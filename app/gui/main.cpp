#include <QApplication>
#include <QCommandLineParser>
#include <QTimer>

#include <cstdio>

#include "app/gui/mainwindow.h"

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationVersion(QStringLiteral("1.4"));
    QCommandLineParser arguments;
    arguments.setApplicationDescription(QStringLiteral("Rank stock tickers by web-published ratings."));
    arguments.addHelpOption();
    arguments.addVersionOption();
    arguments.addPositionalArgument(QStringLiteral("file"), QStringLiteral("A list file to load, as Load List would"),
                                    QStringLiteral("[file]"));
    arguments.process(app);
    const QStringList files = arguments.positionalArguments();
    if (files.size() > 1) {
        std::fputs("veltrop: one list file at most\n", stderr);
        return 2;
    }

    veltrop::gui::MainWindow window;
    window.load();
    window.show();
    // Once start-up has ended, over the window, as a chosen file would be.
    if (!files.isEmpty())
        QTimer::singleShot(0, &window, [&window, file = files.front()] { window.openListFile(file); });
    return app.exec();
}
