#include "ui/web/render/page_render.h"

#include <algorithm>
#include <cstdio>
#include <string_view>
#include <utility>

#include "ui/html_text.h"

namespace ui::web {

namespace {

// After the description's own chain of faces, whatever serif face is there.
constexpr std::string_view kGenericFace = "serif";
// The limit of the desktop's text boxes, so a long paste behaves alike.
constexpr int kMaxTextLength = 32767;
constexpr std::string_view kEarlyForm = "early-form";
constexpr double kCssPixelsPerPoint = 96.0 / 72.0;

std::string number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

std::string px(double value) { return number(value) + "px"; }

// "#name", built by appending: GCC 12 warns wrongly of overlap in "#" + name.
std::string id_selector(std::string_view name) {
    std::string selector(1, '#');
    selector.append(name);
    return selector;
}


std::string escaped(std::string_view text) { return html_escaped(text); }

std::string font_css(const FontSpec& font) {
    std::string css = std::to_string(font.weight) + " " + number(font.points) + "pt ";
    for (std::string_view family : font.families) css.append("\"").append(family).append("\", ");
    return css.append(kGenericFace);
}

std::string_view class_of(ControlKind kind) {
    switch (kind) {
        case ControlKind::label: return "label";
        case ControlKind::text_box: return "text-box";
        case ControlKind::push_button: return "push-button";
        case ControlKind::line: return "line";
    }
    return "label";
}

// Edges, not sizes, of a line are converted, so it ends where it ends in twips.
std::string place_css(const Control& control) {
    const TwipsRect rect = drawn_rect(control);
    std::string css = id_selector(control.name) + "{left:" + px(twips_to_pixels(rect.left_twips)) +
                      ";top:" + px(twips_to_pixels(rect.top_twips)) + ";width:";
    if (control.kind == ControlKind::line) {
        css += px(twips_to_pixels(rect.left_twips + rect.width_twips) - twips_to_pixels(rect.left_twips));
    } else {
        css += px(twips_to_pixels(rect.width_twips)) + ";height:" + px(twips_to_pixels(rect.height_twips));
    }
    return css + ";z-index:" + std::to_string(control.layer) + "}";
}

// A symbol label carries its box's meaning as a tooltip; on a touch screen,
// which cannot hover, the meaning is shown in words.
bool has_meaning(const Control& control) {
    return control.role == LabelRole::symbol;
}

// `first_focus`: the control that holds the focus at start.
std::string control_markup(const WindowDescription& window, const Control& control, std::size_t index,
                           const Control* first_focus) {
    const std::string name(control.name);
    std::string attributes = "id=\"" + name + "\" class=\"" + std::string(class_of(control.kind)) + "\"";
    if (!control.tooltip.empty()) attributes += " title=\"" + escaped(control.tooltip) + "\"";
    switch (control.kind) {
        case ControlKind::text_box: {
            // The box that holds the focus at start shows its first value as
            // a placeholder, drawn as a value, until the page's script makes
            // it one: keys typed before then replace it, as they replace the
            // selected value after.
            const bool starts_focused = &control == first_focus;
            std::string made = "<input type=\"text\" " + attributes +
                               (starts_focused ? " value=\"\" placeholder=\"" : " value=\"") + escaped(control.text) +
                               "\" maxlength=\"" + std::to_string(kMaxTextLength) +
                               "\" autocomplete=\"off\" spellcheck=\"false\" inputmode=\"decimal\"";
            if (const std::string label = accessible_name(window, control); !label.empty())
                made += " aria-label=\"" + escaped(label) + "\"";
            if (!control.hint.empty()) made += " aria-describedby=\"" + name + "-hint\"";
            if (starts_focused) made += " autofocus";
            made += " form=\"" + std::string(kEarlyForm) + "\">";
            if (!control.hint.empty()) made += "<span id=\"" + name + "-hint\" hidden>" + escaped(control.hint) + "</span>";
            return made;
        }
        case ControlKind::push_button: {
            // The button Enter clicks submits the early form, as Enter in a
            // box does: so both are kept until the page's script runs.
            const bool submits = control.name == window.behaviour.enter_clicks;
            return std::string("<button type=\"") + (submits ? "submit" : "button") + "\" " + attributes +
                   (submits ? " form=\"" + std::string(kEarlyForm) + "\"" : "") + " data-index=\"" +
                   std::to_string(index) + "\">" + escaped(control.text) + "</button>";
        }
        case ControlKind::line:
            return "<div " + attributes + " role=\"separator\"></div>";
        case ControlKind::label: {
            if (folded_into_name(control)) attributes += " aria-hidden=\"true\"";  // said in its box's name
            std::string made = "<div " + attributes + ">" + escaped(control.text) + "</div>";
            if (has_meaning(control))
                made += "<div id=\"" + name + "-meaning\" class=\"meaning\" aria-hidden=\"true\">" +
                        escaped(control.tooltip) + "</div>";
            return made;
        }
    }
    return {};
}

std::string menu_bar_markup(const WindowDescription& window) {
    std::string bar = "<div role=\"menubar\" aria-label=\"" + escaped(window.title) + "\">";
    for (const Menu& menu : window.menus) {
        const std::string name(menu.name);
        bar += "<div class=\"menu\"><button type=\"button\" role=\"menuitem\" id=\"" + name +
               "\" class=\"menu-title\" aria-haspopup=\"menu\" aria-expanded=\"false\" tabindex=\"-1\">" +
               escaped(menu.caption) + "</button><div role=\"menu\" aria-labelledby=\"" + name + "\" hidden>";
        for (const MenuItem& item : menu.items)
            bar += "<button type=\"button\" role=\"menuitem\" id=\"" + std::string(item.name) +
                   "\" class=\"menu-item\" tabindex=\"-1\">" + escaped(item.caption) + "</button>";
        bar += "</div></div>";
    }
    return bar + "</div>";
}

// Below the window, the boxes' commands: a box's menu on a page is the
// browser's, which a page cannot add to. Then where a command says it was
// done, and where a record the browser would not take is shown to copy.
std::string command_buttons(const WindowDescription& window) {
    std::string buttons;
    for (std::size_t i = 0; i < window.controls.size(); ++i)
        for (std::size_t j = 0; j < window.controls[i].commands.size(); ++j) {
            const MenuItem& command = window.controls[i].commands[j];
            buttons += "<button type=\"button\" id=\"" + escaped(command.name) + "\" class=\"command\" data-control=\"" +
                       std::to_string(i) + "\" data-command=\"" + std::to_string(j) + "\">" + escaped(command.caption) +
                       "</button>";
        }
    return buttons;
}

}  // namespace

std::string commands_markup(const WindowDescription& window) {
    const std::string buttons = command_buttons(window);
    if (buttons.empty()) return {};
    return "<div class=\"commands\">" + buttons +
           "<span id=\"command-done\" class=\"command-done\" aria-hidden=\"true\"></span>"
           "<div id=\"copy-by-hand\" class=\"copy-by-hand\" hidden><p role=\"alert\"></p>"
           "<textarea readonly rows=\"7\" spellcheck=\"false\"></textarea></div></div>";
}

namespace {

std::string desktop_style(const WindowDescription& window) {
    const int width = twips_to_pixels(window.client_width_twips);
    const int height = twips_to_pixels(window.client_height_twips);
    const int frame_width = width + 2 * kFrameBorderPx;
    const int frame_height = height + kMenuBarHeightPx + 2 * kFrameBorderPx;
    std::string css = ":root{--window-width:" + px(frame_width) + ";--window-height:" + px(frame_height) +
                      ";--scale:1;--menu-bar-height:" + px(kMenuBarHeightPx) +
                      ";--text:" + px(window.font.points * kCssPixelsPerPoint) + ";--phone-text:" + px(kPhoneTextPx) +
                      "}\n#app{font:" + font_css(window.font) + "}\n";
    for (const Control& control : window.controls)
        if (control.font) css += id_selector(control.name) + "{font:" + font_css(*control.font) + "}\n";
    css += "@media " + desktop_media() + "{.client{width:" + px(width) + ";height:" + px(height) + "}";
    for (const Control& control : window.controls) css += place_css(control);
    css += "}\n";
    for (const double scale : kScales)
        css += "@media (min-width:" + px(std::max<double>(kPhoneWidthPx, frame_width * scale + kScreenMarginPx)) +
               ") and (min-height:" + px(frame_height * scale + kScreenMarginPx) + "){:root{--scale:" + number(scale) +
               "}}\n";
    return css;
}

// One control's cell in the phone's grid: its row, and its columns of
// symbol (1), box (2) and unit (3). A button is tall beside a meaning.
struct Cell {
    std::string name;
    int row;
    std::string_view columns;
    bool tall;
};

std::string grid_css(std::string_view name, std::string_view rows, std::string_view columns) {
    return id_selector(name) + "{grid-row:" + std::string(rows) + ";grid-column:" + std::string(columns) + "}";
}

// The right half's columns are the left's, three further on.
std::string_view right_half(std::string_view columns) {
    static constexpr std::pair<std::string_view, std::string_view> kRight[] = {
        {"1", "4"}, {"2", "5"}, {"3", "6"}, {"2/-1", "5/-1"}, {"1/-1", "4/-1"}};
    for (const auto& [left, right] : kRight)
        if (columns == left) return right;
    return columns;
}

std::string phone_style(const WindowDescription& window) {
    const double scale = kPhoneTextPx / (window.font.points * kCssPixelsPerPoint);
    std::vector<Cell> cells;
    std::string offsets;
    int grid_row = 1;
    int first_row_across = 0;  // where what is typed ends: the line under the boxes
    for (const std::vector<const Control*>& row : phone_rows(window)) {
        const auto box_at = std::find_if(row.begin(), row.end(),
                                         [](const Control* c) { return c->kind == ControlKind::text_box; });
        if (box_at == row.end()) {  // a row of its own, across the column
            if (!first_row_across) first_row_across = grid_row;
            cells.push_back({std::string(row.front()->name), grid_row++, "1/-1",
                             row.front()->kind == ControlKind::push_button});
            continue;
        }
        const Control* box = *box_at;
        const auto symbol_at = std::find_if(row.begin(), row.end(), [](const Control* c) { return has_meaning(*c); });
        const Control* symbol = symbol_at == row.end() ? nullptr : *symbol_at;
        if (symbol) cells.push_back({std::string(symbol->name) + "-meaning", grid_row++, "1/-1", false});
        std::vector<const Control*> units;
        // A box without a unit (the result) takes the unit's column too, so
        // the longest result shows whole on the smallest phone.
        const bool has_unit = std::any_of(row.begin(), row.end(), [&](const Control* c) { return c != box && c != symbol; });
        for (const Control* control : row) {
            const bool is_unit = control != box && control != symbol;
            cells.push_back({std::string(control->name), grid_row,
                             control == box ? (has_unit ? "2" : "2/-1") : is_unit ? "3" : "1", false});
            if (is_unit) units.push_back(control);
        }
        // A unit that stands over another (the raised 3) keeps its offset.
        std::stable_sort(units.begin(), units.end(),
                         [](const Control* a, const Control* b) { return a->rect.left_twips < b->rect.left_twips; });
        for (std::size_t i = 1; i < units.size(); ++i) {
            const double dx = exact_pixels(units[i]->rect.left_twips - units[i - 1]->rect.left_twips, 96 * scale);
            const double dy = exact_pixels(units[i]->rect.top_twips - units[i - 1]->rect.top_twips, 96 * scale);
            offsets += id_selector(units[i]->name) + "{transform:translate(" + px(dx) + "," + px(dy) + ")}";
        }
        ++grid_row;
    }
    std::string css = "@media " + phone_media() + "{";
    for (const Cell& cell : cells) css += grid_css(cell.name, std::to_string(cell.row), cell.columns);
    css += offsets + "}\n";
    // Held sideways, the column is taller than the screen: what is typed
    // stays on the left, and the button and the result stand beside it,
    // from the top, so that all shows without scrolling. The halves share
    // their rows; a button takes three, beside a meaning, its box and the
    // next meaning, so that the rows after it fall on the left's meanings
    // and boxes and are no taller than they (a row a box's height beside a
    // meaning would hold the meaning off its box).
    constexpr int kButtonRows = 3;
    if (!first_row_across) return css;
    css += "@media " + sideways_media() + "{.client{grid-template-columns:var(--columns) var(--columns)}";
    int right_row = 1, row = first_row_across, rows_taken = 1;  // by the cells of `row`, from `right_row`
    for (const Cell& cell : cells) {
        if (cell.row < first_row_across) continue;
        if (cell.row != row) right_row += std::exchange(rows_taken, 1);
        row = cell.row;
        if (cell.tall) rows_taken = kButtonRows;
        css += grid_css(cell.name, std::to_string(right_row) + (cell.tall ? "/span " + std::to_string(kButtonRows) : ""),
                        right_half(cell.columns));
    }
    return css + "}\n";
}

}  // namespace

// The desktop window wants a pointer that can hover, for the symbols'
// meanings, and aims finely enough for its small boxes: a mouse, or none.
std::string desktop_media() {
    const std::string wide = "(min-width:" + px(kPhoneWidthPx) + ")";
    return wide + " and (pointer:fine)," + wide + " and (pointer:none)";
}
// Narrow screens and every touch screen, however wide: the column. Its
// width is just below the desktop's, so that no width falls between the two.
std::string phone_media() { return "(max-width:" + px(kPhoneWidthPx - 0.02) + "),(pointer:coarse)"; }
// A touch screen wide enough for two of the column's halves side by side.
std::string sideways_media() {
    return "(pointer:coarse) and (orientation:landscape) and (min-width:" + px(kSidewaysWidthPx) + ")";
}

std::vector<std::vector<const Control*>> phone_rows(const WindowDescription& window) {
    std::vector<const Control*> boxes;
    for (const Control& control : window.controls)
        if (control.kind == ControlKind::text_box) boxes.push_back(&control);
    struct Row {
        int key_twips;
        std::vector<const Control*> controls;
    };
    std::vector<Row> rows;
    for (const Control* box : boxes) rows.push_back({box->rect.top_twips, {}});
    std::vector<Row> own;
    for (const Control& control : window.controls) {
        const auto box = std::find_if(boxes.begin(), boxes.end(), [&](const Control* each) {
            return each == &control || each->name == control.describes;
        });
        if (box != boxes.end()) {
            rows[static_cast<std::size_t>(box - boxes.begin())].controls.push_back(&control);
        } else {
            const TwipsRect rect = drawn_rect(control);
            own.push_back({rect.top_twips + rect.height_twips, {&control}});
        }
    }
    rows.insert(rows.end(), own.begin(), own.end());
    std::stable_sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) { return a.key_twips < b.key_twips; });
    std::vector<std::vector<const Control*>> column;
    for (Row& row : rows) column.push_back(std::move(row.controls));
    return column;
}

