#include "calc/parameter_calculation.h"

#include <array>
#include <cmath>
#include <limits>

#include "calc/number_text.h"

namespace calc {

namespace {

// The double nearest to 5.8 (0x4017333333333333).
constexpr double kCoefficient = 5.8;

constexpr std::string_view kNotPositive = "不可能小于等于0";
constexpr std::string_view kOutOfRange = "超出数值范围";

CalcOutcome message(std::string_view name, std::string_view complaint, int input = -1) {
    std::string text;
    text.reserve(name.size() + complaint.size());
    text.append(name).append(complaint);
    return {CalcOutcome::Kind::message, std::move(text), input};
}

// A positive double as a fraction in [0.5, 1) times a power of two. Scaling
// by a power of two is exact, and a product or quotient of two fractions is
// a normal double, so each step below rounds exactly as the same step on
// the values does where that stays among the normal doubles, and keeps
// every digit where that would overflow or lose digits below them.
struct Scaled {
    double fraction;
    int exponent;
};

Scaled scaled(double value) {
    int exponent = 0;
    const double fraction = std::frexp(value, &exponent);
    return {fraction, exponent};
}

Scaled times(Scaled a, Scaled b) {
    Scaled product = scaled(a.fraction * b.fraction);
    product.exponent += a.exponent + b.exponent;
    return product;
}

Scaled over(Scaled a, Scaled b) {
    Scaled quotient = scaled(a.fraction / b.fraction);
    quotient.exponent += a.exponent - b.exponent;
    return quotient;
}

// Below the least normal double a value has fewer than 15 true digits.
bool is_normal_positive(double value) {
    return value >= std::numeric_limits<double>::min() && value <= std::numeric_limits<double>::max();
}

}  // namespace

CalcOutcome calculate_parameter(std::string_view text_I, std::string_view text_IT,
                                std::string_view text_b, std::string_view text_l) {
    struct Input {
        std::string_view name;  // how the messages call it
        std::string_view text;
    };
    const std::array<Input, 4> inputs{{
        {"抗弯惯性矩I", text_I},
        {"抗扭惯性矩IT", text_IT},
        {"梁或板宽b", text_b},
        {"计算跨径l", text_l},
    }};

    std::array<double, 4> values{};
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        const double value = read_number(inputs[i].text);
        // A positive number too small for a double reads as 0; it is not 0.
        const int input = static_cast<int>(i);
        if (value == 0.0 && !std::signbit(value) && has_nonzero_digit(inputs[i].text))
            return message(inputs[i].name, kOutOfRange, input);
        if (value <= 0.0) return message(inputs[i].name, kNotPositive, input);
        // Beyond the doubles, or below the normal ones, where a value holds
        // fewer than 15 true digits: the box typed is what cannot be held,
        // whatever the other boxes hold.
        if (!is_normal_positive(value)) return message(inputs[i].name, kOutOfRange, input);
        values[i] = value;
    }
    const auto [I, IT, b, l] = values;

    // Left to right, each step rounded to a double, so the last digit shown
    // is the one engineers get from the formula worked in this order.
    Scaled scaled_r = times(scaled(kCoefficient), scaled(I));
    scaled_r = times(scaled_r, scaled(b));
    scaled_r = times(scaled_r, scaled(b));
    scaled_r = over(scaled_r, scaled(IT));
    scaled_r = over(scaled_r, scaled(l));
    const double r = std::ldexp(scaled_r.fraction, scaled_r.exponent);
    if (!is_normal_positive(r)) return message("弯矩参数r", kOutOfRange);
    return {CalcOutcome::Kind::result, write_number(r), -1};
}

}  // namespace calc
