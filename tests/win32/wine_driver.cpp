// Starts Bemvara.exe and uses it from another process, as a user would:
// reads the window's texts, clicks, tabs, answers message boxes, chooses
// menu items. Every wait is bounded, so a hung program fails the test.
//
//   wine_driver.exe PATH\TO\Bemvara.exe [DPI]
#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/common/glyph_ink.h"
#include "ui/main_window.h"
#include "ui/win32/win32_ids.h"
#include "ui/win32/win32_main_window.h"

namespace {

using ui::win32::to_utf8;
using ui::win32::to_wide;

int passed = 0;
int failed = 0;

void check(bool condition, const std::string& what, const std::wstring& detail = L"") {
    (condition ? passed : failed)++;
    std::printf("%s - %s%s%s\n", condition ? "ok" : "not ok", what.c_str(), detail.empty() ? "" : ": ",
                to_utf8(detail).c_str());
    std::fflush(stdout);
}

template <typename Condition>
bool wait_for(Condition condition, DWORD milliseconds = 10000) {
    for (DWORD waited = 0; waited < milliseconds; waited += 50) {
        if (condition()) return true;
        Sleep(50);
    }
    return condition();
}

std::wstring text_of(HWND window) {
    wchar_t buffer[1024] = {};
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(buffer), SMTO_ABORTIFHUNG, 5000, &copied);
    return buffer;
}

void set_text_of(HWND window, const wchar_t* text) {
    DWORD_PTR result = 0;
    SendMessageTimeoutW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000, &result);
}

std::wstring class_of(HWND window) {
    wchar_t name[256] = {};
    GetClassNameW(window, name, 256);
    return name;
}

