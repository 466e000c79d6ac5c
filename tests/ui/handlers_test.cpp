#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "ui/main_window.h"

namespace {

// Holds the boxes' texts and records everything a handler does.
class FakeView : public ui::View {
public:
    FakeView() {
        for (const ui::Control& control : ui::main_window().controls)
            if (control.kind == ui::ControlKind::text_box) texts[std::string(control.name)] = std::string(control.text);
    }

    std::string text(std::string_view control) const override {
        reads.emplace_back(control);
        return texts.at(std::string(control));
    }
    void set_text(std::string_view control, std::string_view text) override {
        writes.emplace_back(control);
        texts.at(std::string(control)) = text;
    }
    void show_message(std::string_view text) override { messages.emplace_back(text); }
    void focus_selected(std::string_view control) override { focused.emplace_back(control); }
    void copy_to_clipboard(std::string_view plain, std::string_view html) override {
        copied.emplace_back(plain);
        copied_html.emplace_back(html);
    }
    void end_program() override { ++ends; }

    std::map<std::string, std::string> texts;
    mutable std::vector<std::string> reads;
    std::vector<std::string> writes;
    std::vector<std::string> messages;
    std::vector<std::string> focused;
    std::vector<std::string> copied;
    std::vector<std::string> copied_html;
    int ends = 0;
};

const ui::Control& control_named(std::string_view name) {
    for (const ui::Control& control : ui::main_window().controls)
        if (control.name == name) return control;
    throw std::out_of_range(std::string(name));
}

// What the user does before pressing "计算", and what must follow.
struct CalculateCase {
    const char* name;
    std::map<std::string, std::string> typed;
    const char* text5_after;
    const char* message;  // nullptr: none
    const char* focused;  // where the focus goes after the message; nullptr: stays
};

TEST(Command1Clicked, FillsText5OrShowsTheMessage) {
    const CalculateCase cases[] = {
        {"initial texts", {}, " .453125", nullptr, nullptr},
        {"cleared Text1 keeps Text5", {{"Text1", ""}, {"Text5", "old"}}, "old", "抗弯惯性矩I不可能小于等于0", "Text1"},
        {"span typed as zero", {{"Text4", "0"}}, "", "计算跨径l不可能小于等于0", "Text4"},
        {"typed result is overwritten", {{"Text5", "typed by hand"}}, " .453125", nullptr, nullptr},
        {"Text5 is never an input", {{"Text5", "0"}, {"Text3", "2"}}, " 1.8125", nullptr, nullptr},
        {"too large a width", {{"Text3", "1e999"}}, "", "梁或板宽b超出数值范围", "Text3"},
        {"IT not above zero", {{"Text2", "-1"}}, "", "抗扭惯性矩IT不可能小于等于0", "Text2"},
        {"r beyond the doubles names no box", {{"Text1", "1e300"}, {"Text3", "1e300"}}, "", "弯矩参数r超出数值范围",
         nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeView view;
        for (const auto& [box, text] : c.typed) view.texts[box] = text;
        const auto before = view.texts;

        const ui::Control& button = control_named("Command1");
        ASSERT_NE(nullptr, button.clicked);
        button.clicked(view);

        EXPECT_EQ(c.text5_after, view.texts["Text5"]);
        for (const char* box : {"Text1", "Text2", "Text3", "Text4"}) EXPECT_EQ(before.at(box), view.texts[box]) << box;
        if (c.message) {
            EXPECT_EQ(std::vector<std::string>{c.message}, view.messages);
            EXPECT_TRUE(view.writes.empty());
        } else {
            EXPECT_TRUE(view.messages.empty());
            EXPECT_EQ(std::vector<std::string>{"Text5"}, view.writes);
        }
        EXPECT_EQ(c.focused ? std::vector<std::string>{c.focused} : std::vector<std::string>{}, view.focused);
        EXPECT_EQ(0, view.ends);
        EXPECT_EQ(0, std::count(view.reads.begin(), view.reads.end(), "Text5"));
    }
}

// Each click reads the boxes afresh: nothing from an earlier click, result
// or message, leaks into the next.
TEST(Command1Clicked, EachClickReadsTheBoxesAfresh) {
    FakeView view;
    const struct {
        const char* box;
        const char* typed;
        const char* text5_after;
    } steps[] = {
        {"Text1", "0.025", " .453125"},
        {"Text4", "40", " .2265625"},
        {"Text1", "", " .2265625"},  // a message: Text5 keeps the last result
        {"Text1", "0.05", " .453125"},
        {"Text1", "0.05", " .453125"},  // unchanged inputs, the same text
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(std::string(step.box) + "=" + step.typed);
        view.texts[step.box] = step.typed;
        ui::on_command1_clicked(view);
        EXPECT_EQ(step.text5_after, view.texts["Text5"]);
    }
    EXPECT_EQ(std::vector<std::string>{"抗弯惯性矩I不可能小于等于0"}, view.messages);
}

struct MenuCase {
    const char* item;
    const char* message;  // nullptr: ends the program instead
};

TEST(MenuItems, ShowTheirNotesOrEndTheProgram) {
    const MenuCase cases[] = {
        {"EXIT", nullptr},
        {"HELP", "本程序完全参照Zelvorn版《桥梁工程》397页公式编写，不足请指正！"},
        {"WRITER", "作者：林桥远，青岚交通学院2009级桥梁工程专业，现就职于澄江路桥设计所，QQ：0123456789!"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.item);
        const ui::MenuItem* found = nullptr;
        for (const ui::Menu& menu : ui::main_window().menus)
            for (const ui::MenuItem& item : menu.items)
                if (item.name == c.item) found = &item;
        ASSERT_NE(nullptr, found);

        FakeView view;
        view.texts["Text1"] = "edited";
        view.texts["Text5"] = " 1";
        const auto before = view.texts;
        found->chosen(view);

        EXPECT_EQ(before, view.texts);
        EXPECT_TRUE(view.writes.empty());
        if (!c.message) {
            EXPECT_EQ(1, view.ends);
            EXPECT_TRUE(view.messages.empty());
            continue;
        }
        EXPECT_EQ(0, view.ends);
        EXPECT_EQ(std::vector<std::string>{c.message}, view.messages);
    }
}

TEST(Description, TextBoxesAreAnnouncedByTheirSymbolAndMeaning) {
    const auto& window = ui::main_window();
    EXPECT_EQ("I: 梁或板的抗弯惯性矩，单位 m³", ui::accessible_name(window, control_named("Text1")));
    EXPECT_EQ("IT: 梁或板的抗扭惯性矩，单位 m⁴", ui::accessible_name(window, control_named("Text2")));
    EXPECT_EQ("b: 梁或板的宽度，单位 m", ui::accessible_name(window, control_named("Text3")));
    EXPECT_EQ("l: 计算跨径，单位 m", ui::accessible_name(window, control_named("Text4")));
    EXPECT_EQ("r: 荷载分布系数计算中的弯矩参数", ui::accessible_name(window, control_named("Text5")));
    EXPECT_EQ("IT", ui::symbol_of(window, control_named("Text2")));
}

// What a double-click selects: the whole number, sign, point and exponent
// with it, never a part that reads as another number.
TEST(Description, DoubleClickSelectsTheRunBetweenBlanks) {
    const struct {
        std::u16string_view text;
        std::size_t at;
        std::size_t first, last;
    } cases[] = {
        {u" 2.5E-05", 3, 1, 8},       // on the point
        {u" 2.5E-05", 4, 1, 8},       // on the exponent's letter
        {u" .453125", 1, 1, 8},
        {u"1 2\u30003", 2, 2, 3},     // the ideographic space is a blank too
        {u"0.025  abc", 5, 5, 7},     // on the blanks: the blanks
        {u"20", 9, 0, 2},             // past the end: the last run
        {u"", 0, 0, 0},
    };
    for (const auto& c : cases) {
        const auto [first, last] = ui::double_click_run(ui::main_window().behaviour, c.text, c.at);
        EXPECT_EQ(c.first, first) << c.at;
        EXPECT_EQ(c.last, last) << c.at;
    }
}

}  // namespace

namespace {

// The record as a word processor gets it; the scenarios read it back as each
// platform's clipboard gives it.
TEST(RecordChosen, CopiesTheRecordAsRichText) {
    FakeView view;
    ui::on_record_chosen(view);
    ASSERT_EQ(1u, view.copied_html.size());
    EXPECT_EQ("<p>弯矩参数 r = 5.8·I·b<sup>2</sup>/(IT·l)</p>\n"
              "<table border=\"1\" cellspacing=\"0\" cellpadding=\"4\"><tr><th>符号</th><th>数值</th><th>单位</th><th>含义</th></tr>"
              "<tr><td>I</td><td>0.025</td><td>m<sup>3</sup></td><td>梁或板的抗弯惯性矩</td></tr>"
              "<tr><td>IT</td><td>0.016</td><td>m<sup>4</sup></td><td>梁或板的抗扭惯性矩</td></tr>"
              "<tr><td>b</td><td>1</td><td>m</td><td>梁或板的宽度</td></tr>"
              "<tr><td>l</td><td>20</td><td>m</td><td>计算跨径</td></tr>"
              "<tr><td>r</td><td>0.453125</td><td></td><td>荷载分布系数计算中的弯矩参数</td></tr></table>\n"
              "<p>r = 5.8 × 0.025 × 1<sup>2</sup> / (0.016 × 20) = 0.453125</p>\n<p>Bemvara 1.0.0</p>",
              view.copied_html[0]);

    view.texts["Text3"] = "1e-100";  // a power of a value in exponent form is bracketed
    ui::on_record_chosen(view);
    ASSERT_EQ(2u, view.copied.size());
    EXPECT_NE(std::string::npos, view.copied[1].find("× (1E-100)² /"));
}

}  // namespace

namespace {

// The words users read and hear, each as they know it; a word changed in
// the description is changed here too, on purpose.
TEST(Description, EveryWordIsTheOneUsersKnow) {
    const ui::WindowDescription& window = ui::main_window();
    const ui::Texts& t = window.texts;
    const std::pair<std::string_view, std::string_view> words[] = {
        {control_named("Text1").hint, "须大于0"},
        {control_named("Text5").hint, "计算结果：r = 5.8·I·b²/(IT·l)"},
        {window.menus[0].caption, "文件"},
        {window.menus[1].caption, "关于"},
        {control_named("Text5").commands[0].caption, "复制计算记录"},
        {t.download_check, "下载后请核对 SHA-256：Windows 上运行 certutil -hashfile Bemvara.exe SHA256，"
                           "Linux 上运行 sha256sum -c --ignore-missing SHA256SUMS。"},
        {t.downloads, "下载桌面版"},
        {t.download_windows, "Windows 版"},
        {t.download_debian, "Debian/Ubuntu 版"},
        {t.download_sums, "全部校验值"},
        {t.update_ready, "新版本已备好，重新载入本页即可使用。"},
        {t.not_started, "{title} 尚未启动。"},
        {t.cannot_start, "{title} 无法启动：{reason}"},
        {t.module_missing, "程序文件未能载入。"},
        {t.update_browser, "请用较新版本的 Chrome、Edge、Firefox 或 Safari 打开本页。"},
        {t.tell_host, "请告知网站管理员：script-src 须含 'wasm-unsafe-eval'。"},
        {t.ended[1], "重新载入本页即可重新开始。"},
        {t.app_name, "{title} 弯矩参数计算器"},
        {t.edit_copy, "复制(&C)"},
        {t.edit_paste, "粘贴(&P)"},
        {t.copied, "已复制"},
    };
    for (const auto& [word, known] : words) EXPECT_EQ(known, word);
}

}  // namespace
