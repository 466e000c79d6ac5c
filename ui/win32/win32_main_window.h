// Form1 as a plain Win32 window built from the window description, and the
// view that the handlers talk to. Wide-character APIs only.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "ui/main_window.h"

namespace ui::win32 {

// Twips to pixels at a given DPI; the one conversion the front end makes.
inline int twips_to_pixels(int twips, UINT dpi) { return ui::twips_to_pixels(twips, static_cast<int>(dpi)); }

std::wstring to_wide(std::string_view utf8);
std::string to_utf8(const std::wstring& wide);

class Win32MainWindow : public View {
public:
    explicit Win32MainWindow(HINSTANCE instance, const WindowDescription& description = main_window());
    ~Win32MainWindow() override;
    Win32MainWindow(const Win32MainWindow&) = delete;
    Win32MainWindow& operator=(const Win32MainWindow&) = delete;

    bool create(int show_command);
    int run_message_loop();

    std::string text(std::string_view control) const override;
    void set_text(std::string_view control, std::string_view text) override;
    void show_message(std::string_view text) override;
    void focus_selected(std::string_view control) override;
    void copy_to_clipboard(std::string_view plain, std::string_view html) override;
    void end_program() override;

private:
    static LRESULT CALLBACK window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
    LRESULT handle(UINT message, WPARAM wparam, LPARAM lparam);
    static LRESULT CALLBACK text_box_proc(HWND box, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR index,
                                          DWORD_PTR self);
    void on_box_context_menu(HWND box, const Control& control, LPARAM lparam);

    void on_create();
    void on_command(WPARAM wparam, LPARAM lparam);
    void on_dpi_changed(UINT dpi, const RECT& suggested);
    bool on_activate(WPARAM wparam);
    void on_destroy();
    void annotate();

    HMENU create_menu_bar() const;
    void create_controls();
    void create_tooltips();
    void make_fonts();
    void free_fonts();
    HFONT font_for(const Control& control) const;
    RECT pixel_rect(const Control& control) const;
    void cut_out_higher_layers(std::size_t index, const RECT& pixels);
    void layout();
    SIZE window_size() const;
    HWND control(std::string_view name) const;

    HINSTANCE instance_;
    const WindowDescription& description_;
    HWND window_ = nullptr;
    HWND tooltips_ = nullptr;
    std::vector<HWND> controls_;  // in the order of the description
    HWND focus_ = nullptr;        // given back when the window is activated again
    UINT dpi_ = USER_DEFAULT_SCREEN_DPI;
    HFONT window_font_ = nullptr;  // of the controls without a font of their own
    struct OwnFont {
        const FontSpec* spec;
        HFONT font;
    };
    std::vector<OwnFont> own_fonts_;  // for controls with a font of their own
};

}  // namespace ui::win32
