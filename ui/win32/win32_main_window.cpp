#include "ui/win32/win32_main_window.h"

#include <commctrl.h>
#include <initguid.h>
#include <oleacc.h>
#include <windowsx.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <span>

#include "ui/win32/win32_ids.h"

#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif

namespace ui::win32 {

namespace {

constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
constexpr DWORD kWindowExStyle = 0;

// Windows 7 lacks the per-monitor DPI functions, so they are looked up at
// run time and the older, system-DPI calls stand in where they are missing.
struct DpiFunctions {
    UINT(WINAPI* get_dpi_for_window)(HWND) = nullptr;
    BOOL(WINAPI* adjust_window_rect_ex_for_dpi)(LPRECT, DWORD, BOOL, DWORD, UINT) = nullptr;

    DpiFunctions() {
        const HMODULE user32 = GetModuleHandleW(L"user32.dll");
        load(user32, "GetDpiForWindow", get_dpi_for_window);
        load(user32, "AdjustWindowRectExForDpi", adjust_window_rect_ex_for_dpi);
    }

    template <typename Function>
    static void load(HMODULE module, const char* name, Function& function) {
        // Through a plain function pointer, as GetProcAddress's type is a lie.
        function = reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
    }
};

const DpiFunctions& dpi_functions() {
    static const DpiFunctions functions;
    return functions;
}

UINT system_dpi() {
    const HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return static_cast<UINT>(dpi);
}

UINT dpi_of(HWND window) {
    if (dpi_functions().get_dpi_for_window) return dpi_functions().get_dpi_for_window(window);
    return system_dpi();
}

std::wstring face_of(HFONT font) {
    const HDC screen = GetDC(nullptr);
    const HGDIOBJ old = SelectObject(screen, font);
    wchar_t face[LF_FACESIZE] = {};
    GetTextFaceW(screen, LF_FACESIZE, face);
    SelectObject(screen, old);
    ReleaseDC(nullptr, screen);
    return face;
}

// The first face of the chain that is there. The face asked for is asked
// for in its character set; past it, a face of another character set must
// not be passed over for want of that one. The font mapper always gives
// some font, so each is checked by the face it really is (a Song face may
// answer to its Chinese name or to SimSun, so to any name of the chain).
HFONT create_font(const FontSpec& spec, UINT dpi) {
    LOGFONTW logfont{};
    // Points to pixels: negative, so it is the character height, not the cell.
    logfont.lfHeight = -static_cast<LONG>(spec.points * dpi / 72.0 + 0.5);
    logfont.lfWeight = spec.weight;
    logfont.lfCharSet = static_cast<BYTE>(spec.charset);
    if (drawn_crisp(spec, dpi)) logfont.lfQuality = NONANTIALIASED_QUALITY;

    std::vector<std::wstring> names;
    for (std::string_view family : spec.families) names.push_back(to_wide(family));
    const auto is_one_of_them = [&](const std::wstring& face) {
        return std::find(names.begin(), names.end(), face) != names.end();
    };
    HFONT first = nullptr;
    for (const std::wstring& name : names) {
        lstrcpynW(logfont.lfFaceName, name.c_str(), LF_FACESIZE);
        HFONT font = CreateFontIndirectW(&logfont);
        if (is_one_of_them(face_of(font))) {
            if (first) DeleteObject(first);
            return font;
        }
        if (!first) {
            first = font;
            logfont.lfCharSet = DEFAULT_CHARSET;
        } else {
            DeleteObject(font);
        }
    }
    return first;  // none exists: whatever the font mapper chose for the first
}

// The faces the program carries, from its resources, for this process
// only. A resource is named after its file: bemvara-latin.ttf is
// BEMVARA_LATIN_TTF.
void load_carried_faces(HINSTANCE instance, const WindowDescription& description) {
    for (const CarriedFace& face : description.carried_faces) {
        std::wstring name;
        for (const char c : face.file)
            name += std::isalnum(static_cast<unsigned char>(c)) ? static_cast<wchar_t>(std::toupper(c)) : L'_';
        const HRSRC found = FindResourceW(instance, name.c_str(), MAKEINTRESOURCEW(10) /* RT_RCDATA */);
        const HGLOBAL loaded = found ? LoadResource(instance, found) : nullptr;
        if (!loaded) continue;
        DWORD installed = 0;
        AddFontMemResourceEx(LockResource(loaded), SizeofResource(instance, found), nullptr, &installed);
    }
}

// What a screen reader says for a control, given as dynamic annotation: a
// box's name and description, and a label said within a box's name is
// left out so that it is not read twice. A box the program writes to is a
// polite live region, so its new text is read out where it is not in focus.
class Annotations {
public:
    Annotations() {
        CoCreateInstance(CLSID_AccPropServices, nullptr, CLSCTX_INPROC_SERVER, IID_IAccPropServices,
                         reinterpret_cast<void**>(&services_));
    }
    ~Annotations() {
        if (services_) services_->Release();
    }
    Annotations(const Annotations&) = delete;
    Annotations& operator=(const Annotations&) = delete;

