// Prints what the site's build writes into the page: the window's
// description as JSON (read by the page's script), or the window drawn
// from it, as markup or as style.
//   print_description json|markup|style|media
//   print_description downloads SYSTEM FILE BYTES SHA256 ... SUMS_FILE
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "ui/main_window.h"
#include "ui/web/description_json.h"
#include "ui/web/page_render.h"

int main(int argc, char** argv) {
    const std::string_view what = argc > 1 ? argv[1] : "json";
    const ui::WindowDescription& window = ui::main_window();
    std::string out;
    if (what == "json") {
        out = ui::web::description_json(window);
    } else if (what == "markup") {
        out = ui::web::window_markup(window);
    } else if (what == "style") {
        out = ui::web::window_style(window);
    } else if (what == "media") {  // the two layouts' conditions, one a line
        out = ui::web::desktop_media() + "\n" + ui::web::phone_media();
    } else if (what == "downloads" && argc % 4 == 3) {
        std::vector<ui::web::Download> downloads;
        const std::string_view sums = argv[argc - 1];
        for (int i = 2; i + 3 < argc; i += 4)
            downloads.push_back({argv[i], argv[i + 1], std::strtoull(argv[i + 2], nullptr, 10), argv[i + 3], sums});
        out = ui::web::downloads_markup(window, downloads);
    } else {
        std::fputs("usage: print_description json|markup|style|media\n"
                   "       print_description downloads SYSTEM FILE BYTES SHA256 ... SUMS_FILE\n", stderr);
        return 2;
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    std::fputc('\n', stdout);  // Node's console takes whole lines
    return std::ferror(stdout) ? 1 : 0;
}
