// The Linux program: Form1 in a Qt window.
#include <QApplication>
#include <QList>
#include <QString>

#include <cstdio>
#include <cstdlib>
#include <utility>

#include "ui/qt/qt_application.h"
#include "ui/qt/qt_main_window.h"

namespace {

// Where a display is named but cannot be opened, Qt ends the program with a
// fatal message that aborts, after lines about plugins and reinstalling.
// While the application starts, its messages are held back: a fatal one
// becomes one plain line and status 1, the others are passed on once the
// start has gone well.
QList<std::pair<QtMsgType, QString>> held_back;

[[noreturn]] void no_display() {
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    std::fprintf(stderr, "bemvara: cannot open a graphical display (DISPLAY=%s, WAYLAND_DISPLAY=%s)\n",
                 x11 ? x11 : "", wayland ? wayland : "");
    std::_Exit(1);  // from inside the toolkit's start: nothing of it is unwound
}

void hold_back(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtFatalMsg) no_display();
    held_back.append({type, message});
}

// Wayland desktops that draw no title bars get Qt's own, which offers
// maximize even to a window made for one size. Where the desktop also runs
// an X server, the window goes there, and the desktop's title bar, which
// honours the size, frames it; Wayland stays the way if that server cannot
// be reached. A platform the user chose is kept.
void prefer_desktop_title_bar() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        !qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "xcb;wayland");
}

}  // namespace

int main(int argc, char** argv) {
    prefer_desktop_title_bar();
    const QtMessageHandler previous = qInstallMessageHandler(hold_back);
    QApplication app(argc, argv);
    qInstallMessageHandler(previous);
    for (const auto& [type, message] : held_back) qt_message_output(type, QMessageLogContext(), message);

    ui::qt::prepare_application(app);
    ui::qt::QtMainWindow window;
    window.show();
    return QApplication::exec();
}
