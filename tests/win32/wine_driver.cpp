// Starts Bemvara.exe and uses it from another process, as a user would:
// the shared behaviour scenarios, each on a program started afresh, and
// the glyphs read off the screen. Every wait is bounded, so a hung program
// fails the test.
//
//   wine_driver.exe PATH\TO\Bemvara.exe DPI LOG [SCENARIO...]
//
// LOG is the file the program's Wine messages go to; with SCENARIOs named,
// only those run.
#include <windows.h>

#include <commctrl.h>
#include <oleacc.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
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

// The program as it runs: its process and its window.
struct Program {
    PROCESS_INFORMATION process{};
    HWND window = nullptr;
    int dpi = USER_DEFAULT_SCREEN_DPI;

    HWND control(const std::string& name) const {
        const std::optional<int> id = ui::win32::control_id(ui::main_window(), name);
        return id ? GetDlgItem(window, *id) : nullptr;
    }
    HWND focused() const {
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        GetGUIThreadInfo(process.dwThreadId, &info);
        return info.hwndFocus;
    }
    std::string name_of(HWND child) const {
        for (const ui::Control& each : ui::main_window().controls)
            if (control(std::string(each.name)) == child) return std::string(each.name);
        return "(none)";
    }
    int pixels(int twips) const { return ui::twips_to_pixels(twips, dpi); }
};

Program start(const wchar_t* path, int dpi) {
    Program program;
    program.dpi = dpi;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (!CreateProcessW(path, nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &program.process)) {
        std::printf("not ok - cannot start the program (error %lu)\n", GetLastError());
        return program;
    }
    WaitForInputIdle(program.process.hProcess, 30000);
    wait_for([&] {
        return (program.window = find_window(program.process.dwProcessId, ui::win32::kWindowClass)) != nullptr;
    }, 30000);
    return program;
}

void stop(const Program& program) {
    if (WaitForSingleObject(program.process.hProcess, 0) != WAIT_OBJECT_0) {
        TerminateProcess(program.process.hProcess, 1);
        WaitForSingleObject(program.process.hProcess, 10000);
    }
    CloseHandle(program.process.hProcess);
    CloseHandle(program.process.hThread);
}

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