std::string window_markup(const WindowDescription& window) {
    const std::string title = escaped(window.title);
    const std::vector<const Control*> order = focus_order(window);
    const Control* first_focus = order.empty() ? nullptr : order.front();
    std::string controls;
    for (std::size_t i = 0; i < window.controls.size(); ++i)
        controls += control_markup(window, window.controls[i], i, first_focus);
    // A click on the button (or Enter in a box) before the page's script
    // runs submits this form, which closes its dialog, unseen: the script
    // finds it closed and answers the click. No script is needed for it.
    return "<dialog id=\"early\" open><form id=\"" + std::string(kEarlyForm) + "\" method=\"dialog\"></form></dialog>" +
           "<div id=\"" + std::string(window.name) + "\" class=\"window\">" + menu_bar_markup(window) +
           "<div class=\"client\" role=\"form\" aria-label=\"" + title + "\">" + controls + "</div></div>" +
           "<dialog id=\"message\" role=\"alertdialog\" aria-labelledby=\"message-title\" "
           "aria-describedby=\"message-text\"><h1 id=\"message-title\">" + title +
           "</h1><p id=\"message-text\"></p><form method=\"dialog\"><button id=\"message-ok\" value=\"ok\">" +
           escaped(window.texts.message_ok) + "</button></form></dialog>" +
           // Where a new result is said to a screen reader.
           "<div id=\"announcer\" class=\"announcer\" aria-live=\"polite\"></div>";
}