    void text(HWND control, const MSAAPROPID& property, std::string_view text) {
        if (!services_ || text.empty()) return;
        std::wstring wide = to_wide(text);
        services_->SetHwndPropStr(control, OBJID_CLIENT, CHILDID_SELF, property, wide.data());
    }
    void number(HWND control, const MSAAPROPID& property, LONG value) {
        if (!services_) return;
        VARIANT variant{};  // empty, as VariantInit makes it
        variant.vt = VT_I4;
        variant.lVal = value;
        services_->SetHwndProp(control, OBJID_CLIENT, CHILDID_SELF, property, variant);
    }

private:
    IAccPropServices* services_ = nullptr;
};

// UI Automation's LiveSetting, which MSAA annotation can carry; 1 is polite.
constexpr GUID kLiveSettingProperty = {0xc12bcd8e, 0x2a8e, 0x4950, {0x8a, 0xe7, 0x36, 0x25, 0x11, 0x1d, 0x58, 0xeb}};
constexpr LONG kPolite = 1;
#ifndef EVENT_OBJECT_LIVEREGIONCHANGED
#define EVENT_OBJECT_LIVEREGIONCHANGED 0x8019
#endif

const wchar_t* window_class_of(ControlKind kind) {
    switch (kind) {
        case ControlKind::text_box: return L"EDIT";
        case ControlKind::push_button: return L"BUTTON";
        case ControlKind::label:
        case ControlKind::line: return L"STATIC";
    }
    return L"STATIC";
}

DWORD style_of(ControlKind kind) {
    constexpr DWORD common = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;
    switch (kind) {
        case ControlKind::text_box: return common | WS_TABSTOP | ES_LEFT | ES_AUTOHSCROLL;
        case ControlKind::push_button: return common | WS_TABSTOP | BS_PUSHBUTTON;
        // SS_NOTIFY lets the label see the mouse, which its tooltip needs.
        // SS_CENTERIMAGE centres the line of text, as a box centres its own,
        // so that a symbol stands on the baseline of the number beside it.
        case ControlKind::label: return common | SS_LEFT | SS_NOPREFIX | SS_NOTIFY | SS_CENTERIMAGE;
        case ControlKind::line: return common | SS_BLACKRECT;
    }
    return common;
}

// A double-click in a text box selects the run that the description's rule
// gives around the character under the pointer, as on every platform; the
// edit control's own word break would split " 2.5E-05" at its sign.
void select_run_at(HWND box, LPARAM lparam, const Behaviour& behaviour) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(box)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(box, text.data(), static_cast<int>(text.size()))));
    if (text.empty()) return;
    // The caret place nearest the pointer; the character under the pointer
    // is the one before it when the pointer is left of that place.
    const int length = static_cast<int>(text.size());
    int at = std::min<int>(LOWORD(SendMessageW(box, EM_CHARFROMPOS, 0, lparam)), length - 1);
    if (at > 0 && GET_X_LPARAM(lparam) < static_cast<short>(LOWORD(SendMessageW(box, EM_POSFROMCHAR, at, 0)))) --at;
    const auto [first, last] = double_click_run(behaviour,
                                                {reinterpret_cast<const char16_t*>(text.data()), text.size()},
                                                static_cast<std::size_t>(at));
    SendMessageW(box, EM_SETSEL, first, last);
}

// The edit control's own context menu speaks the system's language; this
// one is the box's commands, then the usual editing ones in the
// description's words. Each editing item's id is the message it sends.
constexpr UINT kSelectAll = EM_SETSEL;

