#include "calc/number_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>

namespace {

using calc::read_number;
using calc::write_number;

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr const char* kIdeographicSpace = "\xE3\x80\x80";
constexpr double kLeastSubnormal = std::numeric_limits<double>::denorm_min();

// std::bit_cast, which emscripten's libc++ lacks.
template <typename To, typename From>
To same_bits(From from) {
    static_assert(sizeof(To) == sizeof(From));
    To to;
    std::memcpy(&to, &from, sizeof to);
    return to;
}

// Same bits, so 0 and -0 are told apart and NaN never sneaks through.
void expect_same_double(double expected, double actual) {
    EXPECT_EQ(same_bits<std::uint64_t>(expected), same_bits<std::uint64_t>(actual))
        << "expected " << expected << ", got " << actual;
}

// What the C library makes of an already clean ASCII number.
double strtod_c(const std::string& text) { return std::strtod(text.c_str(), nullptr); }

struct ReadCase {
    const char* text;
    double expected;
};

TEST(ReadNumber, ReadsTheLongestLeadingNumber) {
    const ReadCase cases[] = {
        {"0.025", 0.025},   {"20", 20},         {"-3", -3},        {"+5", 5},
        {".5", 0.5},        {"5.", 5},          {"1.2.3", 1.2},    {"0.025m", 0.025},
        {"1,5", 1},         {"1E-200", 1e-200}, {"2e3", 2000},     {"2D3", 2000},
        {"2d-3", 0.002},    {"1e", 1},          {"1e+", 1},        {"1.5e", 1.5},
        {"1ex5", 1},        {"007", 7},         {"0.000", 0},      {"-0", -0.0},
        {"1e-0", 1},        {"$5", 0},          {"abc", 0},        {"", 0},
        {".", 0},           {"-", 0},           {"--5", 0},        {"+-5", 0},
        {"e5", 0},          {"0x10", 0},        {"12abc34", 12},   {"1.5E+3x", 1500},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        expect_same_double(c.expected, read_number(c.text));
        // A leading ideographic space is a blank like any other.
        expect_same_double(c.expected, read_number(std::string(kIdeographicSpace) + c.text));
    }
}

TEST(ReadNumber, IgnoresBlanksWherever) {
    const ReadCase cases[] = {
        {"  1 000", 1000},       {" 2 0 ", 20},           {"- 5", -5},
        {"1\t2\n3\r4", 1234},    {"1 . 5 e 2", 150},      {"\xE3\x80\x80" "42", 42},  // U+3000
        {"4\xE3\x80\x80" "2", 42}, {"   ", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        expect_same_double(c.expected, read_number(c.text));
    }
}

TEST(ReadNumber, FoldsFullWidthFormsOfInputMethods) {
    const ReadCase cases[] = {
        {"０．０２５", 0.025},  {"１２３４５６７８９０", 1234567890},
        {"－３", -3},           {"＋３", 3},
        {"１Ｅ２", 100},        {"１ｅ－２", 0.01},
        {"１，５", 1},          // a full-width comma still ends the number
        {"１２ｍ", 12},         {"Ｄ", 0},   // no full-width D
        {"３ｄ２", 3},
        // Chinese punctuation's full stops are the decimal point
        {"20。5", 20.5},       {"０。０２５", 0.025},
        {"20｡5", 20.5},        {"1。2。3", 1.2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        expect_same_double(c.expected, read_number(c.text));
    }
}

TEST(ReadNumber, SurvivesAnyBytes) {
    const ReadCase cases[] = {
        {"1\xFF" "2", 1},          {"\xEF\xBC", 0},        {"7\xEF\xBC", 7},
        {"7\xEF", 7},             {"7\xE3\x80", 7},       {"\x80\x80" "5", 0},
        {"3\xEF\xBC\x80" "4", 3},  // U+FF00 is no digit
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        expect_same_double(c.expected, read_number(c.text));
    }
    // An embedded NUL ends the number like any other stranger.
    expect_same_double(12, read_number(std::string_view("12\0" "34", 5)));
}

TEST(ReadNumber, RoundsCorrectlyAtTheHardCases) {
    const char* cases[] = {
        "0.1", "9007199254740993", "9007199254740993.0000000001",
        "1.00000000000000011102230246251565404236316680908203125",  // tie: to even
        "1.00000000000000011102230246251565404236316680908203126",
        "2.2250738585072011e-308", "2.2250738585072012e-308",
        "4.9406564584124654e-324", "2.4703282292062328e-324", "2.4703282292062327e-324",
        "1e-320", "1.7976931348623157e308", "1.7976931348623158e308",
        "123456789012345678901234567890e-20", "0.000000000000000000000000000001e30",
    };
    for (const char* text : cases) {
        SCOPED_TRACE(text);
        expect_same_double(strtod_c(text), read_number(text));
    }
}

TEST(ReadNumber, OutOfRangeBecomesInfinityOrRoundsTowardZero) {
    const ReadCase cases[] = {
        {"1e400", kInf},          {"-1e400", -kInf},      {"1.7976931348623159e308", kInf},
        {"1e99999999999999999999", kInf},                 {"1e-400", 0},
        {"-1e-400", -0.0},        {"1e-99999999999999999999", 0},
        {"4e-324", kLeastSubnormal},                      {"0e99999", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        expect_same_double(c.expected, read_number(c.text));
    }
}

TEST(ReadNumber, HandlesThousandsOfDigits) {
    std::string long_number = "0.";
    long_number.append(2000, '0');
    long_number += "1234567890123456789";
    long_number.append(3000, '7');
    long_number += "e2010";
    expect_same_double(strtod_c(long_number), read_number(long_number));

    const std::string many_ones(5000, '1');
    expect_same_double(strtod_c(many_ones), read_number(many_ones));

    // 1 + 2^-53 lies exactly halfway between 1 and the next double, so it
    // rounds to even; any non-zero digit after it, however far past the
    // digits the reader keeps, tips it up.
    const std::string tie = "1.00000000000000011102230246251565404236316680908203125" + std::string(2000, '0');
    const double above_one = std::nextafter(1.0, 2.0);
    expect_same_double(1.0, read_number(tie));
    expect_same_double(above_one, read_number(tie + "1"));
    expect_same_double(above_one, read_number(tie + "0001e0"));
    expect_same_double(-above_one, read_number("-" + tie + "9 m"));
}

TEST(ReadNumber, AgreesWithStrtodOnRandomNumbers) {
    std::mt19937_64 random(20261207);
    std::uniform_int_distribution<int> digit_count(1, 40), digit(0, 9), exponent(-340, 320), small_exponent(-25, 25);
    for (int i = 0; i < 20000; ++i) {
        std::string text;
        const int digits = digit_count(random);
        const int point = std::uniform_int_distribution<int>(0, digits)(random);
        for (int d = 0; d < digits; ++d) {
            if (d == point) text += '.';
            text += static_cast<char>('0' + digit(random));
        }
        // Half of them short enough to be exact in Clinger's fast path.
        if (i % 2) text.resize(std::min<std::size_t>(text.size(), 16));
        text += 'e' + std::to_string(i % 2 ? small_exponent(random) : exponent(random));
        SCOPED_TRACE(text);
        expect_same_double(strtod_c(text), read_number(text));
        expect_same_double(strtod_c(text), read_number(std::string(kIdeographicSpace) + text));
        if (HasFailure()) return;
    }
}

struct WriteCase {
    double value;
    const char* expected;
};

TEST(WriteNumber, WritesFifteenSignificantDigits) {
    const WriteCase cases[] = {
        {0.453125, " .453125"},
        {5.8, " 5.8"},
        {5.799999999999999, " 5.8"},
        {17.224242424242423, " 17.2242424242424"},
        {0.2265625, " .2265625"},
        {0, " 0"},
        {-0.0, " 0"},
        {-0.5, "-.5"},
        {20, " 20"},
        {1000, " 1000"},
        {123.5, " 123.5"},
        {999999999999999, " 999999999999999"},
        {999999999999999.5, " 1E+15"},  // rounds up into exponent form
        {1e15, " 1E+15"},
        {1e16, " 1E+16"},
        {123456789012345.6, " 123456789012346"},
        {1.2345678901234568e17, " 1.23456789012346E+17"},
        {1e100, " 1E+100"},
        {0.1, " .1"},
        {0.0001234, " .0001234"},
        {1e-5, " .00001"},
        {5.6789e-11, " .000000000056789"},
        {5.6789e-12, " 5.6789E-12"},
        {1.23456789012345e-5, " 1.23456789012345E-05"},
        {1e-200, " 1E-200"},
        {std::numeric_limits<double>::max(), " 1.79769313486232E+308"},
        {-std::numeric_limits<double>::max(), "-1.79769313486232E+308"},
        {kLeastSubnormal, " 4.94065645841247E-324"},
        {std::numeric_limits<double>::min(), " 2.2250738585072E-308"},
        // Exact ties in the 16th digit go to even; a hair above goes up.
        {1234567890123455.0, " 1.23456789012346E+15"},
        {1234567890123445.0, " 1.23456789012344E+15"},
        {1234567890123445.25, " 1.23456789012345E+15"},
        {2.384185791015625e-07, " 2.38418579101562E-07"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expected);
        EXPECT_EQ(c.expected, write_number(c.value));
    }
}

TEST(WriteNumber, DoesNotCrashOnWhatTheCalculationNeverGives) {
    EXPECT_EQ(" Infinity", write_number(kInf));
    EXPECT_EQ("-Infinity", write_number(-kInf));
    EXPECT_EQ(" NaN", write_number(std::nan("")));
}

// The value correctly rounded to 15 digits, by a route other than the
// writer's own where the standard library has one.
std::string rounded_to_15_digits(double value) {
    char rounded[40];
#if defined(__cpp_lib_to_chars)
    *std::to_chars(rounded, rounded + sizeof rounded - 1, value, std::chars_format::scientific, 14).ptr = '\0';
#else
    std::snprintf(rounded, sizeof rounded, "%.14e", value);
#endif
    return rounded;
}

TEST(WriteNumber, ReadsBackAsTheValueRoundedToFifteenDigits) {
    std::mt19937_64 random(7);
    for (int i = 0; i < 20000; ++i) {
        const double value = same_bits<double>(random());
        if (!std::isfinite(value)) continue;
        const std::string rounded = rounded_to_15_digits(value);
        const std::string written = write_number(value);
        SCOPED_TRACE(rounded);
        expect_same_double(value == 0 ? 0.0 : strtod_c(rounded), read_number(written));
        if (HasFailure()) return;
    }
}

}  // namespace

namespace {

// What a box was read as, for the record: the fewest digits that read back.
TEST(WriteShortest, WritesTheFewestDigitsThatReadBack) {
    const WriteCase cases[] = {
        {0.025, "0.025"},         {20, "20"},
        {-0.5, "-0.5"},           {0.1 + 0.2, "0.30000000000000004"},
        {1e-200, "1E-200"},       {5.8e200, "5.8E+200"},
        {1e15, "1E+15"},          {123456789012345.67, "123456789012345.67"},
        {1e-5, "0.00001"},        {1.2345678901234568e-5, "1.2345678901234568E-05"},
        {kLeastSubnormal, "5E-324"}, {std::numeric_limits<double>::max(), "1.7976931348623157E+308"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expected);
        EXPECT_EQ(c.expected, calc::write_shortest(c.value));
        expect_same_double(c.value, read_number(c.expected));
    }
}

TEST(PlainNumber, PutsAZeroBeforeThePointAndKeepsEveryDigit) {
    EXPECT_EQ("0.453125", calc::plain_number(" .453125"));
    EXPECT_EQ("-0.5", calc::plain_number("-.5"));
    EXPECT_EQ("1.93333333333333E-300", calc::plain_number(" 1.93333333333333E-300"));
}

}  // namespace
