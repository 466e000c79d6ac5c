// The yardsticks for start-up: an empty Qt 6 main window built like
// Bemvara, and (with --chinese-menu) the same with one Chinese menu title,
// to show what drawing any CJK text costs by itself.
#include <QApplication>
#include <QMainWindow>
#include <QMenuBar>

#include <cstring>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QMainWindow window;
    if (argc > 1 && std::strcmp(argv[1], "--chinese-menu") == 0)
        window.menuBar()->addMenu(QString::fromUtf8("文件"));
    window.show();
    return QApplication::exec();
}