HMENU edit_menu(HWND box, const WindowDescription& description, std::span<const MenuItem> commands) {
    HMENU menu = CreatePopupMenu();
    for (const MenuItem& command : commands)
        if (const auto id = command_id(description, command.name))
            AppendMenuW(menu, MF_STRING, static_cast<UINT_PTR>(*id), to_wide(command.caption).c_str());
    if (!commands.empty()) AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    DWORD first = 0, last = 0;
    SendMessageW(box, EM_GETSEL, reinterpret_cast<WPARAM>(&first), reinterpret_cast<LPARAM>(&last));
    const bool selected = last > first;
    const bool editable = !(GetWindowLongW(box, GWL_STYLE) & ES_READONLY);
    const auto length = static_cast<DWORD>(GetWindowTextLengthW(box));
    const Texts& texts = description.texts;
    const auto add = [&](UINT id, std::string_view caption, bool enabled) {
        AppendMenuW(menu, MF_STRING | (enabled ? MF_ENABLED : MF_GRAYED), id, to_wide(caption).c_str());
    };
    add(WM_UNDO, texts.edit_undo, editable && SendMessageW(box, EM_CANUNDO, 0, 0));
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    add(WM_CUT, texts.edit_cut, editable && selected);
    add(WM_COPY, texts.edit_copy, selected);
    add(WM_PASTE, texts.edit_paste, editable && IsClipboardFormatAvailable(CF_UNICODETEXT));
    add(WM_CLEAR, texts.edit_delete, editable && selected);
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    add(kSelectAll, texts.edit_select_all, length > 0 && !(first == 0 && last == length));
    return menu;
}

// The clipboard's "HTML Format": a header of byte offsets, then the
// fragment inside a document. Offsets are of 10 digits, fixed, so the
// header's length is known before they are.
std::string cf_html(std::string_view fragment) {
    constexpr std::string_view kHeader =
        "Version:0.9\r\nStartHTML:%010zu\r\nEndHTML:%010zu\r\nStartFragment:%010zu\r\nEndFragment:%010zu\r\n";
    constexpr std::string_view kBefore = "<html><body>\r\n<!--StartFragment-->";
    constexpr std::string_view kAfter = "<!--EndFragment-->\r\n</body></html>";
    char header[160];
    const std::size_t header_length =
        static_cast<std::size_t>(std::snprintf(header, sizeof header, kHeader.data(), std::size_t{0}, std::size_t{0},
                                               std::size_t{0}, std::size_t{0}));
    const std::size_t start_fragment = header_length + kBefore.size();
    const std::size_t end_fragment = start_fragment + fragment.size();
    std::snprintf(header, sizeof header, kHeader.data(), header_length, end_fragment + kAfter.size(), start_fragment,
                  end_fragment);
    std::string html(header);
    html.append(kBefore).append(fragment).append(kAfter);
    return html;
}

// Moveable memory holding `bytes`, as SetClipboardData takes it; nullptr
// where there is none to be had.
HGLOBAL global_copy(const void* bytes, std::size_t size) {
    const HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, size);
    if (!memory) return nullptr;
    void* into = GlobalLock(memory);
    if (!into) {
        GlobalFree(memory);
        return nullptr;
    }
    std::memcpy(into, bytes, size);
    GlobalUnlock(memory);
    return memory;
}

// MessageBoxW labels its button in the system's language, but the whole
// interface is Chinese: as the box opens, its button is given the
// description's word, and the box keeps the system's look.
thread_local const wchar_t* ok_caption = nullptr;

LRESULT CALLBACK name_ok_button(int code, WPARAM wparam, LPARAM lparam) {
    if (code == HCBT_ACTIVATE && ok_caption) {
        const HWND box = reinterpret_cast<HWND>(wparam);
        wchar_t name[16] = {};
        GetClassNameW(box, name, 16);
        if (lstrcmpW(name, L"#32770") == 0) SetDlgItemTextW(box, IDOK, ok_caption);
    }
    return CallNextHookEx(nullptr, code, wparam, lparam);
}

}  // namespace

std::wstring to_wide(std::string_view utf8) {
    if (utf8.empty()) return {};
    const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), length);
    return wide;
}

std::string to_utf8(const std::wstring& wide) {
    if (wide.empty()) return {};
    const int length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                           nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(), length, nullptr,
                        nullptr);
    return utf8;
}

Win32MainWindow::Win32MainWindow(HINSTANCE instance, const WindowDescription& description)
    : instance_(instance), description_(description) {}

Win32MainWindow::~Win32MainWindow() {
    if (window_) DestroyWindow(window_);
    free_fonts();
}

