#include "ui/main_window.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "build_id.h"
#include "calc/number_text.h"
#include "calc/parameter_calculation.h"
#include "ui/calculation_record.h"

namespace ui {

const std::string_view kHelpNote = "本程序完全参照Zelvorn版《桥梁工程》397页公式编写，不足请指正！";
const std::string_view kAuthorNote =
    "作者：林桥远，青岚交通学院2009级桥梁工程专业，现就职于澄江路桥设计所，QQ：0123456789!";

namespace {

// Windows names its Kai face 楷体_GB2312 of old and 楷体 or KaiTi now, macOS
// STKaiti; AR PL UKai is the free face of the same style on Linux.
constexpr std::string_view kKaiFaces[] = {"楷体_GB2312", "楷体", "KaiTi", "STKaiti", "AR PL UKai CN"};
constexpr FontSpec kButtonFont{kKaiFaces, 21.75, 700, 134, 0};

// The window's own face. Its Latin letters and digits come from a face
// the program carries, in which l, 1 and I differ at 9 points (in the Song
// faces they do not) and "m" is narrow enough to fit before its raised
// digit. Chinese comes from the Song face Chinese Windows has long used for
// dialogs and forms, or its stand-ins: NSimSun, macOS's Songti, and AR PL
// UMing on Linux.
constexpr std::string_view kLatinFace = "Bemvara Latin";
constexpr std::string_view kWindowFaces[] = {kLatinFace, "宋体", "SimSun", "NSimSun", "Songti SC", "AR PL UMing CN"};
constexpr FontSpec kWindowFont{kWindowFaces, 9, 400, 1, 16};
constexpr std::array kCarriedFaces{CarriedFace{kLatinFace, "bemvara-latin.ttf"}};

// Symbol labels sit behind the boxes they overlap (layer 0); the raised
// "3" and "4" sit in front of their "m".
constexpr int kFront = 1;

constexpr std::string_view kInputHint = "须大于0";
constexpr std::string_view kResultHint = "计算结果：r = 5.8·I·b²/(IT·l)";

// The result box's own command: the calculation done again and its record
// put on the clipboard, for a calculation book.
constexpr std::array kResultCommands{MenuItem{"RECORD", "复制计算记录", on_record_chosen}};

using K = ControlKind;

using R = LabelRole;

// In the order of Tab, as the focus goes from box to box; labels and the
// line stand beside what they belong to.
// clang-format off
constexpr std::array kControls{
    Control{.name = "Label1",   .kind = K::label,    .text = "I:",    .rect = {240,  120,  375, 255}, .tooltip = "梁或板的抗弯惯性矩",           .describes = "Text1", .role = R::symbol},
    Control{.name = "Text1",    .kind = K::text_box, .text = "0.025", .rect = {480,  120,  975, 270}, .layer = kFront, .hint = kInputHint},
    Control{.name = "Label2",   .kind = K::label,    .text = "m",     .rect = {1560, 120,  255, 255}, .describes = "Text1", .role = R::unit},
    Control{.name = "Label3",   .kind = K::label,    .text = "3",     .rect = {1680, 0,    135, 255}, .describes = "Text1", .role = R::exponent, .layer = kFront},
    Control{.name = "Text2",    .kind = K::text_box, .text = "0.016", .rect = {480,  480,  975, 270}, .layer = kFront, .hint = kInputHint},
    Control{.name = "Label4",   .kind = K::label,    .text = "IT:",   .rect = {240,  480,  375, 255}, .tooltip = "梁或板的抗扭惯性矩",           .describes = "Text2", .role = R::symbol},
    Control{.name = "Label5",   .kind = K::label,    .text = "m",     .rect = {1560, 480,  255, 255}, .describes = "Text2", .role = R::unit},
    Control{.name = "Label6",   .kind = K::label,    .text = "4",     .rect = {1680, 360,  135, 255}, .describes = "Text2", .role = R::exponent, .layer = kFront},
    Control{.name = "Text3",    .kind = K::text_box, .text = "1",     .rect = {480,  840,  975, 270}, .layer = kFront, .hint = kInputHint},
    Control{.name = "Label7",   .kind = K::label,    .text = "b:",    .rect = {240,  840,  375, 255}, .tooltip = "梁或板的宽度",                 .describes = "Text3", .role = R::symbol},
    Control{.name = "Label8",   .kind = K::label,    .text = "m",     .rect = {1560, 840,  255, 255}, .describes = "Text3", .role = R::unit},
    Control{.name = "Text4",    .kind = K::text_box, .text = "20",    .rect = {480,  1200, 975, 270}, .layer = kFront, .hint = kInputHint},
    Control{.name = "Label9",   .kind = K::label,    .text = "l:",    .rect = {240,  1200, 375, 255}, .tooltip = "计算跨径",                     .describes = "Text4", .role = R::symbol},
    Control{.name = "Label10",  .kind = K::label,    .text = "m",     .rect = {1560, 1200, 255, 255}, .describes = "Text4", .role = R::unit},
    Control{.name = "Command1", .kind = K::push_button, .text = "计算", .rect = {1920, 120, 2175, 1215}, .layer = kFront, .font = &kButtonFont, .clicked = on_command1_clicked},
    // Text5 is as wide as the longest result, " 1.23456789012345E-308", at
    // every scale: a result cut short reads as another number.
    Control{.name = "Text5",    .kind = K::text_box, .text = "",      .rect = {480,  1680, 2700, 270}, .layer = kFront, .hint = kResultHint, .commands = kResultCommands},
    Control{.name = "Label11",  .kind = K::label,    .text = "r:",    .rect = {240,  1680, 375, 255}, .tooltip = "荷载分布系数计算中的弯矩参数", .describes = "Text5", .role = R::symbol},
    // From (120, 1560) to (4080, 1560), between the l row and the result row.
    Control{.name = "Line1",    .kind = K::line,     .text = "",      .rect = {120,  1560, 3960, 0}},
};
// clang-format on

constexpr std::array kFileItems{MenuItem{"EXIT", "退出", on_exit_chosen}};
constexpr std::array kAboutItems{
    MenuItem{"HELP", "帮助", on_help_chosen},
    MenuItem{"WRITER", "作者", on_writer_chosen},
};
constexpr std::array kMenus{
    Menu{"FILE", "文件", kFileItems},
    Menu{"ABOUT", "关于", kAboutItems},
};

constexpr std::string_view kRecordColumns[] = {"符号", "数值", "单位", "含义"};

constexpr std::string_view kEndedNote[] = {"Bemvara 已退出，输入的数值均未保存。", "重新载入本页即可重新开始。"};

// Blanks, tabs, and the ideographic space a Chinese input method types.
constexpr Behaviour kBehaviour{true, "Command1", u" \t\u3000", "F10"};
constexpr Texts kTexts{
    .message_ok = "确定",
    .ended = kEndedNote,
    .start_again = "重新载入",
    .result_said = "{symbol}: {value}",
    .cannot_start = "{title} 无法启动：{reason}",
    .no_webassembly = "此浏览器不支持 WebAssembly。",
    .module_missing = "程序文件未能载入。",
    .module_failed = "程序文件未能载入（{error}）。",
    .webassembly_forbidden = "本网站的内容安全策略（Content-Security-Policy）不允许运行 WebAssembly。",
    .tell_host = "请告知网站管理员：script-src 须含 'wasm-unsafe-eval'。",
    .update_browser = "请用较新版本的 Chrome、Edge、Firefox 或 Safari 打开本页。",
    .check_network = "请检查网络连接，然后重新载入本页。",
    .needs_script = "本计算器需要启用 JavaScript。",
    .not_started = "{title} 尚未启动。",
    .app_name = "{title} 弯矩参数计算器",
    .app_description = "桥梁梁板荷载分布系数计算用的弯矩参数 r = 5.8·I·b²/(IT·l)：输入 I、IT、b、l，即得 r。可离线使用。",
    .version_line = "版本 " BEMVARA_VERSION "（构建 " BEMVARA_BUILD "）",
    .update_ready = "新版本已备好，重新载入本页即可使用。",
    .downloads = "下载桌面版",
    .download_windows = "Windows 版",
    .download_debian = "Debian/Ubuntu 版",
    .download_size = "{kilobytes} KB",
    .download_sums = "全部校验值",
    .download_check = "下载后请核对 SHA-256：Windows 上运行 certutil -hashfile Bemvara.exe SHA256，"
                      "Linux 上运行 sha256sum -c --ignore-missing SHA256SUMS。",
    .edit_undo = "撤消(&U)",
    .edit_cut = "剪切(&T)",
    .edit_copy = "复制(&C)",
    .edit_paste = "粘贴(&P)",
    .edit_delete = "删除(&D)",
    .edit_select_all = "全选(&A)",
    .record_heading = "弯矩参数 r = 5.8·I·b²/(IT·l)",
    .record_input = "{symbol} = {value} {unit}（{meaning}）",
    .record_worked = "r = 5.8 × {I} × {b}² / ({IT} × {l}) = {r}",
    .record_program = "{title} " BEMVARA_VERSION,
    .record_columns = kRecordColumns,
    .copied = "已复制",
    .copy_refused = "浏览器未允许写入剪贴板，请选中下面的计算记录自行复制。",
};

constexpr WindowDescription kForm1{"Form1",  "Bemvara",      4185,       2040,  kWindowFont, kControls,
                                   kMenus,   kCarriedFaces,  kBehaviour, kTexts};

// What the front ends rely on when they walk the table, checked as it is
// compiled. Qt truncates twips to pixels and Win32 rounds them, so the two
// agree only on whole pixels at 96 dpi.
constexpr bool names_are_unique(const WindowDescription& window) {
    for (std::size_t i = 0; i < window.controls.size(); ++i)
        for (std::size_t j = i + 1; j < window.controls.size(); ++j)
            if (window.controls[i].name == window.controls[j].name) return false;
    return true;
}
// A label that describes a box says how (symbol, unit or exponent), and
// only a symbol carries the box's meaning; what describes nothing has no role.
constexpr bool roles_are_said(const WindowDescription& window) {
    for (const Control& control : window.controls) {
        const bool describes = control.kind == ControlKind::label && !control.describes.empty();
        if (describes != (control.role != LabelRole::none)) return false;
        if ((control.role == LabelRole::symbol) != !control.tooltip.empty()) return false;
    }
    return true;
}
constexpr bool on_whole_pixels(const WindowDescription& window) {
    const auto whole = [](int twips) { return twips % kTwipsPerPixelAt96Dpi == 0; };
    if (!whole(window.client_width_twips) || !whole(window.client_height_twips)) return false;
    for (const Control& control : window.controls) {
        const TwipsRect& r = control.rect;
        if (!whole(r.left_twips) || !whole(r.top_twips) || !whole(r.width_twips) || !whole(r.height_twips))
            return false;
    }
    return true;
}
constexpr bool inside_client_area(const WindowDescription& window) {
    for (const Control& control : window.controls) {
        const TwipsRect& r = control.rect;
        if (r.left_twips < 0 || r.top_twips < 0 || r.left_twips + r.width_twips > window.client_width_twips ||
            r.top_twips + r.height_twips > window.client_height_twips)
            return false;
    }
    return true;
}
constexpr bool handlers_are_wired(const WindowDescription& window) {
    for (const Control& control : window.controls) {
        if ((control.kind == ControlKind::push_button) != (control.clicked != nullptr)) return false;
        if (!control.commands.empty() && control.kind != ControlKind::text_box) return false;
        for (const MenuItem& command : control.commands)
            if (!command.chosen) return false;
    }
    for (const Menu& menu : window.menus)
        for (const MenuItem& item : menu.items)
            if (!item.chosen) return false;
    return true;
}
static_assert(names_are_unique(kForm1), "two controls share a name");
static_assert(roles_are_said(kForm1), "a label describing a box without its role, or a meaning off a symbol");
static_assert(on_whole_pixels(kForm1), "every coordinate is a whole pixel at 96 dpi (a multiple of 15 twips)");
static_assert(inside_client_area(kForm1), "a control reaches outside the client area");
static_assert(handlers_are_wired(kForm1), "a button or command without a handler, or a handler on something else");

}  // namespace

const std::string_view kSuperscriptDigits[10] = {"⁰", "¹", "²", "³", "⁴", "⁵", "⁶", "⁷", "⁸", "⁹"};

const WindowDescription& main_window() { return kForm1; }

bool takes_focus(const Control& control) {
    return control.kind == ControlKind::text_box || control.kind == ControlKind::push_button;
}

std::vector<const Control*> focus_order(const WindowDescription& window) {
    std::vector<const Control*> order;
    for (const Control& control : window.controls)
        if (takes_focus(control)) order.push_back(&control);
    return order;
}

const Control* find_control(const WindowDescription& window, std::string_view name) {
    for (const Control& control : window.controls)
        if (control.name == name) return &control;
    return nullptr;
}

TwipsRect drawn_rect(const Control& control) {
    if (control.kind != ControlKind::line) return control.rect;
    return {control.rect.left_twips, control.rect.top_twips, control.rect.width_twips, kTwipsPerPixelAt96Dpi};
}

double exact_pixels(int twips, double dpi) { return twips * dpi / kTwipsPerInch; }

int twips_to_pixels(int twips, int dpi) {
    const long long scaled = static_cast<long long>(twips) * dpi;
    return static_cast<int>((scaled + (scaled < 0 ? -kTwipsPerInch / 2 : kTwipsPerInch / 2)) / kTwipsPerInch);
}

bool drawn_crisp(const FontSpec& font, double dpi) {
    return std::lround(font.points * dpi / 72.0) <= font.crisp_up_to_pixels;
}

std::string fill(std::string_view pattern,
                 std::initializer_list<std::pair<std::string_view, std::string_view>> values) {
    std::string filled(pattern);
    for (const auto& [name, value] : values) {
        std::string field(1, '{');
        field.append(name).push_back('}');
        for (std::size_t at = filled.find(field); at != std::string::npos; at = filled.find(field, at + value.size()))
            filled.replace(at, field.size(), value);
    }
    return filled;
}

namespace {

bool is_symbol_of(const Control& label, const Control& box) {
    return label.role == LabelRole::symbol && label.describes == box.name;
}
bool is_unit_of(const Control& label, const Control& box) {
    return (label.role == LabelRole::unit || label.role == LabelRole::exponent) && label.describes == box.name;
}

}  // namespace

const Control* symbol_label_of(const WindowDescription& window, const Control& text_box) {
    for (const Control& label : window.controls)
        if (is_symbol_of(label, text_box)) return &label;
    return nullptr;
}

std::string_view symbol_of(const WindowDescription& window, const Control& text_box) {
    const Control* label = symbol_label_of(window, text_box);
    if (!label) return {};
    std::string_view symbol = label->text;
    if (symbol.ends_with(':')) symbol.remove_suffix(1);
    return symbol;
}

std::string unit_of(const WindowDescription& window, const Control& text_box) {
    std::string unit;
    for (const Control& label : window.controls) {
        if (!is_unit_of(label, text_box)) continue;
        for (const char c : label.text) {
            if (label.role == LabelRole::exponent && c >= '0' && c <= '9')
                unit += kSuperscriptDigits[c - '0'];
            else
                unit += c;
        }
    }
    return unit;
}

std::string accessible_name(const WindowDescription& window, const Control& text_box) {
    const Control* label = symbol_label_of(window, text_box);
    if (!label) return {};
    std::string name(label->text);
    name.append(" ").append(label->tooltip);
    if (const std::string unit = unit_of(window, text_box); !unit.empty()) name.append("，单位 ").append(unit);
    return name;
}

std::string said_when_set(const WindowDescription& window, const Control& text_box, std::string_view text) {
    const std::size_t first = text.find_first_not_of(' ');
    text = first == std::string_view::npos ? std::string_view{} : text.substr(first, text.find_last_not_of(' ') + 1 - first);
    const std::string_view symbol = symbol_of(window, text_box);
    const std::string name = symbol.empty() ? accessible_name(window, text_box) : std::string(symbol);
    return fill(window.texts.result_said, {{"symbol", name}, {"value", text}});
}

bool folded_into_name(const Control& label) { return label.kind == ControlKind::label && !label.describes.empty(); }

std::pair<std::size_t, std::size_t> double_click_run(const Behaviour& behaviour, std::u16string_view text,
                                                     std::size_t at) {
    if (text.empty()) return {0, 0};
    at = std::min(at, text.size() - 1);
    const auto blank = [&](std::size_t i) { return behaviour.blanks.find(text[i]) != std::u16string_view::npos; };
    const bool on_blank = blank(at);  // a run of blanks, or of what lies between them
    std::size_t first = at;
    std::size_t last = at + 1;
    while (first > 0 && blank(first - 1) == on_blank) --first;
    while (last < text.size() && blank(last) == on_blank) ++last;
    return {first, last};
}

namespace {

// The boxes the calculation reads, in its order, and the one it writes.
constexpr std::string_view kInputBoxes[] = {"Text1", "Text2", "Text3", "Text4"};
constexpr std::string_view kResultBox = "Text5";

struct Calculated {
    std::array<std::string, 4> texts;  // of the input boxes, as they were read
    calc::CalcOutcome outcome;
};

// What 计算 does: the result into the result box, or the message, and the
// focus in the box it names, where the user goes on.
Calculated calculate(View& view) {
    Calculated done;
    for (std::size_t i = 0; i < done.texts.size(); ++i) done.texts[i] = view.text(kInputBoxes[i]);
    done.outcome = calc::calculate_parameter(done.texts[0], done.texts[1], done.texts[2], done.texts[3]);
    if (done.outcome.kind == calc::CalcOutcome::Kind::result) {
        view.set_text(kResultBox, done.outcome.text);
        return done;
    }
    view.show_message(done.outcome.text);
    if (done.outcome.input >= 0 && done.outcome.input < 4) view.focus_selected(kInputBoxes[done.outcome.input]);
    return done;
}

}  // namespace

void on_command1_clicked(View& view) { calculate(view); }

// Made from the boxes as they are, so the record always agrees with r.
void on_record_chosen(View& view) {
    const Calculated done = calculate(view);
    if (done.outcome.kind != calc::CalcOutcome::Kind::result) return;
    std::array<double, 4> values{};
    for (std::size_t i = 0; i < values.size(); ++i) values[i] = calc::read_number(done.texts[i]);
    const CalculationRecord record = calculation_record(main_window(), kInputBoxes, values, kResultBox, done.outcome.text);
    view.copy_to_clipboard(record.plain, record.html);
}

void on_exit_chosen(View& view) { view.end_program(); }
void on_help_chosen(View& view) { view.show_message(kHelpNote); }
void on_writer_chosen(View& view) { view.show_message(kAuthorNote); }

}  // namespace ui
