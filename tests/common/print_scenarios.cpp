// Prints the behaviour scenarios as JSON, so that the page's driver, in
// Python, plays the very steps this reader makes of the table.
//   print_scenarios PATH/TO/behaviour.txt OUT.json
#include <cstdio>
#include <exception>
#include <string>

#include "tests/common/scenarios.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fputs("usage: print_scenarios PATH/TO/behaviour.txt OUT.json\n", stderr);
        return 2;
    }
    std::string json;
    try {
        json = scenarios::to_json(scenarios::read(argv[1]));
    } catch (const std::exception& error) {
        std::fprintf(stderr, "print_scenarios: %s\n", error.what());
        return 1;
    }
    std::FILE* out = std::fopen(argv[2], "wb");
    const bool written = out && std::fwrite(json.data(), 1, json.size(), out) == json.size();
    return out && std::fclose(out) == 0 && written ? 0 : 1;
}
