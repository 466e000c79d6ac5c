// What the handlers may do to the window. Each front end implements it in a
// few lines; the tests implement it with a fake that records every call.
#pragma once

#include <string>
#include <string_view>

namespace ui {

class View {
public:
    virtual ~View() = default;

    // The text of the control called `control` ("Text1"...), UTF-8.
    virtual std::string text(std::string_view control) const = 0;
    virtual void set_text(std::string_view control, std::string_view text) = 0;

    // A modal box with `text`, one OK button, no icon, the program's title;
    // returns once the user has dismissed it.
    virtual void show_message(std::string_view text) = 0;

    // Gives the box the keyboard focus with its whole text selected, ready
    // to be typed over. Called after show_message: where a message cannot
    // block the caller (a page's), the focus goes there once it is dismissed.
    virtual void focus_selected(std::string_view control) = 0;

    // Puts one piece on the clipboard in two forms, UTF-8 both: plain text,
    // and HTML for what pastes rich text (a word processor, a spreadsheet).
    virtual void copy_to_clipboard(std::string_view plain, std::string_view html) = 0;

    // Ends the program at once, asking nothing.
    virtual void end_program() = 0;
};

}  // namespace ui
