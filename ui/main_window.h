// Form1, the program's only window, described once as data: what it shows,
// how it behaves, what a screen reader hears, and the handlers of its
// events. The front ends (ui/qt, ui/win32, ui/web) walk this description to
// build the real window; nothing here knows a toolkit.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

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
    // Tried in order for each character: the first face that is there and
    // has the character draws it. The first is the face asked for; the
    // others are the names the same style goes by elsewhere.
    std::span<const std::string_view> families;
    double points;
    int weight;   // 400 normal, 700 bold
    int charset;  // Windows character set of the face asked for; 134 is GB2312
    // Up to this height in pixels the text is drawn without smoothing:
    // Song faces and hinted Latin faces are made to be crisp at dialog
    // sizes, and smoothed, their one-pixel strokes turn pale grey.
    // 0: always smoothed.
    int crisp_up_to_pixels;

    std::string_view family() const { return families.front(); }
};

// A face the program carries with it, so that every platform draws the
// same glyphs: each front end loads `file` from its own resources.
struct CarriedFace {
    std::string_view family;
    std::string_view file;
};

// Handlers receive the view and nothing else: the window is their only state.
using Handler = void (*)(View&);

// What a label is to the text box it describes: its symbol ("I:", which
// carries the box's meaning as a tooltip), its unit ("m"), or the unit's
// exponent (the raised "3").
enum class LabelRole { none, symbol, unit, exponent };

struct MenuItem {
    std::string_view name;
    std::string_view caption;
    Handler chosen;
};

// One control of the window. The table lists them in the order of Tab.
struct Control {
    std::string_view name;  // the widget's name on every platform
    ControlKind kind;
    std::string_view text;  // caption or initial text
    // For a line, left/top is its start and width/height runs to its end.
    TwipsRect rect;
    std::string_view tooltip = {};    // empty: none
    std::string_view describes = {};  // labels: the text box they describe
    LabelRole role = LabelRole::none;  // labels: how
    int layer = 0;                    // where controls overlap, the higher is in front
    const FontSpec* font = nullptr;   // nullptr: the window's font
    Handler clicked = nullptr;        // push buttons only
    std::string_view hint = {};       // text boxes: what a screen reader adds after the name
    // Text boxes: commands of the program's own, first in the box's context
    // menu, above the usual editing ones; on the page, where a box's menu is
    // the browser's, buttons below the window.
    std::span<const MenuItem> commands = {};
};

struct Menu {
    std::string_view name;
    std::string_view caption;
    std::span<const MenuItem> items;
};

// How the window answers the keyboard and the mouse, beyond what each
// platform's controls do of their own accord.
//
// Each front end carries these rules out in its own way, so a change here
// is made in all three, and in the focus given back after a message
// (show_message and focus_selected in each):
// - Qt, ui/qt/qt_main_window.cpp: create_control (Enter), build_controls
//   (the first box selected), build_menus (the menu key), TextBox (the
//   double-click);
// - Win32, ui/win32/win32_main_window.cpp: run_message_loop (Tab, and
//   selection on focus, by the dialog manager), handle and on_command
//   (Enter), on_create (the first box selected), text_box_proc (the
//   double-click); the menu key is the system's own;
// - the page, ui/web/page/page.js: focusFromKeyboard, followTabOrder, onBoxKey,
//   onBoxDoubleClick, onWindowKeyDown and onWindowKeyUp.
// The behaviour table plays them on all three.
struct Behaviour {
    // A text box reached from the keyboard, or holding the focus at start,
    // has its whole text selected, so typing replaces it.
    bool select_all_on_keyboard_focus;
    // Enter (or keypad Enter) in any text box clicks this button.
    std::string_view enter_clicks;
    // A double-click in a text box selects the run of characters around
    // the pointer that holds none of these.
    std::u16string_view blanks;
    // Reaches the menu bar, as Alt pressed and released alone does.
    std::string_view menu_key;
};

