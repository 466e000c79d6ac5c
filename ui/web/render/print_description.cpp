// Prints what the site's build writes into the page: the window's
// description as JSON (read by the page's script), or the window drawn
// from it, as markup or as style; or every text the window and its
// messages can show, for the faces the page carries.
//   print_description json|site|markup|commands|style|media|shown
//   print_description downloads SYSTEM FILE BYTES SHA256 ... SUMS_FILE
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "ui/main_window.h"
#include "ui/web/render/description_json.h"
#include "ui/web/render/page_render.h"

int main(int argc, char** argv) {
    const std::string_view what = argc > 1 ? argv[1] : "json";
    const ui::WindowDescription& window = ui::main_window();
    std::string out;
    if (what == "json") {
        out = ui::web::description_json(window);
    } else if (what == "site") {  // for the site's build and its tests
        out = ui::web::site_json(window);
    } else if (what == "markup") {
        out = ui::web::window_markup(window);
    } else if (what == "commands") {
        out = ui::web::commands_markup(window);
    } else if (what == "style") {
        out = ui::web::window_style(window);
    } else if (what == "media") {  // the layouts' conditions, one a line
        out = ui::web::desktop_media() + "\n" + ui::web::phone_media() + "\n" + ui::web::sideways_media();
    } else if (what == "shown") {
        out.append(window.title).append(window.texts.message_ok).append(ui::kHelpNote).append(ui::kAuthorNote);
        for (const ui::Control& control : window.controls) {
            out.append(control.text);
            for (const ui::MenuItem& command : control.commands) out.append(command.caption);
        }
        for (const ui::Menu& menu : window.menus) {
            out.append(menu.caption);
            for (const ui::MenuItem& item : menu.items) out.append(item.caption);
        }
    } else if (what == "downloads" && argc % 4 == 3) {
        std::vector<ui::web::Download> downloads;
        const std::string_view sums = argv[argc - 1];
        for (int i = 2; i + 3 < argc; i += 4)
            downloads.push_back({argv[i], argv[i + 1], std::strtoull(argv[i + 2], nullptr, 10), argv[i + 3], sums});
        out = ui::web::downloads_markup(window, downloads);
    } else {
        std::fputs("usage: print_description json|site|markup|commands|style|media|shown\n"
                   "       print_description downloads SYSTEM FILE BYTES SHA256 ... SUMS_FILE\n", stderr);
        return 2;
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    std::fputc('\n', stdout);  // Node's console takes whole lines
    return std::ferror(stdout) ? 1 : 0;
}
