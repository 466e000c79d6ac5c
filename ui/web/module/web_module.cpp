// The WebAssembly module behind the page: it runs the handlers, and its
// view is six functions that the page supplies (view_imports.js). The page
// was drawn from the same description when the site was built.
#include <cstdint>
#include <string>
#include <string_view>

#include "ui/main_window.h"

extern "C" {
// Supplied by the page. Texts are UTF-8, passed as pointer and length both
// ways: a box's text is asked for its length, then copied into memory of
// ours, so no character of it (U+0000 included) ends it early.
std::size_t bemvara_view_text_length(const char* name, std::size_t name_length);
void bemvara_view_text_copy(const char* name, std::size_t name_length, char* into, std::size_t length);
// `said` is what screen readers are to be told of the new text.
void bemvara_view_set_text(const char* name, std::size_t name_length, const char* text, std::size_t text_length,
                           const char* said, std::size_t said_length);
void bemvara_view_show_message(const char* text, std::size_t text_length);
void bemvara_view_focus_selected(const char* name, std::size_t name_length);
void bemvara_view_copy_to_clipboard(const char* plain, std::size_t plain_length, const char* html,
                                    std::size_t html_length);
void bemvara_view_end_program();
}

namespace ui::web {

namespace {

class PageView : public View {
public:
    std::string text(std::string_view control) const override {
        std::string text(bemvara_view_text_length(control.data(), control.size()), '\0');
        bemvara_view_text_copy(control.data(), control.size(), text.data(), text.size());
        return text;
    }
    void set_text(std::string_view control, std::string_view text) override {
        const Control* box = find_control(main_window(), control);
        const std::string said = box ? said_when_set(main_window(), *box, text) : std::string();
        bemvara_view_set_text(control.data(), control.size(), text.data(), text.size(), said.data(), said.size());
    }
    // The page's dialog is modal but cannot block the caller. Nothing of a
    // handler follows its message, so returning at once changes nothing the
    // user can see: the page is unusable until the dialog is dismissed.
    void show_message(std::string_view text) override { bemvara_view_show_message(text.data(), text.size()); }
    void focus_selected(std::string_view control) override {
        bemvara_view_focus_selected(control.data(), control.size());
    }
    void copy_to_clipboard(std::string_view plain, std::string_view html) override {
        bemvara_view_copy_to_clipboard(plain.data(), plain.size(), html.data(), html.size());
    }
    void end_program() override { bemvara_view_end_program(); }
};

}  // namespace

}  // namespace ui::web

extern "C" {

// The user clicked the control at `index` in the description's list; an
// index that is not a clickable control does nothing.
void bemvara_click(int index) {
    const auto controls = ui::main_window().controls;
    if (index < 0 || static_cast<std::size_t>(index) >= controls.size()) return;
    if (const ui::Handler handler = controls[static_cast<std::size_t>(index)].clicked) {
        ui::web::PageView view;
        handler(view);
    }
}

// The user chose command `command` of the control at `index`, both
// counted as in the description.
void bemvara_command(int index, int command) {
    const auto controls = ui::main_window().controls;
    if (index < 0 || static_cast<std::size_t>(index) >= controls.size()) return;
    const auto commands = controls[static_cast<std::size_t>(index)].commands;
    if (command < 0 || static_cast<std::size_t>(command) >= commands.size()) return;
    if (const ui::Handler handler = commands[static_cast<std::size_t>(command)].chosen) {
        ui::web::PageView view;
        handler(view);
    }
}

// The run that a double-click at UTF-16 index `at` of `text` selects, as
// [first, last) in range[0] and range[1].
void bemvara_double_click_run(const char16_t* text, std::size_t length, std::size_t at, std::uint32_t* range) {
    const auto [first, last] = ui::double_click_run(ui::main_window().behaviour, {text, length}, at);
    range[0] = static_cast<std::uint32_t>(first);
    range[1] = static_cast<std::uint32_t>(last);
}

// The user chose item `item` of menu `menu`, counted as in the description.
void bemvara_choose(int menu, int item) {
    const auto menus = ui::main_window().menus;
    if (menu < 0 || static_cast<std::size_t>(menu) >= menus.size()) return;
    const auto items = menus[static_cast<std::size_t>(menu)].items;
    if (item < 0 || static_cast<std::size_t>(item) >= items.size()) return;
    if (const ui::Handler handler = items[static_cast<std::size_t>(item)].chosen) {
        ui::web::PageView view;
        handler(view);
    }
}

}