std::string window_style(const WindowDescription& window) { return desktop_style(window) + phone_style(window); }

std::string downloads_markup(const WindowDescription& window, const std::vector<Download>& downloads) {
    const Texts& texts = window.texts;
    std::string items;
    std::string_view sums;
    for (const Download& download : downloads) {
        const std::string_view name = download.system == "windows"  ? texts.download_windows
                                      : download.system == "debian" ? texts.download_debian
                                                                    : std::string_view();
        if (name.empty()) continue;
        std::string size(texts.download_size);
        const std::string_view placeholder = "{kilobytes}";
        if (const std::size_t at = size.find(placeholder); at != std::string::npos)
            size.replace(at, placeholder.size(), std::to_string((download.bytes + 512) / 1024));
        const std::string file = escaped(download.file);
        items += "<li><a href=\"" + file + "\" download>" + escaped(name) + "</a> <span class=\"size\">" + escaped(size) +
                 "</span> <span class=\"sha256\">SHA-256 <code>" + escaped(download.sha256) + "</code></span></li>";
        sums = download.sums;
    }
    if (items.empty()) return {};
    std::string check = "<p>" + escaped(texts.download_check);
    if (!sums.empty()) check += " <a href=\"" + escaped(sums) + "\" download>" + escaped(texts.download_sums) + "</a>";
    return "<section class=\"downloads\" aria-labelledby=\"downloads-heading\"><h2 id=\"downloads-heading\">" +
           escaped(texts.downloads) + "</h2><ul>" + items + "</ul>" + check + "</p></section>";
}

}  // namespace ui::web
