#include "calc/parameter_calculation.h"

#include <array>
#include <cmath>

#include "calc/number_text.h"

namespace calc {

namespace {

// The double nearest to 5.8 (0x4017333333333333).
constexpr double kCoefficient = 5.8;

constexpr std::string_view kNotPositive = "不可能小于等于0";
constexpr std::string_view kOutOfRange = "超出数值范围";

CalcOutcome message(std::string_view name, std::string_view complaint) {
    std::string text;
    text.reserve(name.size() + complaint.size());
    text.append(name).append(complaint);
    return {CalcOutcome::Kind::message, std::move(text)};
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
        if (value <= 0.0) return message(inputs[i].name, kNotPositive);
        if (std::isinf(value)) return message(inputs[i].name, kOutOfRange);
        values[i] = value;
    }
    const auto [I, IT, b, l] = values;

    // Left to right, each step rounded to a double, so the last digit shown
    // is the one engineers get from the formula worked in this order.
    double r = kCoefficient * I;
    r = r * b;
    r = r * b;
    r = r / IT;
    r = r / l;
    if (std::isinf(r) || r == 0.0) return message("弯矩参数r", kOutOfRange);
    return {CalcOutcome::Kind::result, write_number(r)};
}

}  // namespace calc
