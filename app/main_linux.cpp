// The Linux program: Form1 in a Qt window.
#include <QApplication>
#include <QStringList>

#include <cstdio>
#include <cstdlib>

#include "ui/qt/qt_application.h"
#include "ui/qt/qt_main_window.h"

namespace {

// Where a display is named but cannot be opened, Qt ends the program with a
// fatal message that aborts, after lines about plugins and reinstalling.
// While the application starts, its messages are held back: a fatal one
// becomes one plain line and status 1, the others are passed on once the
// start has gone well.
QStringList held_back;

[[noreturn]] void no_display() {
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    std::fprintf(stderr, "bemvara: cannot open a graphical display (DISPLAY=%s, WAYLAND_DISPLAY=%s)\n",
                 x11 ? x11 : "", wayland ? wayland : "");
    std::_Exit(1);  // from inside the toolkit's start: nothing of it is unwound
}

void hold_back(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtFatalMsg) no_display();
    held_back << message;
}

}  // namespace

int main(int argc, char** argv) {
    const QtMessageHandler previous = qInstallMessageHandler(hold_back);
    QApplication app(argc, argv);
    qInstallMessageHandler(previous);
    for (const QString& message : held_back) qWarning().noquote() << message;

    ui::qt::prepare_application(app);
    ui::qt::QtMainWindow window;
    window.show();
    return QApplication::exec();
}