// The program's visible top-level window of the given class, if any.
HWND find_window(DWORD process, const wchar_t* window_class) {
    struct Search {
        DWORD process;
        const wchar_t* window_class;
        HWND found;
    } search{process, window_class, nullptr};
    EnumWindows(
        [](HWND window, LPARAM data) -> BOOL {
            auto& search = *reinterpret_cast<Search*>(data);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner != search.process || !IsWindowVisible(window) || class_of(window) != search.window_class)
                return TRUE;
            search.found = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// The tooltip control that the program made for its window.
HWND find_tooltips(HWND owner) {
    struct Search {
        HWND owner;
        HWND found;
    } search{owner, nullptr};
    EnumWindows(
        [](HWND window, LPARAM data) -> BOOL {
            auto& search = *reinterpret_cast<Search*>(data);
            if (class_of(window) != TOOLTIPS_CLASSW || GetWindow(window, GW_OWNER) != search.owner) return TRUE;
            search.found = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

class Driver {
public:
    Driver(HWND window, const PROCESS_INFORMATION& process) : window_(window), process_(process) {}

    HWND control(const char* name) const {
        return GetDlgItem(window_, *ui::win32::control_id(ui::main_window(), name));
    }
    std::wstring text(const char* name) const { return text_of(control(name)); }

    HWND focused() const {
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        GetGUIThreadInfo(process_.dwThreadId, &info);
        return info.hwndFocus;
    }
    std::string focused_name() const {
        const HWND focus = focused();
        for (const ui::Control& each : ui::main_window().controls)
            if (control(std::string(each.name).c_str()) == focus) return std::string(each.name);
        return "(none)";
    }

    // A key pressed while `target` has the focus; the program's message loop
    // sees it just as it sees a real key.
    void press(HWND target, WPARAM key) const {
        PostMessageW(target, WM_KEYDOWN, key, 1);
        PostMessageW(target, WM_KEYUP, key, 0xC0000001);
    }
    bool tab() const {
        const HWND before = focused();
        press(before, VK_TAB);
        return wait_for([&] { return focused() != before; }, 5000);
    }

    void choose(const char* menu_item) const {
        PostMessageW(window_, WM_COMMAND, MAKEWPARAM(*ui::win32::menu_item_id(ui::main_window(), menu_item), 0), 0);
    }

    // Waits for a message box, reads it, presses its OK button.
    struct Box {
        bool seen = false;
        std::wstring title, text, button;
        int buttons = 0;
        bool has_icon = false;
    };
    Box answer_message_box() const {
        Box box;
        HWND found = nullptr;
        if (!wait_for([&] { return (found = find_window(process_.dwProcessId, L"#32770")) != nullptr; })) return box;
        box.seen = true;
        box.title = text_of(found);
        box.text = text_of(GetDlgItem(found, 0xFFFF));  // the message's static text
        box.has_icon = GetDlgItem(found, 0x14) != nullptr && IsWindowVisible(GetDlgItem(found, 0x14));
        for (HWND child = GetWindow(found, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
            if (class_of(child) == L"Button" && IsWindowVisible(child)) {
                ++box.buttons;
                box.button = text_of(child);
            }
        PostMessageW(found, WM_COMMAND, IDOK, 0);
        wait_for([&] { return !IsWindow(found); }, 5000);
        return box;
    }

    void click(const char* name) const { PostMessageW(control(name), BM_CLICK, 0, 0); }

    HWND window_;
    PROCESS_INFORMATION process_;
};

// The window's client area as the screen shows it, in grey.
glyph_ink::GrayImage capture_client(HWND window) {
    RECT client{};
    GetClientRect(window, &client);
    POINT origin{0, 0};
    ClientToScreen(window, &origin);
    glyph_ink::GrayImage image;
    image.width = client.right;
    image.height = client.bottom;
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), image.width, -image.height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    const HDC screen = GetDC(nullptr);
    const HDC memory = CreateCompatibleDC(screen);
    void* bits = nullptr;
    const HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    const HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, image.width, image.height, screen, origin.x, origin.y, SRCCOPY);
    GdiFlush();
    const auto* bgra = static_cast<const unsigned char*>(bits);
    for (int i = 0; i < image.width * image.height; ++i, bgra += 4)
        image.luma.push_back(static_cast<unsigned char>((114 * bgra[0] + 587 * bgra[1] + 299 * bgra[2]) / 1000));
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return image;
}

// From the pixels: the "m" under each raised digit is as whole as the plain
// "m" of the rows below, and "I" and "l" differ in shape.
void check_glyphs(const Driver& driver, int dpi) {
    RedrawWindow(driver.window_, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    Sleep(500);
    const glyph_ink::GrayImage shot = capture_client(driver.window_);
    const auto ink = [&](const char* name) {
        for (const ui::Control& each : ui::main_window().controls)
            if (each.name == name) {
                const auto px = [&](int twips) { return ui::win32::twips_to_pixels(twips, static_cast<UINT>(dpi)); };
                return glyph_ink::ink_in(shot, {px(each.rect.left_twips), px(each.rect.top_twips),
                                                px(each.rect.width_twips), px(each.rect.height_twips)});
            }
        return glyph_ink::InkMap{};
    };
    using glyph_ink::first_glyph;
    const char* rows[][3] = {{"Label2", "Label3", "Label8"}, {"Label5", "Label6", "Label10"}};
    for (const auto& [raised, digit, plain] : rows) {
        const bool drawn = ink(digit).count() > 0 && first_glyph(ink(plain)).count() > 0;
        check(drawn && glyph_ink::same_ink(first_glyph(ink(raised)), first_glyph(ink(plain))),
              std::string("the m of ") + raised + " is whole under its raised " + digit);
    }
    check(glyph_ink::differ_in_shape(first_glyph(ink("Label1")), first_glyph(ink("Label9"))),
          "I and l differ in shape");
}

void run(Driver& driver, int dpi) {
    check_glyphs(driver, dpi);

    const struct {
        const char* box;
        const wchar_t* text;
    } initial[] = {{"Text1", L"0.025"}, {"Text2", L"0.016"}, {"Text3", L"1"}, {"Text4", L"20"}, {"Text5", L""}};
    for (const auto& each : initial)
        check(driver.text(each.box) == each.text, std::string("initial text of ") + each.box, driver.text(each.box));

    // 279 x 136 at 96 dpi; 419 x 204 at 144.
    RECT client{};
    GetClientRect(driver.window_, &client);
    const auto& window = ui::main_window();
    const int width = MulDiv(window.client_width_twips, dpi, ui::kTwipsPerInch);
    const int height = MulDiv(window.client_height_twips, dpi, ui::kTwipsPerInch);
    check(client.right == width && client.bottom == height,
          "client area is " + std::to_string(width) + " x " + std::to_string(height) + " at " + std::to_string(dpi) + " dpi",
          std::to_wstring(client.right) + L" x " + std::to_wstring(client.bottom));

    // One tooltip control holds a tool for each of the five symbol labels.
    HWND tooltips = nullptr;
    wait_for([&] { return (tooltips = find_tooltips(driver.window_)) != nullptr; }, 5000);
    DWORD_PTR tools = 0;
    if (tooltips) SendMessageTimeoutW(tooltips, TTM_GETTOOLCOUNT, 0, 0, SMTO_ABORTIFHUNG, 5000, &tools);
    check(tools == 5, "five labels have tooltips", std::to_wstring(tools));

    check(wait_for([&] { return driver.focused_name() == "Text1"; }, 5000), "focus starts in Text1",
          to_wide(driver.focused_name()));
    std::string order;
    for (int i = 0; i < 6; ++i) {
        driver.tab();
        order += driver.focused_name() + " ";
    }
    check(order == "Text2 Text3 Text4 Command1 Text5 Text1 ", "Tab goes round the boxes and the button", to_wide(order));

    for (int i = 0; i < 4; ++i) driver.tab();
    check(driver.focused_name() == "Command1", "four tabs from Text1 reach Command1", to_wide(driver.focused_name()));
    driver.press(driver.focused(), VK_RETURN);
    check(wait_for([&] { return driver.text("Text5") == L" .453125"; }), "Enter on Command1 calculates",
          driver.text("Text5"));

    set_text_of(driver.control("Text5"), L"");
    driver.click("Command1");
    check(wait_for([&] { return driver.text("Text5") == L" .453125"; }), "a click on 计算 gives .453125",
          driver.text("Text5"));

    set_text_of(driver.control("Text1"), L"");
    set_text_of(driver.control("Text5"), L"kept");
    driver.click("Command1");
    const Driver::Box message = driver.answer_message_box();
    check(message.seen, "an empty I brings a message box");
    check(message.text == L"抗弯惯性矩I不可能小于等于0", "it names I", message.text);
    check(message.title == L"Bemvara", "it has the program's title", message.title);
    check(message.buttons == 1 && !message.has_icon, "one button and no icon");
    check(message.button == L"确定", "its button reads 确定", message.button);
    check(driver.text("Text5") == L"kept", "Text5 keeps its text", driver.text("Text5"));
    check(driver.text("Text1").empty(), "Text1 is not rewritten", driver.text("Text1"));

    set_text_of(driver.control("Text1"), L"0.025");
    driver.choose("HELP");
    const Driver::Box help = driver.answer_message_box();
    check(help.text == to_wide(ui::kHelpNote), "帮助 shows the help note", help.text);
    driver.choose("WRITER");
    const Driver::Box writer = driver.answer_message_box();
    check(!writer.text.empty() && writer.text.back() == L'!', "作者 shows the author note", writer.text);
    check(driver.text("Text1") == L"0.025" && driver.text("Text5") == L"kept", "notes change no box");

    driver.choose("EXIT");
    DWORD exit_code = 1;
    const bool ended = WaitForSingleObject(driver.process_.hProcess, 10000) == WAIT_OBJECT_0;
    GetExitCodeProcess(driver.process_.hProcess, &exit_code);
    check(ended && exit_code == 0, "退出 ends the program", L"exit code " + std::to_wstring(exit_code));
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        std::fputs("usage: wine_driver PATH\\TO\\Bemvara.exe [DPI]\n", stderr);
        return 2;
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(argv[1], nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        std::printf("not ok - cannot start the program (error %lu)\n", GetLastError());
        return 1;
    }
    WaitForInputIdle(process.hProcess, 30000);
    HWND window = nullptr;
    wait_for([&] { return (window = find_window(process.dwProcessId, ui::win32::kWindowClass)) != nullptr; }, 30000);
    check(window != nullptr, "the window opens");
    if (window) {
        Driver driver(window, process);
        run(driver, argc > 2 ? _wtoi(argv[2]) : USER_DEFAULT_SCREEN_DPI);
    }
    if (WaitForSingleObject(process.hProcess, 0) != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 1);
    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 && passed > 0 ? 0 : 1;
}
