#include "ui/main_window.h"

#include <array>

#include "calc/parameter_calculation.h"

namespace ui {

const std::string_view kHelpNote = "本程序完全参照Zelvorn版《桥梁工程》397页公式编写，不足请指正！";
const std::string_view kAuthorNote =
    "作者：林桥远，青岚交通学院2009级桥梁工程专业，现就职于澄江路桥设计所，QQ：0123456789!";

namespace {

constexpr FontSpec kButtonFont{"楷体_GB2312", 21.75, 700, 134};
// What Chinese Windows has long used for dialogs and forms. Its Latin letters
// are narrow half-width serif glyphs, so "m" fits before the raised "3" and
// "I" has serifs that "l" lacks.
constexpr FontSpec kWindowFont{"宋体", 9, 400, 134};

// Symbol labels sit behind the boxes they overlap; the raised "3" and "4"
// sit in front of their "m".
constexpr int kBack = 0;
constexpr int kFront = 1;

using K = ControlKind;

// clang-format off
constexpr std::array kControls{
    //       name        kind           text     left  top   width height tab tooltip                         describes layer  font          clicked
    Control{"Label1",   K::label,       "I:",    {240,  120,  375, 255},  0, "梁或板的抗弯惯性矩",           "Text1",  kBack,  nullptr,      nullptr},
    Control{"Text1",    K::text_box,    "0.025", {480,  120,  975, 270},  1, "",                            "",       kFront, nullptr,      nullptr},
    Control{"Label2",   K::label,       "m",     {1560, 120,  255, 255},  2, "",                            "",       kBack,  nullptr,      nullptr},
    Control{"Label3",   K::label,       "3",     {1680, 0,    135, 255},  3, "",                            "",       kFront, nullptr,      nullptr},
    Control{"Text2",    K::text_box,    "0.016", {480,  480,  975, 270},  4, "",                            "",       kFront, nullptr,      nullptr},
    Control{"Label4",   K::label,       "IT:",   {240,  480,  375, 255},  5, "梁或板的抗扭惯性矩",           "Text2",  kBack,  nullptr,      nullptr},
    Control{"Label5",   K::label,       "m",     {1560, 480,  255, 255},  6, "",                            "",       kBack,  nullptr,      nullptr},
    Control{"Label6",   K::label,       "4",     {1680, 360,  135, 255},  7, "",                            "",       kFront, nullptr,      nullptr},
    Control{"Text3",    K::text_box,    "1",     {480,  840,  975, 270},  8, "",                            "",       kFront, nullptr,      nullptr},
    Control{"Label7",   K::label,       "b:",    {240,  840,  375, 255},  9, "梁或板的宽度",                 "Text3",  kBack,  nullptr,      nullptr},
    Control{"Label8",   K::label,       "m",     {1560, 840,  255, 255}, 10, "",                            "",       kBack,  nullptr,      nullptr},
    Control{"Text4",    K::text_box,    "20",    {480,  1200, 975, 270}, 11, "",                            "",       kFront, nullptr,      nullptr},
    Control{"Label9",   K::label,       "l:",    {240,  1200, 375, 255}, 12, "计算跨径",                     "Text4",  kBack,  nullptr,      nullptr},
    Control{"Label10",  K::label,       "m",     {1560, 1200, 255, 255}, 13, "",                            "",       kBack,  nullptr,      nullptr},
    Control{"Command1", K::push_button, "计算",  {1920, 120, 2175, 1215}, 14, "",                            "",       kFront, &kButtonFont, on_command1_clicked},
    Control{"Text5",    K::text_box,    "",      {480,  1680, 975, 270}, 15, "",                            "",       kFront, nullptr,      nullptr},
    Control{"Label11",  K::label,       "r:",    {240,  1680, 375, 255}, 16, "荷载分布系数计算中的弯矩参数", "Text5",  kBack,  nullptr,      nullptr},
    // From (120, 1560) to (4080, 1560), between the l row and the result row.
    Control{"Line1",    K::line,        "",      {120,  1560, 3960, 0},  -1, "",                            "",       kBack,  nullptr,      nullptr},
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

constexpr WindowDescription kForm1{"Form1", "Bemvara", 4185, 2040, kWindowFont, kControls, kMenus};

}  // namespace

const WindowDescription& main_window() { return kForm1; }

bool takes_focus(const Control& control) {
    return control.kind == ControlKind::text_box || control.kind == ControlKind::push_button;
}

std::string accessible_name(const WindowDescription& window, const Control& text_box) {
    for (const Control& label : window.controls) {
        if (label.kind == ControlKind::label && label.describes == text_box.name) {
            std::string name(label.text);
            name.append(" ").append(label.tooltip);
            return name;
        }
    }
    return {};
}

void on_command1_clicked(View& view) {
    const calc::CalcOutcome outcome =
        calc::calculate_parameter(view.text("Text1"), view.text("Text2"), view.text("Text3"), view.text("Text4"));
    if (outcome.kind == calc::CalcOutcome::Kind::message)
        view.show_message(outcome.text);
    else
        view.set_text("Text5", outcome.text);
}

void on_exit_chosen(View& view) { view.end_program(); }
void on_help_chosen(View& view) { view.show_message(kHelpNote); }
void on_writer_chosen(View& view) { view.show_message(kAuthorNote); }

}  // namespace ui
