// Prints the window description as JSON, for the build step that draws the
// window into the page before any script runs.
#include <cstdio>

#include "ui/main_window.h"
#include "ui/web/description_json.h"

int main() {
    const std::string json = ui::web::description_json(ui::main_window());
    std::fwrite(json.data(), 1, json.size(), stdout);
    std::fputc('\n', stdout);  // Node's console takes whole lines
    return std::ferror(stdout) ? 1 : 0;
}
