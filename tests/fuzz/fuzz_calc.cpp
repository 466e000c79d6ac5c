// Feeds arbitrary bytes to the conversions and the calculation and checks
// what must hold for every input, not just the ones we thought of.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
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
    check(!std::isnan(read), "reading never gives NaN");
    // Blanks change no number, wherever they stand: a leading ideographic
    // space reads the same, down to the sign of zero.
    const std::string with_blank = "\xE3\x80\x80" + std::string(bytes);
    const double read_with_blank = calc::read_number(with_blank);
    check(std::memcmp(&read, &read_with_blank, sizeof read) == 0, "a leading blank changes nothing");
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
    check(!outcome.text.empty(), "the outcome has a text");
    if (outcome.kind == calc::CalcOutcome::Kind::message) {
        // The first input that fails names itself; one that reads as a
        // usable number (a normal double above zero) is never blamed, and r
        // only when all four are usable.
        static constexpr std::string_view names[] = {"抗弯惯性矩I", "抗扭惯性矩IT", "梁或板宽b", "计算跨径l"};
        const auto usable = [&](std::size_t i) {
            const double value = calc::read_number(texts[i]);
            return value >= std::numeric_limits<double>::min() && std::isfinite(value);
        };
        std::size_t blamed = 0;
        while (blamed < 4 && !outcome.text.starts_with(names[blamed])) ++blamed;
        if (blamed < 4) check(!usable(blamed), "a message blames an input that fails");
        for (std::size_t i = 0; i < blamed; ++i) check(usable(i), "only the first failing input is blamed");
        if (blamed == 4) {
            check(outcome.text.starts_with("弯矩参数r"), "a message names an input or r");
        }
    }
    if (outcome.kind == calc::CalcOutcome::Kind::result) {
        const double r = calc::read_number(outcome.text);
        check(std::isfinite(r) && r >= std::numeric_limits<double>::min(), "a result is a normal positive number");
        check(outcome.text[0] == ' ', "a result is written without a sign");
    }
    return 0;
}