bool Win32MainWindow::create(int show_command) {
    load_carried_faces(instance_, description_);
    WNDCLASSEXW window_class{};
    window_class.cbSize = sizeof window_class;
    window_class.lpfnWndProc = window_proc;
    window_class.hInstance = instance_;
    window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    window_class.lpszClassName = kWindowClass;
    window_class.hIcon = static_cast<HICON>(LoadImageW(instance_, MAKEINTRESOURCEW(1), IMAGE_ICON,
                                                       GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), 0));
    window_class.hIconSm = static_cast<HICON>(LoadImageW(
        instance_, MAKEINTRESOURCEW(1), IMAGE_ICON, GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
    if (!RegisterClassExW(&window_class)) return false;

    // The size follows in on_create, once the window's DPI is known.
    const std::wstring title = to_wide(description_.title);
    if (!CreateWindowExW(kWindowExStyle, kWindowClass, title.c_str(), kWindowStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                         CW_USEDEFAULT, CW_USEDEFAULT, nullptr, create_menu_bar(), instance_, this))
        return false;
    ShowWindow(window_, show_command);
    UpdateWindow(window_);
    return true;
}

int Win32MainWindow::run_message_loop() {
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        // The dialog manager gives Tab, Shift+Tab and Enter their usual meaning.
        if (window_ && IsDialogMessageW(window_, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}

LRESULT CALLBACK Win32MainWindow::window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_NCCREATE) {
        auto* self = static_cast<Win32MainWindow*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
        self->window_ = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<Win32MainWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self) return DefWindowProcW(window, message, wparam, lparam);
    return self->handle(message, wparam, lparam);
}

LRESULT Win32MainWindow::handle(UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_CREATE:
            on_create();
            return 0;
        case WM_COMMAND:
            on_command(wparam, lparam);
            return 0;
        case WM_DPICHANGED:
            on_dpi_changed(HIWORD(wparam), *reinterpret_cast<const RECT*>(lparam));
            return 0;
        case WM_ACTIVATE:
            if (on_activate(wparam)) return 0;
            break;
        // The dialog manager asks which button Enter presses, to draw it as
        // the default one wherever the focus is and to press it on Enter.
        case DM_GETDEFID:
            if (const Control* button = find_control(description_, description_.behaviour.enter_clicks))
                if (const auto id = control_id(description_, button->name))
                    return MAKELRESULT(*id, DC_HASDEFID);
            return 0;
        case WM_DESTROY:
            on_destroy();
            return 0;
        case WM_NCDESTROY: {
            const HWND closing = window_;
            window_ = nullptr;  // the last message this window gets
            SetWindowLongPtrW(closing, GWLP_USERDATA, 0);
            return DefWindowProcW(closing, message, wparam, lparam);
        }
    }
    return DefWindowProcW(window_, message, wparam, lparam);
}

