// Starts Bemvara.exe and uses it from another process, as a user would:
// reads the window's texts, clicks, tabs, answers message boxes, chooses
// menu items. Every wait is bounded, so a hung program fails the test.
//
//   wine_driver.exe PATH\TO\Bemvara.exe [DPI [LOG]]
//
// With LOG, the file the program's Wine messages go to, the shared
// behaviour scenarios run as well.
#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <cwctype>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "tests/common/glyph_ink.h"
#include "tests/common/scenarios.h"
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
    // Where a control lies in the picture, at this DPI.
    const auto pixels = [&](const char* name) {
        const auto px = [&](int twips) { return ui::win32::twips_to_pixels(twips, static_cast<UINT>(dpi)); };
        const ui::TwipsRect& rect = ui::find_control(ui::main_window(), name)->rect;
        return glyph_ink::PixelRect{px(rect.left_twips), px(rect.top_twips), px(rect.width_twips),
                                    px(rect.height_twips)};
    };
    const auto ink = [&](const char* name) { return glyph_ink::ink_in(shot, pixels(name)); };
    using glyph_ink::first_glyph;
    const char* rows[][3] = {{"Label2", "Label3", "Label8"}, {"Label5", "Label6", "Label10"}};
    for (const auto& [raised, digit, plain] : rows) {
        const bool drawn = ink(digit).count() > 0 && first_glyph(ink(plain)).count() > 0;
        check(drawn && glyph_ink::same_ink(first_glyph(ink(raised)), first_glyph(ink(plain))),
              std::string("the m of ") + raised + " is whole under its raised " + digit);
    }
    check(glyph_ink::differ_in_shape(first_glyph(ink("Label1")), first_glyph(ink("Label9"))),
          "I and l differ in shape");
    // "l:" must not read as "1:": the l of its label against the 1 in Text3.
    const glyph_ink::InkMap one = first_glyph(glyph_ink::ink_in(shot, glyph_ink::inside_frame(pixels("Text3"))));
    const glyph_ink::InkMap l = first_glyph(ink("Label9"));
    check(one.count() > 0 && glyph_ink::read_apart(l, one), "l and 1 are read apart",
          to_wide("l " + glyph_ink::picture(l) + " 1 " + glyph_ink::picture(one)));
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

    // The button pressed from the keyboard: four Tabs from Text1 reach it.
    wait_for([&] { return driver.focused_name() == "Text1"; }, 5000);
    for (int i = 0; i < 4; ++i) driver.tab();
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

// The shared scenarios' keys and clicks sent to the program from outside,
// and what its window shows read back. Keys go in as the keyboard's own
// input (Shift held for Shift+Tab, F10 to the menu loop); characters and
// clicks are posted to the control they are meant for.
using Program = Driver;  // inside the class below, Driver is the scenarios' own

class ScenarioDriver : public scenarios::Driver {
public:
    ScenarioDriver(const Program& driver, std::wstring log) : driver_(driver), log_(std::move(log)) {}

    void key(const std::string& key) override {
        static const std::map<std::string, std::pair<WORD, bool>> keys{
            {"Tab", {VK_TAB, false}},     {"Shift+Tab", {VK_TAB, true}}, {"Enter", {VK_RETURN, false}},
            {"KeypadEnter", {VK_RETURN, true}}, {"F10", {VK_F10, false}},    {"Right", {VK_RIGHT, false}},
            {"Down", {VK_DOWN, false}},
        };
        const auto& [code, second] = keys.at(key);
        std::vector<INPUT> inputs;
        const auto add = [&](WORD vk, DWORD flags) {
            INPUT input{};
            input.type = INPUT_KEYBOARD;
            input.ki.wVk = vk;
            input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
            input.ki.dwFlags = flags;
            inputs.push_back(input);
        };
        // For Shift+Tab the second is Shift; for keypad Enter, the extended flag.
        const bool shift = second && code == VK_TAB;
        const DWORD extended = second && code == VK_RETURN ? KEYEVENTF_EXTENDEDKEY : 0;
        if (shift) add(VK_SHIFT, 0);
        add(code, extended);
        add(code, extended | KEYEVENTF_KEYUP);
        if (shift) add(VK_SHIFT, KEYEVENTF_KEYUP);
        SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
        Sleep(100);
    }
    void type(const std::string& text) override {
        const HWND target = driver_.focused();
        for (const wchar_t c : to_wide(text)) PostMessageW(target, WM_CHAR, c, 1);
    }
    void set_text(const std::string& box, const std::string& text) override {
        set_text_of(control(box), to_wide(text).c_str());
    }
    void click(const std::string& name) override {
        const HWND target = control(name);
        if (class_of(target) == L"Button") {
            PostMessageW(target, BM_CLICK, 0, 0);
            return;
        }
        RECT client{};
        GetClientRect(target, &client);
        const LPARAM middle = MAKELPARAM(client.right / 2, client.bottom / 2);
        PostMessageW(target, WM_LBUTTONDOWN, MK_LBUTTON, middle);
        PostMessageW(target, WM_LBUTTONUP, 0, middle);
        Sleep(100);
    }
    void double_click(const std::string& box, int index) override {
        const HWND target = control(box);
        DWORD_PTR before = 0, after = 0;
        SendMessageTimeoutW(target, EM_POSFROMCHAR, static_cast<WPARAM>(index), 0, SMTO_ABORTIFHUNG, 5000, &before);
        SendMessageTimeoutW(target, EM_POSFROMCHAR, static_cast<WPARAM>(index + 1), 0, SMTO_ABORTIFHUNG, 5000, &after);
        RECT client{};
        GetClientRect(target, &client);
        const LPARAM at = MAKELPARAM((LOWORD(before) + LOWORD(after)) / 2, client.bottom / 2);
        for (const UINT message : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP})
            PostMessageW(target, message, message == WM_LBUTTONUP ? 0 : MK_LBUTTON, at);
        Sleep(100);
    }

    std::string focus() override {
        const HWND focused = driver_.focused();
        if (focused && GetDlgCtrlID(focused) == IDOK && class_of(GetParent(focused)) == L"#32770") return "OK";
        return driver_.focused_name();
    }
    std::string text(const std::string& box) override { return to_utf8(text_of(control(box))); }
    std::string selected(const std::string& box) override {
        DWORD_PTR range = 0;
        SendMessageTimeoutW(control(box), EM_GETSEL, 0, 0, SMTO_ABORTIFHUNG, 5000, &range);
        const std::wstring all = text_of(control(box));
        const std::size_t first = std::min<std::size_t>(LOWORD(range), all.size());
        const std::size_t last = std::min<std::size_t>(HIWORD(range), all.size());
        return to_utf8(all.substr(first, last > first ? last - first : 0));
    }
    std::optional<std::string> message() override {
        const HWND box = find_window(driver_.process_.dwProcessId, L"#32770");
        if (!box) return std::nullopt;
        return to_utf8(text_of(GetDlgItem(box, 0xFFFF)));
    }
    // Wine records the annotations a screen reader would be given, and no
    // more: the last name the program gave this box, read from the log.
    std::string name(const std::string& box) override {
        wchar_t handle[32];
        swprintf(handle, 32, L"(%016llX ", static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(control(box))));
        const std::wstring name_property = L"{608d3df8-8128-4aa7-a428-f55e49267291} L\"";
        std::wstring found = L"(not annotated)";
        std::wistringstream lines(read_log());
        for (std::wstring line; std::getline(lines, line);) {
            const std::size_t at = line.find(name_property);
            if (line.find(L"SetHwndPropStr") == std::wstring::npos || line.find(handle) == std::wstring::npos ||
                at == std::wstring::npos)
                continue;
            found = unescape(line.substr(at + name_property.size()));
        }
        return to_utf8(found);
    }
    void pause() override { Sleep(50); }

