// The yardstick for start-up: an empty Qt 6 main window, built like Bemvara.
#include <QApplication>
#include <QMainWindow>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QMainWindow window;
    window.show();
    return QApplication::exec();
}