void Win32MainWindow::on_create() {
    dpi_ = dpi_of(window_);
    make_fonts();
    create_controls();
    create_tooltips();
    layout();
    const SIZE size = window_size();
    SetWindowPos(window_, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    annotate();
    // The first in tab order holds the focus at start, its text selected as
    // Tab would select it, so typing replaces it.
    const std::vector<const Control*> order = focus_order(description_);
    if (order.empty()) return;
    focus_ = control(order.front()->name);
    if (order.front()->kind == ControlKind::text_box && description_.behaviour.select_all_on_keyboard_focus)
        SendMessageW(focus_, EM_SETSEL, 0, -1);
}

void Win32MainWindow::annotate() {
    Annotations annotations;
    for (std::size_t i = 0; i < controls_.size(); ++i) {
        const Control& each = description_.controls[i];
        if (each.kind == ControlKind::text_box) {
            annotations.text(controls_[i], PROPID_ACC_NAME, accessible_name(description_, each));
            annotations.text(controls_[i], PROPID_ACC_DESCRIPTION, each.hint);
            annotations.number(controls_[i], kLiveSettingProperty, kPolite);
        } else if (folded_into_name(each)) {
            annotations.number(controls_[i], PROPID_ACC_STATE, STATE_SYSTEM_INVISIBLE);
        }
    }
}

void Win32MainWindow::on_command(WPARAM wparam, LPARAM lparam) {
    const int id = LOWORD(wparam);
    // Enter where no button has the focus: the dialog manager's "OK".
    if (id == IDOK && lparam == 0) {
        if (const Control* button = find_control(description_, description_.behaviour.enter_clicks))
            if (button->clicked) button->clicked(*this);
        return;
    }
    if (lparam == 0) {  // a menu item
        if (const MenuItem* item = menu_item_with_id(description_, id); item && item->chosen) item->chosen(*this);
        return;
    }
    if (HIWORD(wparam) != BN_CLICKED) return;
    if (const Control* clicked = control_with_id(description_, id); clicked && clicked->clicked)
        clicked->clicked(*this);
}

void Win32MainWindow::on_dpi_changed(UINT dpi, const RECT& suggested) {
    dpi_ = dpi;
    make_fonts();
    layout();
    // Windows suggests where; the size is ours, so the client area stays exact.
    const SIZE size = window_size();
    SetWindowPos(window_, nullptr, suggested.left, suggested.top, size.cx, size.cy, SWP_NOZORDER | SWP_NOACTIVATE);
}

// Keyboard focus goes back where the user left it when the window is
// activated again, as in a dialog.
bool Win32MainWindow::on_activate(WPARAM wparam) {
    if (LOWORD(wparam) == WA_INACTIVE) {
        if (HWND focused = GetFocus(); focused && IsChild(window_, focused)) focus_ = focused;
        return false;
    }
    if (!focus_) return false;
    SetFocus(focus_);
    return true;
}

void Win32MainWindow::on_destroy() {
    free_fonts();
    PostQuitMessage(0);
}

HMENU Win32MainWindow::create_menu_bar() const {
    HMENU bar = CreateMenu();
    for (const Menu& menu : description_.menus) {
        HMENU drop_down = CreatePopupMenu();
        for (const MenuItem& item : menu.items)
            if (const auto id = menu_item_id(description_, item.name))
                AppendMenuW(drop_down, MF_STRING, static_cast<UINT_PTR>(*id), to_wide(item.caption).c_str());
        AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(drop_down), to_wide(menu.caption).c_str());
    }
    return bar;
}

void Win32MainWindow::create_controls() {
    // Siblings made first lie on top, and the dialog manager tabs through
    // them in that order: so the focusable controls come first, in tab
    // order, each just after the label that names it (a screen reader that
    // takes no annotations names a box from the static made before it),
    // then the rest from the front layer to the back. Where a naming label
    // lies over its box, layout() cuts the box out of it.
    std::vector<std::size_t> order;
    const auto index_of = [this](const Control* control) {
        return static_cast<std::size_t>(control - description_.controls.data());
    };
    for (const Control* focusable : focus_order(description_)) {
        if (const Control* label = symbol_label_of(description_, *focusable)) order.push_back(index_of(label));
        order.push_back(index_of(focusable));
    }
    std::vector<std::size_t> rest;
    for (std::size_t i = 0; i < description_.controls.size(); ++i)
        if (std::find(order.begin(), order.end(), i) == order.end()) rest.push_back(i);
    std::stable_sort(rest.begin(), rest.end(), [this](std::size_t a, std::size_t b) {
        return description_.controls[a].layer > description_.controls[b].layer;
    });
    order.insert(order.end(), rest.begin(), rest.end());

    controls_.assign(description_.controls.size(), nullptr);
    for (std::size_t index : order) {
        const Control& each = description_.controls[index];
        const DWORD ex_style = each.kind == ControlKind::text_box ? WS_EX_CLIENTEDGE : 0;
        // The button Enter presses is drawn as the default one.
        const DWORD style = style_of(each.kind) |
                            (each.name == description_.behaviour.enter_clicks ? BS_DEFPUSHBUTTON : 0);
        const HWND created = CreateWindowExW(
            ex_style, window_class_of(each.kind), to_wide(each.text).c_str(), style, 0, 0, 0, 0,
            window_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(control_id(description_, each.name).value_or(0))),
            instance_, nullptr);
        controls_[index] = created;
        if (each.kind == ControlKind::text_box)
            SetWindowSubclass(created, text_box_proc, index, reinterpret_cast<DWORD_PTR>(this));
    }
}

void Win32MainWindow::create_tooltips() {
    tooltips_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window_, nullptr,
                                instance_, nullptr);
    for (std::size_t i = 0; i < controls_.size(); ++i) {
        const Control& each = description_.controls[i];
        if (each.tooltip.empty()) continue;
        std::wstring text = to_wide(each.tooltip);
        TTTOOLINFOW tool{};
        tool.cbSize = sizeof tool;
        tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        tool.hwnd = window_;
        tool.uId = reinterpret_cast<UINT_PTR>(controls_[i]);
        tool.lpszText = text.data();  // copied by the control
        SendMessageW(tooltips_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    }
}

