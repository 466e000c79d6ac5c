// The Linux program: Form1 in a Qt window.
#include <QApplication>

#include <cstdio>
#include <cstdlib>

#include "ui/qt/qt_application.h"
#include "ui/qt/qt_main_window.h"

namespace {

// Without a display Qt aborts with a message about plugins; say plainly what
// is missing instead. An explicit platform (offscreen, say) needs none.
bool has_display() {
    const auto set = [](const char* name) {
        const char* value = std::getenv(name);
        return value && *value;
    };
    return set("DISPLAY") || set("WAYLAND_DISPLAY") || set("QT_QPA_PLATFORM");
}

}  // namespace

int main(int argc, char** argv) {
    if (!has_display()) {
        std::fputs("bemvara: no graphical display found (neither DISPLAY nor WAYLAND_DISPLAY is set)\n", stderr);
        return 1;
    }
    QApplication app(argc, argv);
    ui::qt::prepare_application(app);
    ui::qt::QtMainWindow window;
    window.show();
    return QApplication::exec();
}