private:
    HWND control(const std::string& name) const { return driver_.control(name.c_str()); }

    std::wstring read_log() const {
        const HANDLE file = CreateFileW(log_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE) return {};
        std::string bytes;
        char buffer[65536];
        DWORD read = 0;
        while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0) bytes.append(buffer, read);
        CloseHandle(file);
        return to_wide(bytes);
    }
    // Wine writes a string's other characters as \XXXX, in hex.
    static std::wstring unescape(const std::wstring& logged) {
        std::wstring text;
        for (std::size_t i = 0; i < logged.size() && logged[i] != L'"'; ++i) {
            if (logged[i] != L'\\' || i + 1 >= logged.size()) {
                text += logged[i];
            } else if (i + 4 < logged.size() && iswxdigit(logged[i + 1])) {
                text += static_cast<wchar_t>(std::wcstoul(logged.substr(i + 1, 4).c_str(), nullptr, 16));
                i += 4;
            } else {
                text += logged[++i];
            }
        }
        return text;
    }

    const Program& driver_;
    std::wstring log_;
};

struct Started {
    PROCESS_INFORMATION process{};
    HWND window = nullptr;
};

Started start(const wchar_t* program) {
    Started started;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (!CreateProcessW(program, nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started.process)) {
        std::printf("not ok - cannot start the program (error %lu)\n", GetLastError());
        return started;
    }
    WaitForInputIdle(started.process.hProcess, 30000);
    wait_for([&] {
        return (started.window = find_window(started.process.dwProcessId, ui::win32::kWindowClass)) != nullptr;
    }, 30000);
    return started;
}

void stop(const Started& started) {
    if (WaitForSingleObject(started.process.hProcess, 0) != WAIT_OBJECT_0) {
        TerminateProcess(started.process.hProcess, 1);
        WaitForSingleObject(started.process.hProcess, 10000);
    }
    CloseHandle(started.process.hProcess);
    CloseHandle(started.process.hThread);
}

// Each shared scenario on a program started afresh.
void run_scenarios(const wchar_t* program, const std::wstring& log) {
    for (const scenarios::Scenario& scenario : scenarios::read(BEMVARA_TABLES_DIR "/behaviour.txt")) {
        const Started started = start(program);
        std::string failures;
        if (started.window) {
            Driver driver(started.window, started.process);
            ScenarioDriver steps(driver, log);
            wait_for([&] { return driver.focused_name() == "Text1"; }, 5000);
            int number = 0;
            for (const scenarios::Step& step : scenario.steps) {
                ++number;
                const std::string failure = scenarios::run_step(steps, step, 100);
                if (!failure.empty()) failures += "step " + std::to_string(number) + ": " + failure + "; ";
            }
        } else {
            failures = "the window did not open";
        }
        check(failures.empty(), "scenario: " + scenario.name, to_wide(failures));
        stop(started);
    }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        std::fputs("usage: wine_driver PATH\\TO\\Bemvara.exe [DPI [LOG]]\n", stderr);
        return 2;
    }
    const Started started = start(argv[1]);
    check(started.window != nullptr, "the window opens");
    if (started.window) {
        Driver driver(started.window, started.process);
        run(driver, argc > 2 ? _wtoi(argv[2]) : USER_DEFAULT_SCREEN_DPI);
    }
    stop(started);
    // The behaviour scenarios, where the log of what the program told a
    // screen reader can be read.
    if (argc > 3) run_scenarios(argv[1], argv[3]);
    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 && passed > 0 ? 0 : 1;
}