void Win32MainWindow::make_fonts() {
    free_fonts();
    window_font_ = create_font(description_.font, dpi_);
    for (const Control& each : description_.controls) {
        if (!each.font) continue;
        const bool known = std::any_of(own_fonts_.begin(), own_fonts_.end(),
                                       [&](const OwnFont& own) { return own.spec == each.font; });
        if (!known) own_fonts_.push_back({each.font, create_font(*each.font, dpi_)});
    }
}

void Win32MainWindow::free_fonts() {
    if (window_font_) DeleteObject(window_font_);
    window_font_ = nullptr;
    for (const OwnFont& own : own_fonts_) DeleteObject(own.font);
    own_fonts_.clear();
}

HFONT Win32MainWindow::font_for(const Control& control) const {
    for (const OwnFont& own : own_fonts_)
        if (own.spec == control.font) return own.font;
    return window_font_;
}

RECT Win32MainWindow::pixel_rect(const Control& control) const {
    const bool line = control.kind == ControlKind::line;
    const TwipsRect rect = drawn_rect(control);
    const int left = twips_to_pixels(rect.left_twips, dpi_);
    const int top = twips_to_pixels(rect.top_twips, dpi_);
    if (!line)
        return {left, top, left + twips_to_pixels(rect.width_twips, dpi_), top + twips_to_pixels(rect.height_twips, dpi_)};
    // A line's ends, not its length, are converted, so it meets what it
    // runs between as it does in twips; it is never thinner than a pixel.
    return {left, top, twips_to_pixels(rect.left_twips + rect.width_twips, dpi_),
            top + std::max(1, twips_to_pixels(rect.height_twips, dpi_))};
}

// A control shows nothing, and takes no click, where one of a higher layer
// overlaps it, whatever their order among the siblings.
void Win32MainWindow::cut_out_higher_layers(std::size_t index, const RECT& pixels) {
    const Control& each = description_.controls[index];
    HRGN region = nullptr;
    for (const Control& other : description_.controls) {
        RECT overlap{};
        const RECT above = pixel_rect(other);
        if (other.layer <= each.layer || !IntersectRect(&overlap, &pixels, &above)) continue;
        if (!region) region = CreateRectRgn(0, 0, pixels.right - pixels.left, pixels.bottom - pixels.top);
        OffsetRect(&overlap, -pixels.left, -pixels.top);
        HRGN hole = CreateRectRgnIndirect(&overlap);
        CombineRgn(region, region, hole, RGN_DIFF);
        DeleteObject(hole);
    }
    SetWindowRgn(controls_[index], region, TRUE);  // the window owns the region from here
}

void Win32MainWindow::layout() {
    for (std::size_t i = 0; i < controls_.size(); ++i) {
        const Control& each = description_.controls[i];
        const RECT pixels = pixel_rect(each);
        SetWindowPos(controls_[i], nullptr, pixels.left, pixels.top, pixels.right - pixels.left,
                     pixels.bottom - pixels.top, SWP_NOZORDER | SWP_NOACTIVATE);
        cut_out_higher_layers(i, pixels);
        SendMessageW(controls_[i], WM_SETFONT, reinterpret_cast<WPARAM>(font_for(each)), TRUE);
    }
}

SIZE Win32MainWindow::window_size() const {
    RECT rect{0, 0, twips_to_pixels(description_.client_width_twips, dpi_),
              twips_to_pixels(description_.client_height_twips, dpi_)};
    if (dpi_functions().adjust_window_rect_ex_for_dpi)
        dpi_functions().adjust_window_rect_ex_for_dpi(&rect, kWindowStyle, TRUE, kWindowExStyle, dpi_);
    else
        AdjustWindowRectEx(&rect, kWindowStyle, TRUE, kWindowExStyle);
    return {rect.right - rect.left, rect.bottom - rect.top};
}

HWND Win32MainWindow::control(std::string_view name) const {
    for (std::size_t i = 0; i < controls_.size(); ++i)
        if (description_.controls[i].name == name) return controls_[i];
    return nullptr;
}

