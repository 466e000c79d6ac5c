// The shared table of behaviour scenarios (tests/tables/behaviour.txt) and
// the one way they are run: each front end's test supplies a Driver that
// presses keys and reads its window, and the steps and their checks are
// the same for all. Toolkit-free.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace scenarios {

struct Step {
    std::string op;      // key, type, set, click, double-click, choose or expect
    std::string what;    // for expect: what is looked at (focus, text, message...)
    std::string target;  // a control's or menu item's name, or the key
    std::string text;    // what is typed or set, or what a check wants to see
    std::string box;     // level: the box whose text the label stands beside
    std::string only;    // "desktop" or "page": the one kind of front end the step is for
    int x = 0;           // double-click: the character; on-top: the point in twips
    int y = 0;
};

struct Scenario {
    std::string name;
    std::vector<Step> steps;
};

// Throws std::runtime_error for a file it cannot read or a line it does not know.
std::vector<Scenario> read(const std::string& path);

// The scenarios as JSON, for a driver in another language: a list of
// {"name", "steps": [{"op", "what", "target", "text", "box", "only", "x", "y"}]}.
std::string to_json(const std::vector<Scenario>& all);

// An open message box as the user sees it.
struct Message {
    std::string text;
    std::string title;
    std::string buttons;  // their captions, in order, between single blanks
    bool icon = false;
};

// Texts are UTF-8 throughout; places are in twips from the client area's
// top left, which each driver turns into its own pixels.
class Driver {
public:
    virtual ~Driver() = default;

    virtual void key(const std::string& key) = 0;
    virtual void type(const std::string& text) = 0;
    virtual void set_text(const std::string& box, const std::string& text) = 0;
    virtual void click(const std::string& name) = 0;
    virtual void double_click(const std::string& box, int index) = 0;
    // A menu item chosen, as with the mouse.
    virtual void choose(const std::string& item) = 0;

    // The control with the focus: its name, "OK" for a message box's button.
    virtual std::string focus() = 0;
    virtual std::string text(const std::string& box) = 0;
    virtual std::string selected(const std::string& box) = 0;
    virtual std::optional<Message> message() = 0;
    virtual std::string name(const std::string& box) = 0;
    virtual std::string title() = 0;
    virtual bool ended() = 0;
    // The control that shows at a point: the one in front where they overlap.
    virtual std::string on_top(int x_twips, int y_twips) = 0;
    // What shows when the pointer rests on the control; empty for nothing.
    virtual std::string tooltip(const std::string& name) = 0;
    // The client area's size, measured, in twips: "4185 2040".
    virtual std::string client_size() = 0;
    // Where the control is drawn, measured, in twips from the client area's
    // top left: "1560 120 255 255", left, top, width and height.
    virtual std::string place(const std::string& name) = 0;
    // Whether the box shows its whole text, first character to last: "yes",
    // or what it shows of it.
    virtual std::string shows_whole(const std::string& box) = 0;
    // Whether the label's text stands on the baseline of the box's text, as
    // the pixels on screen show them: "level", or where each ends.
    virtual std::string level(const std::string& label, const std::string& box) = 0;
    // What the window last gave screen readers to say of its own accord,
    // as the platform carries it: "r: .453125"; empty for nothing.
    virtual std::string announced() = 0;

    // The clipboard as the platform gives it: its plain text, UTF-8 with
    // "\n" between lines, and its HTML (the fragment alone); empty for none.
    virtual std::string clipboard_text() = 0;
    virtual std::string clipboard_html() = 0;

    // "desktop" for a program's window, "page" for the browser's.
    virtual std::string kind() const { return "desktop"; }

    // Gives the window a moment to catch up before a check is tried again.
    virtual void pause() = 0;
};

// Does one step. A check is tried until it holds, pausing in between, at
// most `tries` times; the answer is empty, or says what was seen instead.
std::string run_step(Driver& driver, const Step& step, int tries);

}  // namespace scenarios