// Texts the window needs besides its controls' and menus'. In those that
// are patterns, {title}, {symbol}, {value}, {reason} and {error} stand for
// what is put in their place.
struct Texts {
    std::string_view message_ok;  // the one button of every message box
    // Where a front end cannot close its window on EXIT (a browser tab),
    // this stands in its place, with a button that starts afresh.
    std::span<const std::string_view> ended;
    std::string_view start_again;
    // A new result, said to a screen reader where the box is not being read.
    std::string_view result_said;
    // The page, where the program can fail to arrive or to start: the note
    // in the window's place, what went wrong, and what to do.
    std::string_view cannot_start;
    std::string_view no_webassembly;
    std::string_view module_missing;
    std::string_view module_failed;
    std::string_view webassembly_forbidden;  // by the host's Content-Security-Policy
    std::string_view tell_host;
    std::string_view update_browser;
    std::string_view check_network;
    std::string_view needs_script;
    std::string_view not_started;  // the page's script has not run (yet)
    // What a launcher and a search engine call the page.
    std::string_view app_name;
    std::string_view app_description;
    // Below the page's window: the version and the build (the commit it was
    // built from), and a new one ready to use.
    std::string_view version_line;
    std::string_view update_ready;
    // Below the page's window, where a release offers the desktop programs:
    // each by its system, with its size and the SHA-256 to check it by.
    std::string_view downloads;
    std::string_view download_windows;
    std::string_view download_debian;
    std::string_view download_size;
    std::string_view download_sums;
    std::string_view download_check;
    // The box's usual editing commands, in its context menu where a front
    // end builds that menu itself (Win32's follows the system's language).
    std::string_view edit_undo;
    std::string_view edit_cut;
    std::string_view edit_copy;
    std::string_view edit_paste;
    std::string_view edit_delete;
    std::string_view edit_select_all;
    // The calculation record: its heading, one line an input ({symbol} is
    // padded to the longest), the formula with the values put in (each
    // {symbol} by its value, {result} by r), the program, and the rich
    // text's table heads.
    std::string_view record_heading;
    std::string_view record_input;
    std::string_view record_worked;
    std::string_view record_program;
    std::span<const std::string_view> record_columns;
    // The page: a command done, and the clipboard refused with the record
    // shown to copy by hand.
    std::string_view copied;
    std::string_view copy_refused;
};

struct WindowDescription {
    std::string_view name;
    std::string_view title;  // also the title of every message box
    int client_width_twips;
    int client_height_twips;
    const FontSpec& font;  // of every control without a font of its own
    std::span<const Control> controls;
    std::span<const Menu> menus;
    std::span<const CarriedFace> carried_faces;
    Behaviour behaviour;
    Texts texts;
};

// Form1 as the user sees it.
const WindowDescription& main_window();

// Whether the control can take the keyboard focus (labels and lines never do).
bool takes_focus(const Control& control);

// The controls that take the focus, in the table's order: the order of
// Tab, which goes round to the first again.
std::vector<const Control*> focus_order(const WindowDescription& window);

const Control* find_control(const WindowDescription& window, std::string_view name);

// Where a control is drawn: its rectangle, and a line as the band it is
// drawn as, from its start to its end, one pixel at 96 dpi thick.
TwipsRect drawn_rect(const Control& control);

// Twips as pixels at `dpi` pixels an inch: exactly, and to the nearest
// whole pixel. At 96 dpi, one pixel per 15 twips, and every coordinate
// of the window is a whole pixel there.
double exact_pixels(int twips, double dpi);
int twips_to_pixels(int twips, int dpi = 96);

// Whether `font`'s text is drawn without smoothing at `dpi` pixels an
// inch: while its height, in the whole pixels it is laid out in, is at
// most its crisp height.
bool drawn_crisp(const FontSpec& font, double dpi);

// A pattern of the texts with each "{name}" replaced by its value.
//   fill("{symbol}: {value}", {{"symbol", "r"}, {"value", ".453125"}}) == "r: .453125"
std::string fill(std::string_view pattern,
                 std::initializer_list<std::pair<std::string_view, std::string_view>> values);

// What a screen reader announces for a text box: its label's symbol,
// meaning and unit, "I: 梁或板的抗弯惯性矩，单位 m³"; empty for a box without
// such a label. The unit's raised digits become superscripts.
std::string accessible_name(const WindowDescription& window, const Control& text_box);
// The label that names a text box by its symbol ("I:"), or nullptr.
const Control* symbol_label_of(const WindowDescription& window, const Control& text_box);
// The symbol alone, "I"; what a result is announced with.
std::string_view symbol_of(const WindowDescription& window, const Control& text_box);
std::string unit_of(const WindowDescription& window, const Control& text_box);
// What a screen reader is told when the program sets a box's text: the
// result pattern filled with the box's symbol (its name, if it has none)
// and the text without its blanks, "r: .453125".
std::string said_when_set(const WindowDescription& window, const Control& text_box, std::string_view text);
// Whether a label's text is already said in a text box's name, so that a
// screen reader need not read it a second time.
bool folded_into_name(const Control& label);

// The run that a double-click at UTF-16 index `at` selects: [first, last).
std::pair<std::size_t, std::size_t> double_click_run(const Behaviour& behaviour, std::u16string_view text,
                                                     std::size_t at);

// "⁰" to "⁹", each digit raised.
extern const std::string_view kSuperscriptDigits[10];

// The texts of the two notes under the About menu.
extern const std::string_view kHelpNote;
extern const std::string_view kAuthorNote;

// The handlers, one per event.
void on_command1_clicked(View& view);
void on_exit_chosen(View& view);
void on_help_chosen(View& view);
void on_writer_chosen(View& view);
void on_record_chosen(View& view);

}  // namespace ui
