// Form1 built with Qt Widgets from the window description, and the view
// that the handlers talk to.
#pragma once

#include <QMainWindow>

#include "ui/main_window.h"

class QWidget;

namespace ui::qt {

class Announcer;

class QtMainWindow : public QMainWindow, public View {
public:
    explicit QtMainWindow(const WindowDescription& description = main_window());

    std::string text(std::string_view control) const override;
    void set_text(std::string_view control, std::string_view text) override;
    void show_message(std::string_view text) override;
    void focus_selected(std::string_view control) override;
    void copy_to_clipboard(std::string_view plain, std::string_view html) override;
    void end_program() override;

private:
    void build_controls(QWidget* client);
    void build_menus();
    QWidget* create_control(const Control& control, QWidget* client);

    const WindowDescription& description_;
    Announcer* announcer_ = nullptr;
};

}  // namespace ui::qt
