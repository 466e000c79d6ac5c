// Feeds arbitrary bytes to the conversions and the calculation and checks
// what must hold for every input, not just the ones we thought of.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "calc/number_text.h"
#include "calc/parameter_calculation.h"

namespace {

void check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

// x rounded to 15 significant digits, by the C library.
double rounded_to_15_digits(double x) {
    char text[40];
    std::snprintf(text, sizeof text, "%.14e", x);
    return std::strtod(text, nullptr);
}

void check_round_trip(double x) {
    if (!std::isfinite(x)) {
        calc::write_number(x);  // must merely survive
        return;
    }
    const double back = calc::read_number(calc::write_number(x));
    check(back == rounded_to_15_digits(x), "read_number(write_number(x)) == x to 15 digits");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    const double read = calc::read_number(bytes);
    check_round_trip(read);
    // A leading ideographic space changes no number, but it sends the text
    // past the quick reader of plain ASCII numbers to the full one: the two
    // must agree.
    const std::string with_blank = "\xE3\x80\x80" + std::string(bytes);
    const double read_in_full = calc::read_number(with_blank);
    check(std::memcmp(&read, &read_in_full, sizeof read) == 0 || (std::isnan(read) && std::isnan(read_in_full)),
          "the quick and the full reader agree");
    if (size >= sizeof(double)) {
        double x;
        std::memcpy(&x, data, sizeof x);
        check_round_trip(x);
    }

    // Four box texts separated by '|'; missing ones are empty.
    std::string_view texts[4];
    std::string_view rest = bytes;
    for (auto& text : texts) {
        const auto bar = rest.find('|');
        text = rest.substr(0, bar);
        rest = bar == std::string_view::npos ? std::string_view() : rest.substr(bar + 1);
    }
    const auto outcome = calc::calculate_parameter(texts[0], texts[1], texts[2], texts[3]);
    check(outcome.kind == calc::CalcOutcome::Kind::message || outcome.kind == calc::CalcOutcome::Kind::result,
          "exactly one kind of outcome");
    check(!outcome.text.empty(), "the outcome has a text");
    if (outcome.kind == calc::CalcOutcome::Kind::result) {
        const double r = calc::read_number(outcome.text);
        check(std::isfinite(r) && r > 0, "a result is a finite positive number");
        check(outcome.text[0] == ' ', "a result is written without a sign");
    }
    return 0;
}
