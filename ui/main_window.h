// Form1, the program's only window, described once as data, and the
// handlers of its events. The front ends (ui/qt, ui/win32) walk this
// description to build the real window; nothing here knows a toolkit.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "ui/view.h"

namespace ui {

// 1/1440 inch; 15 twips make one pixel at 96 dpi.
constexpr int kTwipsPerInch = 1440;
constexpr int kTwipsPerPixelAt96Dpi = 15;

struct TwipsRect {
    int left_twips;
    int top_twips;
    int width_twips;
    int height_twips;
};

enum class ControlKind { label, text_box, push_button, line };

struct FontSpec {
    std::string_view family;
    double points;
    int weight;   // 400 normal, 700 bold
    int charset;  // Windows character set; 134 is GB2312
};

// Handlers receive the view and nothing else: the window is their only state.
using Handler = void (*)(View&);

struct Control {
    std::string_view name;  // the widget's name on every platform
    ControlKind kind;
    std::string_view text;  // caption or initial text
    // For a line, left/top is its start and width/height runs to its end.
    TwipsRect rect;
    int tab_index;
    std::string_view tooltip;     // empty: none
    std::string_view describes;   // a label's text box, for screen readers
    int layer;                    // where controls overlap, the higher is in front
    const FontSpec* font;         // nullptr: the window's font
    Handler clicked;              // push buttons only
};

struct MenuItem {
    std::string_view name;
    std::string_view caption;
    Handler chosen;
};

struct Menu {
    std::string_view name;
    std::string_view caption;
    std::span<const MenuItem> items;
};

struct WindowDescription {
    std::string_view name;
    std::string_view title;  // also the title of every message box
    int client_width_twips;
    int client_height_twips;
    const FontSpec& font;  // of every control without a font of its own
    std::span<const Control> controls;  // in tab order
    std::span<const Menu> menus;
};

// Form1 as the user sees it.
const WindowDescription& main_window();

// Whether the control can take the keyboard focus (labels and lines never do).
bool takes_focus(const Control& control);

// What a screen reader announces for a text box: its label's symbol and
// meaning, "I: 梁或板的抗弯惯性矩"; empty for a box without such a label.
std::string accessible_name(const WindowDescription& window, const Control& text_box);

// The texts of the two notes under the About menu.
extern const std::string_view kHelpNote;
extern const std::string_view kAuthorNote;

// The handlers, one per event.
void on_command1_clicked(View& view);
void on_exit_chosen(View& view);
void on_help_chosen(View& view);
void on_writer_chosen(View& view);

}  // namespace ui
