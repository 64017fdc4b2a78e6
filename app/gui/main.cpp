#include <QApplication>

#include "app/gui/mainwindow.h"

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    veltrop::gui::MainWindow window;
    window.load();
    window.show();
    return app.exec();
}
