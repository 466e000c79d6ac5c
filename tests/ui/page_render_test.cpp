// The page's window as the browser's renderer draws it: where each control
// is placed on the desktop, and how the phone's column is made of rows.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/main_window.h"
#include "ui/web/render/page_render.h"

namespace {

TEST(PageRender, PhoneColumnReadsRowByRowWithTheButtonAfterTheInputs) {
    const std::vector<std::vector<std::string>> expected = {
        {"Label1", "Text1", "Label2", "Label3"}, {"Text2", "Label4", "Label5", "Label6"}, {"Text3", "Label7", "Label8"},
        {"Text4", "Label9", "Label10"},          {"Command1"},                           {"Line1"},
        {"Text5", "Label11"},
    };
    std::vector<std::vector<std::string>> rows;
    for (const auto& row : ui::web::phone_rows(ui::main_window())) {
        rows.emplace_back();
        for (const ui::Control* control : row) rows.back().emplace_back(control->name);
    }
    EXPECT_EQ(expected, rows);
}

// One CSS pixel per 15 twips; a line one pixel thick, from its start to its end.
TEST(PageRender, DesktopPlacesAndMeasures) {
    const std::string style = ui::web::window_style(ui::main_window());
    for (const char* rule : {"#Text1{left:32px;top:8px;width:65px;height:18px;z-index:1}",
                             "#Label3{left:112px;top:0px;width:9px;height:17px;z-index:1}",
                             "#Command1{left:128px;top:8px;width:145px;height:81px;z-index:1}",
                             "#Line1{left:8px;top:104px;width:264px;z-index:0}",
                             ".client{width:279px;height:136px}", "--text:12px",
                             // the raised 3 keeps its place over its m at the phone's 16 px
                             "#Label3{transform:translate(10.6667px,-10.6667px)}"})
        EXPECT_NE(std::string::npos, style.find(rule)) << rule;
}

TEST(PageRender, MarkupEscapesTextAndStartsOnTheFirstBox) {
    const std::string markup = ui::web::window_markup(ui::main_window());
    EXPECT_NE(std::string::npos, markup.find("id=\"Text1\" class=\"text-box\" value=\"\" placeholder=\"0.025\""));
    EXPECT_NE(std::string::npos, markup.find("id=\"Text2\" class=\"text-box\" value=\"0.016\""));
    EXPECT_NE(std::string::npos, markup.find("aria-describedby=\"Text1-hint\" autofocus form=\"early-form\">"));
    // Until the page's script runs, a click on 计算 (or Enter in a box)
    // closes the early form's dialog, which keeps it for the script.
    EXPECT_NE(std::string::npos, markup.find("<button type=\"submit\" id=\"Command1\" class=\"push-button\" "
                                             "form=\"early-form\""));
    EXPECT_EQ(0u, markup.find("<dialog id=\"early\" open><form id=\"early-form\" method=\"dialog\">"));
    EXPECT_EQ(markup.find(" autofocus"), markup.rfind(" autofocus"));  // one box only
    ui::WindowDescription odd = ui::main_window();
    odd.title = "A<B & \"C\"";
    EXPECT_NE(std::string::npos, ui::web::window_markup(odd).find("aria-label=\"A&lt;B &amp; &quot;C&quot;\""));
}

// Sizes to the nearest KB, as a file manager shows them; names escaped.
TEST(PageRender, DownloadsRoundTheirSizesAndEscapeTheirNames) {
    const std::string markup = ui::web::downloads_markup(
        ui::main_window(), {{"windows", "d&1/Bemvara.exe", 1535, "ab", "d&1/SHA256SUMS"},
                            {"debian", "d&1/bemvara.deb", 1536, "cd", "d&1/SHA256SUMS"}});
    EXPECT_NE(std::string::npos, markup.find("href=\"d&amp;1/Bemvara.exe\""));
    EXPECT_NE(std::string::npos, markup.find(">1 KB<"));
    EXPECT_NE(std::string::npos, markup.find(">2 KB<"));
}

}  // namespace
