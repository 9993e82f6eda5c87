// The yardstick of the start-up benchmark: an empty frameless Qt window of the
// main window's size, started the same way.
#include <QApplication>
#include <QWidget>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowFlags(Qt::FramelessWindowHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint);
    window.resize(1200, 788);
    window.show();
    return app.exec();
}
