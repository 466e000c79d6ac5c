// Application-wide set-up that the window relies on: the Chinese strings of
// Qt's own dialogs and context menus, and the faces the program carries.
#pragma once

class QApplication;

namespace ui::qt {

// Call once, after the QApplication is made and before any window.
void prepare_application(QApplication& app);

}  // namespace ui::qt
