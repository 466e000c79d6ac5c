#include "calc/parameter_calculation.h"

#include <gtest/gtest.h>

namespace {

using calc::calculate_parameter;
using calc::CalcOutcome;
using Kind = CalcOutcome::Kind;

constexpr const char* kMessageI = "抗弯惯性矩I不可能小于等于0";
constexpr const char* kMessageIT = "抗扭惯性矩IT不可能小于等于0";
constexpr const char* kMessageB = "梁或板宽b不可能小于等于0";
constexpr const char* kMessageL = "计算跨径l不可能小于等于0";

struct Case {
    const char* name;
    const char* I;
    const char* IT;
    const char* b;
    const char* l;
    Kind kind;
    const char* text;
};

void expect_outcome(const Case& c) {
    SCOPED_TRACE(c.name);
    const CalcOutcome outcome = calculate_parameter(c.I, c.IT, c.b, c.l);
    EXPECT_EQ(c.kind, outcome.kind);
    EXPECT_EQ(c.text, outcome.text);
}

TEST(CalculateParameter, GivesRToFifteenDigits) {
    const Case cases[] = {
        {"initial texts", "0.025", "0.016", "1", "20", Kind::result, " .453125"},
        {"four ones", "1", "1", "1", "1", Kind::result, " 5.8"},
        {"5.799999999999999 shows 5.8", "0.05", "0.02", "2", "10", Kind::result, " 5.8"},
        {"b squared, l once", "2", "3", "7", "11", Kind::result, " 17.2242424242424"},
        {"doubling l halves r", "0.025", "0.016", "1", "40", Kind::result, " .2265625"},
        {"trailing junk is ignored", "0.025abc", "0.016", "1", "20", Kind::result, " .453125"},
        {"full-width input", "０．０２５", "０．０１６", "１", "２０", Kind::result, " .453125"},
        {"large but finite", "1e300", "1", "1e3", "1", Kind::result, " 5.8E+306"},
        {"left to right rounding", "0.1", "0.3", "3", "0.7", Kind::result, " 24.8571428571429"},
    };
    for (const auto& c : cases) expect_outcome(c);
}

TEST(CalculateParameter, NamesOnlyTheFirstInputThatIsNotPositive) {
    const Case cases[] = {
        {"empty I before bad IT", "", "-1", "1", "1", Kind::message, kMessageI},
        {"all zero", "0", "0", "0", "0", Kind::message, kMessageI},
        {"text is no number", "abc", "1", "1", "1", Kind::message, kMessageI},
        {"negative zero", "-0", "1", "1", "1", Kind::message, kMessageI},
        {"IT negative", "1", "-0.016", "1", "1", Kind::message, kMessageIT},
        {"b empty", "1", "1", "", "1", Kind::message, kMessageB},
        {"l zero", "0.025", "0.016", "1", "0", Kind::message, kMessageL},
        {"a comma ends the number", "1", "1", "1", ",5", Kind::message, kMessageL},
        {"negative beyond range is still <= 0", "-1E400", "1", "1", "1", Kind::message, kMessageI},
    };
    for (const auto& c : cases) expect_outcome(c);
}

// Values beyond the double range used to end the program; now they are
// reported like any other input problem.
TEST(CalculateParameter, ReportsValuesBeyondTheDoubleRange) {
    const Case cases[] = {
        {"I too large", "1E400", "1", "1", "1", Kind::message, "抗弯惯性矩I超出数值范围"},
        {"IT too large", "1", "1e309", "1", "1", Kind::message, "抗扭惯性矩IT超出数值范围"},
        {"b too large", "1", "1", "9e999", "1", Kind::message, "梁或板宽b超出数值范围"},
        {"l too large", "1", "1", "1", "2e308", Kind::message, "计算跨径l超出数值范围"},
        {"earlier <= 0 wins", "0", "1e400", "1", "1", Kind::message, kMessageI},
        {"r overflows", "1e300", "1e-10", "1e5", "1", Kind::message, "弯矩参数r超出数值范围"},
        {"b squared overflows", "1", "1", "1e200", "1", Kind::message, "弯矩参数r超出数值范围"},
        {"r underflows to zero", "1E-200", "1", "1E-200", "1", Kind::message, "弯矩参数r超出数值范围"},
        {"subnormal r is still a result", "1e-310", "5.8", "1", "1", Kind::result, " 9.99999999999997E-311"},
        {"tiny input, normal r", "1e-300", "1e-300", "1", "1", Kind::result, " 5.8"},
    };
    for (const auto& c : cases) expect_outcome(c);
}

}  // namespace