std::string Win32MainWindow::text(std::string_view name) const {
    const HWND box = control(name);
    if (!box) return {};
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(box)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(box, text.data(), static_cast<int>(text.size()))));
    return to_utf8(text);
}

void Win32MainWindow::set_text(std::string_view name, std::string_view text) {
    const HWND box = control(name);
    if (!box) return;
    SetWindowTextW(box, to_wide(text).c_str());
    NotifyWinEvent(EVENT_OBJECT_LIVEREGIONCHANGED, box, OBJID_CLIENT, CHILDID_SELF);
}

void Win32MainWindow::show_message(std::string_view text) {
    const std::wstring caption = to_wide(description_.texts.message_ok);
    ok_caption = caption.c_str();
    const HHOOK hook = SetWindowsHookExW(WH_CBT, name_ok_button, nullptr, GetCurrentThreadId());
    MessageBoxW(window_, to_wide(text).c_str(), to_wide(description_.title).c_str(), MB_OK);
    if (hook) UnhookWindowsHookEx(hook);
    ok_caption = nullptr;
}

void Win32MainWindow::focus_selected(std::string_view name) {
    const HWND box = control(name);
    if (!box) return;
    SetFocus(box);
    SendMessageW(box, EM_SETSEL, 0, -1);
}

LRESULT CALLBACK Win32MainWindow::text_box_proc(HWND box, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR index,
                                                DWORD_PTR self_pointer) {
    auto* self = reinterpret_cast<Win32MainWindow*>(self_pointer);
    switch (message) {
        case WM_NCDESTROY:
            RemoveWindowSubclass(box, text_box_proc, index);
            break;
        case WM_LBUTTONDBLCLK:
            select_run_at(box, lparam, self->description_.behaviour);
            return 0;
        case WM_CONTEXTMENU:
            self->on_box_context_menu(box, self->description_.controls[index], lparam);
            return 0;
    }
    return DefSubclassProc(box, message, wparam, lparam);
}

// At the pointer, or from the keyboard (Shift+F10, the Menu key) below the
// box's caret.
void Win32MainWindow::on_box_context_menu(HWND box, const Control& control, LPARAM lparam) {
    POINT at{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
    if (at.x == -1 && at.y == -1) {
        RECT rect{};
        GetClientRect(box, &rect);
        DWORD_PTR caret = SendMessageW(box, EM_POSFROMCHAR, LOWORD(SendMessageW(box, EM_GETSEL, 0, 0)), 0);
        at = {caret == static_cast<DWORD_PTR>(-1) ? 0 : static_cast<short>(LOWORD(caret)), rect.bottom};
        ClientToScreen(box, &at);
    }
    SetFocus(box);
    const HMENU menu = edit_menu(box, description_, control.commands);
    const UINT chosen = static_cast<UINT>(
        TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, at.x, at.y, 0, window_, nullptr));
    DestroyMenu(menu);
    if (chosen == 0) return;
    if (const MenuItem* command = command_with_id(description_, static_cast<int>(chosen))) {
        if (command->chosen) command->chosen(*this);
    } else if (chosen == kSelectAll) {
        SendMessageW(box, EM_SETSEL, 0, -1);
    } else {
        SendMessageW(box, chosen, 0, 0);
    }
}

// Plain text with the line ends Windows' editors want, and the rich text
// in the clipboard's HTML format. A clipboard another program holds open
// is tried again for a moment.
void Win32MainWindow::copy_to_clipboard(std::string_view plain, std::string_view html) {
    std::wstring text;
    for (const wchar_t c : to_wide(plain)) {
        if (c == L'\n') text += L'\r';
        text += c;
    }
    const std::string rich = cf_html(html);
    bool opened = false;
    for (int attempt = 0; attempt < 20 && !(opened = OpenClipboard(window_)); ++attempt) Sleep(10);
    if (!opened) return;
    EmptyClipboard();
    if (const HGLOBAL memory = global_copy(text.c_str(), (text.size() + 1) * sizeof(wchar_t)))
        if (!SetClipboardData(CF_UNICODETEXT, memory)) GlobalFree(memory);
    if (const UINT format = RegisterClipboardFormatW(L"HTML Format"))
        if (const HGLOBAL memory = global_copy(rich.c_str(), rich.size() + 1))
            if (!SetClipboardData(format, memory)) GlobalFree(memory);
    CloseClipboard();
}

void Win32MainWindow::end_program() {
    if (window_) DestroyWindow(window_);
}

}  // namespace ui::win32