void check_glyphs(const Program& program) {
    RedrawWindow(program.window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    Sleep(500);
    const std::vector<std::string> failures =
        glyph_ink::window_reads_right(capture_client(program.window), [&](const char* name) {
            const ui::TwipsRect& rect = ui::find_control(ui::main_window(), name)->rect;
            return glyph_ink::PixelRect{program.pixels(rect.left_twips), program.pixels(rect.top_twips),
                                        program.pixels(rect.width_twips), program.pixels(rect.height_twips)};
        });
    std::string all;
    for (const std::string& failure : failures) all += failure + "; ";
    check(failures.empty(), "the window's glyphs read right at " + std::to_string(program.dpi) + " dpi",
          to_wide(all));
}

// The shared scenarios' keys and the mouse sent to the program as the
// keyboard's and the mouse's own input (Shift held for Shift+Tab, F10 and
// Alt to the menu loop); characters and clicks on controls are posted to
// the control they are meant for. What the window shows is read back.
// Not in every SDK's headers.
constexpr DWORD kLiveRegionChanged = 0x8019;  // EVENT_OBJECT_LIVEREGIONCHANGED

class WineDriver : public scenarios::Driver {
public:
    WineDriver(const Program& program, std::wstring log) : program_(program), log_(std::move(log)) {
        live_region_ = nullptr;
    }
    ~WineDriver() override {
        if (live_region_hook_) UnhookWinEvent(live_region_hook_);
    }
    WineDriver(const WineDriver&) = delete;
    WineDriver& operator=(const WineDriver&) = delete;

    void key(const std::string& key) override {
        static const std::map<std::string, std::pair<WORD, bool>> keys{
            {"Tab", {VK_TAB, false}},         {"Shift+Tab", {VK_TAB, true}},   {"Enter", {VK_RETURN, false}},
            {"KeypadEnter", {VK_RETURN, true}}, {"F10", {VK_F10, false}},      {"Right", {VK_RIGHT, false}},
            {"Down", {VK_DOWN, false}},       {"Space", {VK_SPACE, false}},    {"Escape", {VK_ESCAPE, false}},
            {"Alt", {VK_MENU, false}},          {"Menu", {VK_APPS, false}},      {"Shift+F10", {VK_F10, true}},
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
        // For Shift+Tab and Shift+F10 the second is Shift; for keypad Enter, the extended flag.
        const bool shift = second && (code == VK_TAB || code == VK_F10);
        const DWORD extended = second && code == VK_RETURN ? KEYEVENTF_EXTENDEDKEY : 0;
        if (shift) add(VK_SHIFT, 0);
        add(code, extended);
        add(code, extended | KEYEVENTF_KEYUP);
        if (shift) add(VK_SHIFT, KEYEVENTF_KEYUP);
        const HWND before = program_.focused();
        SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
        // Tab is done when the focus has moved: what is typed next goes to
        // the box it reached, however loaded the machine. (Where the focus
        // is on the one tab stop of its dialog, a message's 确定, it has
        // nowhere to go.) Other keys, once the program waits for input again.
        const bool focus_can_move = before && GetNextDlgTabItem(GetParent(before), before, shift) != before;
        if (code == VK_TAB && focus_can_move) wait_for([&] { return program_.focused() != before; }, 5000);
        Sleep(100);
        WaitForInputIdle(program_.process.hProcess, 5000);
    }
    void type(const std::string& text) override {
        const HWND target = program_.focused();
        for (const wchar_t c : to_wide(text)) PostMessageW(target, WM_CHAR, c, 1);
    }
    void set_text(const std::string& box, const std::string& text) override {
        set_text_of(program_.control(box), to_wide(text).c_str());
    }
    void click(const std::string& name) override {
        const HWND target = program_.control(name);
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
        const HWND target = program_.control(box);
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
    void choose(const std::string& item) override {
        if (const std::optional<int> id = ui::win32::menu_item_id(ui::main_window(), item)) {
            PostMessageW(program_.window, WM_COMMAND, MAKEWPARAM(*id, 0), 0);
            Sleep(100);
            return;
        }
        // A box's command, from the box's context menu.
        for (const ui::Control& control : ui::main_window().controls)
            for (const ui::MenuItem& command : control.commands)
                if (command.name == item)
                    choose_from_context_menu(control.name, static_cast<int>(&command - control.commands.data()));
    }
    std::string clipboard_text() override {
        std::string text;
        with_clipboard([&] {
            const HANDLE data = GetClipboardData(CF_UNICODETEXT);
            if (const auto* wide = data ? static_cast<const wchar_t*>(GlobalLock(data)) : nullptr) text = to_utf8(wide);
            if (data) GlobalUnlock(data);
        });
        for (std::size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at)) text.erase(at, 1);
        return text;
    }
    // The fragment that the offsets of the "HTML Format" header mark.
    std::string clipboard_html() override {
        std::string html;
        with_clipboard([&] {
            const HANDLE data = GetClipboardData(RegisterClipboardFormatW(L"HTML Format"));
            if (const auto* bytes = data ? static_cast<const char*>(GlobalLock(data)) : nullptr) html = bytes;
            if (data) GlobalUnlock(data);
        });
        const std::size_t first = html.find("StartFragment:"), last = html.find("EndFragment:");
        if (first == std::string::npos || last == std::string::npos) return "(no fragment in: " + html + ")";
        const std::size_t from = std::stoul(html.substr(first + 14)), to = std::stoul(html.substr(last + 12));
        return from <= to && to <= html.size() ? html.substr(from, to - from) : "(fragment outside: " + html + ")";
    }

    std::string focus() override {
        const HWND focused = program_.focused();
        if (focused && GetDlgCtrlID(focused) == IDOK && class_of(GetParent(focused)) == L"#32770") return "OK";
        return program_.name_of(focused);
    }
    std::string text(const std::string& box) override { return to_utf8(text_of(program_.control(box))); }
    std::string selected(const std::string& box) override {
        DWORD_PTR range = 0;
        SendMessageTimeoutW(program_.control(box), EM_GETSEL, 0, 0, SMTO_ABORTIFHUNG, 5000, &range);
        const std::wstring all = text_of(program_.control(box));
        const std::size_t first = std::min<std::size_t>(LOWORD(range), all.size());
        const std::size_t last = std::min<std::size_t>(HIWORD(range), all.size());
        return to_utf8(all.substr(first, last > first ? last - first : 0));
    }
    std::optional<scenarios::Message> message() override {
        const HWND box = find_window(program_.process.dwProcessId, L"#32770");
        if (!box) return std::nullopt;
        scenarios::Message seen{to_utf8(text_of(GetDlgItem(box, 0xFFFF))), to_utf8(text_of(box)), "", false};
        // The icon is a static holding one, whatever its id (Windows gives
        // it 0x14, Wine 0x440, which is there, empty, when there is none).
        for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
            if (!IsWindowVisible(child)) continue;
            if (class_of(child) == L"Button") seen.buttons += (seen.buttons.empty() ? "" : " ") + to_utf8(text_of(child));
            const bool shows_icon = (GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON &&
                                    SendMessageW(child, STM_GETICON, 0, 0) != 0;
            if (class_of(child) == L"Static" && shows_icon) seen.icon = true;
        }
        return seen;
    }
    // Wine records the annotations a screen reader would be given, and no
    // more: the last name the program gave this box, read from the log.
    std::string name(const std::string& box) override {
        wchar_t handle[32];
        swprintf(handle, 32, L"(%016llX ",
                 static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(program_.control(box))));
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
    std::string title() override { return to_utf8(text_of(program_.window)); }
    // A box raises a live-region change as its result is set; a screen
    // reader says what MSAA gives for the box that raised it, its name and
    // its value, word after word (blanks are not said).
    std::string announced() override {
        pump_messages();
        if (!live_region_) return "";
        IAccessible* accessible = nullptr;
        VARIANT child{};
        if (FAILED(AccessibleObjectFromEvent(live_region_, OBJID_CLIENT, CHILDID_SELF, &accessible, &child)))
            return "(no accessible object)";
        BSTR name = nullptr;
        BSTR value = nullptr;
        accessible->get_accName(child, &name);
        accessible->get_accValue(child, &value);
        std::wistringstream words(std::wstring(name ? name : L"") + L" " + (value ? value : L""));
        std::wstring said;
        for (std::wstring word; words >> word;) said += (said.empty() ? L"" : L" ") + word;
        SysFreeString(name);
        SysFreeString(value);
        VariantClear(&child);
        accessible->Release();
        return to_utf8(said);
    }
    bool ended() override {
        DWORD exit_code = 1;
        return WaitForSingleObject(program_.process.hProcess, 0) == WAIT_OBJECT_0 &&
               GetExitCodeProcess(program_.process.hProcess, &exit_code) && exit_code == 0;
    }
    std::string on_top(int x_twips, int y_twips) override {
        // The first sibling, top down, whose shape (its region, if it has
        // one) holds the point: what paints there and takes a click there.
        POINT at{program_.pixels(x_twips), program_.pixels(y_twips)};
        ClientToScreen(program_.window, &at);
        for (HWND child = GetWindow(program_.window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
            RECT rect{};
            if (!IsWindowVisible(child) || !GetWindowRect(child, &rect) || !PtInRect(&rect, at)) continue;
            HRGN region = CreateRectRgn(0, 0, 0, 0);
            const bool shaped = GetWindowRgn(child, region) != ERROR;
            const bool inside = !shaped || PtInRegion(region, at.x - rect.left, at.y - rect.top);
            DeleteObject(region);
            if (inside) return program_.name_of(child);
        }
        return "(none)";
    }
    // The pointer is moved there as the mouse moves it, and the tooltip that
    // shows read back.
    std::string tooltip(const std::string& name) override {
        RECT rect{};
        GetWindowRect(program_.control(name), &rect);
        const POINT middle{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
        POINT now{};
        if (GetCursorPos(&now) && (now.x != middle.x || now.y != middle.y)) {
            INPUT move{};
            move.type = INPUT_MOUSE;
            move.mi.dx = MulDiv(middle.x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
            move.mi.dy = MulDiv(middle.y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
            move.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
            SendInput(1, &move, sizeof move);
        }
        const HWND tip = find_tooltips(program_.window);
        return tip && IsWindowVisible(tip) ? to_utf8(text_of(tip)) : "";
    }
    // Where a pixel is not a whole number of twips, the twips of whole
    // 96-dpi pixels that make exactly these pixels, if there are such.
    std::string twips(LONG pixels) const {
        const int measured = MulDiv(pixels, ui::kTwipsPerInch, program_.dpi);
        const int step = ui::kTwipsPerPixelAt96Dpi;
        const int whole = (measured + step / 2) / step * step;
        return std::to_string(program_.pixels(whole) == pixels ? whole : measured);
    }
    std::string client_size() override {
        RECT client{};
        GetClientRect(program_.window, &client);
        return twips(client.right) + " " + twips(client.bottom);
    }
    std::string place(const std::string& name) override {
        RECT r{};
        GetWindowRect(program_.control(name), &r);
        MapWindowPoints(nullptr, program_.window, reinterpret_cast<POINT*>(&r), 2);
        return twips(r.left) + " " + twips(r.top) + " " + twips(r.right - r.left) + " " + twips(r.bottom - r.top);
    }
    // Where the box draws its first character and past its last, against
    // its width; a character scrolled out of sight lies outside it.
    std::string shows_whole(const std::string& box) override {
        const HWND target = program_.control(box);
        const std::size_t length = text_of(target).size();
        if (length < 2) return "yes";
        const auto x = [&](std::size_t index) {
            DWORD_PTR at = 0;
            SendMessageTimeoutW(target, EM_POSFROMCHAR, index, 0, SMTO_ABORTIFHUNG, 5000, &at);
            return static_cast<int>(static_cast<short>(LOWORD(at)));
        };
        RECT client{};
        GetClientRect(target, &client);
        const int first = x(0), last = x(length - 1), end = last + (last - x(length - 2));
        if (first >= 0 && end <= client.right) return "yes";
        return "shows " + std::to_string(client.right) + " px of " + std::to_string(first) + ".." + std::to_string(end);
    }
    // Measured on the screen, where the program has placed the two.
    std::string level(const std::string& label, const std::string& box) override {
        RedrawWindow(program_.window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        const auto placed = [&](const std::string& name, int inset) {
            RECT rect{};
            GetWindowRect(program_.control(name), &rect);
            MapWindowPoints(nullptr, program_.window, reinterpret_cast<POINT*>(&rect), 2);
            return glyph_ink::PixelRect{rect.left + inset, rect.top + inset, rect.right - rect.left - 2 * inset,
                                        rect.bottom - rect.top - 2 * inset};
        };
        // The box's text inside its frame.
        return glyph_ink::level(capture_client(program_.window), placed(label, 0), placed(box, MulDiv(3, program_.dpi, 96)),
                                MulDiv(1, program_.dpi, 96));
    }
    template <typename Use>
    static void with_clipboard(Use use) {
        if (!wait_for([] { return OpenClipboard(nullptr) != 0; }, 2000)) return;
        use();
        CloseClipboard();
    }

    // Opened as a right-click opens it, at the box's middle; its item is
    // then taken with the keys (the menu is the program process's own, and
    // Wine answers for its items only there). The box's commands come first.
    void choose_from_context_menu(std::string_view box, int index) {
        const HWND target = program_.control(std::string(box));
        RECT rect{};
        GetWindowRect(target, &rect);
        PostMessageW(target, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(target),
                     MAKELPARAM((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2));
        Sleep(300);
        for (int i = 0; i <= index; ++i) key("Down");
        key("Enter");
    }

    void pause() override {
        Sleep(50);
        pump_messages();
    }

private:
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

    // The events the program raises come to this thread as messages.
    static void pump_messages() {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    }
    static void CALLBACK on_live_region(HWINEVENTHOOK, DWORD, HWND box, LONG object, LONG child, DWORD, DWORD) {
        if (object == OBJID_CLIENT && child == CHILDID_SELF) live_region_ = box;
    }

    const Program& program_;
    std::wstring log_;
    static inline HWND live_region_ = nullptr;
    HWINEVENTHOOK live_region_hook_ = SetWinEventHook(kLiveRegionChanged, kLiveRegionChanged, nullptr, on_live_region,
                                                      program_.process.dwProcessId, 0, WINEVENT_OUTOFCONTEXT);
};

// A screen reader that takes no annotations names a box after the static
// made just before it: that must be the box's symbol label.
void check_labels_precede_boxes(const Program& program) {
    for (const ui::Control& box : ui::main_window().controls) {
        const ui::Control* label = ui::symbol_label_of(ui::main_window(), box);
        if (!label) continue;
        const std::string before = program.name_of(GetWindow(program.control(std::string(box.name)), GW_HWNDPREV));
        check(before == label->name, "the sibling before " + std::string(box.name) + " is its label",
              to_wide("it is " + before));
    }
}

// The rows of ink a drawing spans, top and bottom; {-1, -1} for none.
std::pair<int, int> ink_rows(const glyph_ink::InkMap& map) {
    int top = -1, bottom = -1;
    for (int y = 0; y < map.height; ++y)
        for (int x = 0; x < map.width; ++x)
            if (map.at(x, y)) {
                if (top < 0) top = y;
                bottom = y;
            }
    return {top, bottom};
}

// What a Chinese input method types into a box, and the raised digits the
// window shows, drawn as themselves rather than as empty squares: a
// full-width form as its ASCII glyph, the ideographic stop as a small mark
// on the baseline, the ideographic space as nothing, and each raised digit
// small, high, and unlike the one before.
void check_typed_forms(const Program& program) {
    const HWND box = program.control("Text3");  // not focused: no caret in the picture
    RECT rect{};
    GetWindowRect(box, &rect);
    MapWindowPoints(nullptr, program.window, reinterpret_cast<POINT*>(&rect), 2);
    const glyph_ink::PixelRect inside =
        glyph_ink::inside_frame({rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top});
    const auto shown = [&] { return glyph_ink::ink_in(capture_client(program.window), inside); };
    // The program paints in its own time: the picture is taken once the
    // text has ink and held still for one more look. From an empty box
    // each time: a glyph drawn as the one before it was (as a full-width
    // form and its ASCII one are) would change nothing to wait for. (A
    // text that draws nothing is taken after three seconds.)
    const auto inked = [](const glyph_ink::InkMap& map) { return ink_rows(map).first >= 0; };
    const auto drawn = [&](const wchar_t* text) {
        set_text_of(box, L"");
        wait_for([&] { return !inked(shown()); }, 3000);
        set_text_of(box, text);
        glyph_ink::InkMap now = shown(), last;
        wait_for([&] {
            last = now;
            now = shown();
            return inked(now) && now.ink == last.ink;
        }, 3000);
        return now;
    };
    const std::wstring wide = L"０１２３４５６７８９＋－．Ｅｅ", ascii = L"0123456789+-.Ee";
    // The face sets them a quarter em into their cell: whole pixels at 96
    // and 192 dpi; at 144 half of one, where a smoothed glyph's edges differ.
    for (std::size_t i = 0; program.dpi % 96 == 0 && i < wide.size(); ++i) {
        const glyph_ink::InkMap as_typed = glyph_ink::first_glyph(drawn(wide.substr(i, 1).c_str()));
        const glyph_ink::InkMap as_ascii = glyph_ink::first_glyph(drawn(ascii.substr(i, 1).c_str()));
        check(glyph_ink::same_ink(as_typed, as_ascii), "a box draws " + to_utf8(wide.substr(i, 1)) + " as " + to_utf8(ascii.substr(i, 1)),
              to_wide(glyph_ink::picture(as_typed)));
    }
    const auto [digit_top, baseline] = ink_rows(drawn(L"0"));
    const int digit_height = baseline - digit_top + 1;
    const auto [stop_top, stop_bottom] = ink_rows(drawn(L"。"));
    check(stop_top >= 0 && std::abs(stop_bottom - baseline) <= 1 && 3 * (stop_bottom - stop_top + 1) <= 2 * digit_height,
          "a box draws 。 as a small mark on the baseline", to_wide(std::to_string(stop_top) + ".." + std::to_string(stop_bottom)));
    check(ink_rows(drawn(L"\u3000")).first < 0, "a box draws the ideographic space as blank");
    glyph_ink::InkMap before;
    for (const wchar_t* raised : {L"⁰", L"¹", L"²", L"³", L"⁴", L"⁵", L"⁶", L"⁷", L"⁸", L"⁹"}) {
        const glyph_ink::InkMap ink = drawn(raised);
        const auto [top, bottom] = ink_rows(ink);
        const glyph_ink::InkMap glyph = glyph_ink::first_glyph(ink);
        // As high as a digit's top, at most two thirds of its height, and a
        // quarter of it clear of the baseline.
        const bool small_and_raised = top >= 0 && std::abs(top - digit_top) <= 1 &&
                                      3 * (bottom - top + 1) <= 2 * digit_height && 4 * (baseline - bottom) >= digit_height;
        check(small_and_raised && !glyph_ink::same_ink(glyph, before), "a box draws " + to_utf8(raised) + " small and raised",
              to_wide(glyph_ink::picture(glyph)));
        before = glyph;
    }
}

// 计算, which Enter presses from any box, is drawn as the default button,
// and the dialog manager is told so, which keeps it drawn so as the focus
// moves.
void check_default_button(const Program& program) {
    const HWND button = program.control("Command1");
    const LONG style = GetWindowLongW(button, GWL_STYLE);
    check((style & BS_TYPEMASK) == BS_DEFPUSHBUTTON, "计算 is drawn as the default button");
    DWORD_PTR answer = 0;
    SendMessageTimeoutW(program.window, DM_GETDEFID, 0, 0, SMTO_ABORTIFHUNG, 5000, &answer);
    check(HIWORD(answer) == DC_HASDEFID && LOWORD(answer) == GetDlgCtrlID(button),
          "the dialog manager is told 计算 is the default");
}

// The window has its one size, and its text its size: 9 points, in which
// the carried face's capitals and digits stand 0.73 of the size high, as
// the pixels show at the screen's DPI.
void check_frame_and_fonts(const Program& program) {
    const LONG style = GetWindowLongW(program.window, GWL_STYLE);
    check(!(style & (WS_THICKFRAME | WS_MAXIMIZEBOX)), "the window has one size: no resizing frame, no maximize");
    const glyph_ink::GrayImage shot = capture_client(program.window);
    const double wanted = 0.73 * 9 * program.dpi / 72;
    for (const char* name : {"Label1", "Label4"}) {  // "I:", "IT:"
        const ui::TwipsRect& r = ui::find_control(ui::main_window(), name)->rect;
        const glyph_ink::PixelRect place{program.pixels(r.left_twips), program.pixels(r.top_twips),
                                         program.pixels(r.width_twips), program.pixels(r.height_twips)};
        const int high = glyph_ink::first_glyph(glyph_ink::ink_in(shot, place)).height;
        check(std::abs(high - wanted) <= 1.5, std::string(name) + "'s first glyph is as high as 9 points make it",
              to_wide(std::to_string(high) + " px for " + std::to_string(wanted)));
    }
}

// Each shared scenario on a program started afresh.
void run_scenarios(const wchar_t* path, int dpi, const std::wstring& log, const std::vector<std::string>& only) {
    for (const scenarios::Scenario& scenario : scenarios::read(BEMVARA_TABLES_DIR "/behaviour.txt")) {
        if (!only.empty() && std::find(only.begin(), only.end(), scenario.name) == only.end()) continue;
        const Program program = start(path, dpi);
        std::string failures;
        if (program.window) {
            WineDriver driver(program, log);
            wait_for([&] { return program.name_of(program.focused()) == "Text1"; }, 5000);
            int number = 0;
            for (const scenarios::Step& step : scenario.steps) {
                ++number;
                const std::string failure = scenarios::run_step(driver, step, 100);
                if (!failure.empty()) failures += "step " + std::to_string(number) + ": " + failure + "; ";
            }
        } else {
            failures = "the window did not open";
        }
        check(failures.empty(), "scenario: " + scenario.name, to_wide(failures));
        stop(program);
    }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 4) {
        std::fputs("usage: wine_driver PATH\\TO\\Bemvara.exe DPI LOG [SCENARIO...]\n", stderr);
        return 2;
    }
    const int dpi = _wtoi(argv[2]);
    CoInitialize(nullptr);  // MSAA's objects are COM's
    const Program program = start(argv[1], dpi);
    check(program.window != nullptr, "the window opens");
    if (program.window) {
        check_glyphs(program);
        check_labels_precede_boxes(program);
        check_default_button(program);
        check_frame_and_fonts(program);
        check_typed_forms(program);
    }
    stop(program);
    std::vector<std::string> only;
    for (int i = 4; i < argc; ++i) only.push_back(to_utf8(argv[i]));
    run_scenarios(argv[1], dpi, argv[3], only);
    std::printf("%d passed, %d failed\n", passed, failed);
    CoUninitialize();
    return failed == 0 && passed > 0 ? 0 : 1;
}
