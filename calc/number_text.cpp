#include "calc/number_text.h"

#include <fast_float/fast_float.h>

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <optional>
#include <system_error>

namespace calc {

namespace {

// What one character of the box text means to the number reader.
constexpr char kBlank = ' ';
constexpr char kStop = '\0';  // anything that cannot continue a number

struct Symbol {
    char ascii;          // folded ASCII character, kBlank or kStop
    std::size_t length;  // bytes it takes in the UTF-8 text
};

bool is_ascii_blank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// Decodes the character at `pos`, folding the full-width forms that Chinese
// input methods produce onto ASCII. Only the few sequences that matter are
// recognised; everything else, invalid UTF-8 included, is kStop, so no byte
// beyond the text is ever looked at.
Symbol symbol_at(std::string_view text, std::size_t pos) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[pos + i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) {
        const char c = static_cast<char>(lead);
        if (is_ascii_blank(c)) return {kBlank, 1};
        return {c == '\0' ? kStop : c, 1};
    }
    if (text.size() - pos < 3) return {kStop, 1};
    if (lead == 0xE3 && byte(1) == 0x80 && byte(2) == 0x80) return {kBlank, 3};  // U+3000
    if (lead == 0xEF && byte(1) == 0xBC) {
        // U+FF00..U+FF3F: the full-width form of ASCII 0x20..0x5F.
        const unsigned char third = byte(2);
        if (third >= 0x80 && third <= 0xBF) {
            const char c = static_cast<char>(third - 0x80 + 0x20);
            if ((c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.' || c == 'E')
                return {c, 3};
        }
        return {kStop, 3};
    }
    if (lead == 0xEF && byte(1) == 0xBD && byte(2) == 0x85) return {'e', 3};  // U+FF45
    return {kStop, 1};
}

// Walks the text symbol by symbol, skipping blanks.
class SymbolReader {
public:
    explicit SymbolReader(std::string_view text) : text_(text) { skip_blanks(); }

    char peek() const { return pos_ < text_.size() ? current_.ascii : kStop; }
    void advance() {
        pos_ += current_.length;
        skip_blanks();
    }

private:
    void skip_blanks() {
        while (pos_ < text_.size()) {
            current_ = symbol_at(text_, pos_);
            if (current_.ascii != kBlank) return;
            pos_ += current_.length;
        }
    }

    std::string_view text_;
    std::size_t pos_ = 0;
    Symbol current_{kStop, 0};
};

bool is_digit(char c) { return c >= '0' && c <= '9'; }
bool is_exponent_mark(char c) { return c == 'E' || c == 'e' || c == 'D' || c == 'd'; }

// Far beyond any double, yet far from overflowing int64 when combined with
// the count of digits a text can hold.
constexpr std::int64_t kExponentCap = 1'000'000'000'000;

// The rounding of a decimal to a double depends on its first 768 significant
// digits and on whether any digit after them is not zero; fast_float looks
// at no more. So a fixed buffer holds a few more than that, and one "1"
// stands in for every non-zero digit that did not fit.
constexpr std::size_t kKeptDigits = 800;

// A number as read: significant digits without leading or trailing zeros,
// standing for 0.digits x 10^exponent. Lives on the stack: reading a box
// allocates nothing, however long its text.
struct DecimalNumber {
    bool negative = false;
    std::size_t digit_count = 0;
    bool dropped_nonzero = false;  // a non-zero digit beyond the buffer
    std::int64_t exponent = 0;
    char digits[kKeptDigits + 1];  // + the stand-in for the dropped digits
};

void scan_number(std::string_view text, DecimalNumber& number) {
    SymbolReader reader(text);
    if (reader.peek() == '+' || reader.peek() == '-') {
        number.negative = reader.peek() == '-';
        reader.advance();
    }
    bool has_digits = false;
    bool seen_point = false;
    std::int64_t point_exponent = 0;  // digits before the point, less leading zeros
    for (char c = reader.peek();; c = reader.peek()) {
        if (is_digit(c)) {
            has_digits = true;
            if (c == '0' && number.digit_count == 0) {
                if (seen_point) --point_exponent;  // 0.00ddd
            } else {
                if (number.digit_count < kKeptDigits)
                    number.digits[number.digit_count++] = c;
                else if (c != '0')
                    number.dropped_nonzero = true;
                if (!seen_point) ++point_exponent;
            }
        } else if (c == '.' && !seen_point) {
            seen_point = true;
        } else {
            break;
        }
        reader.advance();
    }
    if (!has_digits) {  // "-" or "--5": no number, so plain 0
        number.negative = false;
        number.digit_count = 0;
        return;
    }

    // The exponent belongs to the number only if digits follow its mark, so
    // it is scanned on a copy of the reader and kept only when complete.
    if (is_exponent_mark(reader.peek())) {
        SymbolReader exponent_reader = reader;
        exponent_reader.advance();
        bool exponent_negative = false;
        if (exponent_reader.peek() == '+' || exponent_reader.peek() == '-') {
            exponent_negative = exponent_reader.peek() == '-';
            exponent_reader.advance();
        }
        std::int64_t written_exponent = 0;
        bool exponent_has_digits = false;
        while (is_digit(exponent_reader.peek())) {
            exponent_has_digits = true;
            if (written_exponent < kExponentCap)
                written_exponent = written_exponent * 10 + (exponent_reader.peek() - '0');
            exponent_reader.advance();
        }
        if (exponent_has_digits) number.exponent = exponent_negative ? -written_exponent : written_exponent;
    }

    if (number.dropped_nonzero) {
        number.digits[number.digit_count++] = '1';
    } else {
        while (number.digit_count > 0 && number.digits[number.digit_count - 1] == '0') --number.digit_count;
    }
    number.exponent += point_exponent;
}

// Decimal exponents (of 0.ddd form) beyond which no double is left.
constexpr std::int64_t kOverflowExponent = 310;    // 0.1e310 > DBL_MAX
constexpr std::int64_t kUnderflowExponent = -330;  // 0.9e-330 < half the least subnormal

// 10^15 < 2^53: up to 15 digits make an exact double, and so does every
// power of ten up to 10^22.
constexpr std::size_t kExactDigits = 15;
constexpr std::int64_t kExactPowerOfTen = 22;
constexpr double kPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                   1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// whole x 10^exponent, correctly rounded, for whole < 10^15 and |exponent|
// <= 22: both are exact doubles, so one multiplication or division rounds
// correctly (Clinger's fast path).
double exact_decimal(std::uint64_t whole, std::int64_t exponent) {
    const double power = kPowersOfTen[exponent < 0 ? -exponent : exponent];
    const double exact = static_cast<double>(whole);
    return exponent < 0 ? exact / power : exact * power;
}

bool is_exact_decimal(std::size_t digit_count, std::int64_t exponent) {
    return digit_count <= kExactDigits && exponent >= -kExactPowerOfTen && exponent <= kExactPowerOfTen;
}

double to_double(const DecimalNumber& number) {
    const double sign = number.negative ? -1.0 : 1.0;
    if (number.digit_count == 0) return sign * 0.0;
    const double huge = sign * std::numeric_limits<double>::infinity();
    if (number.exponent > kOverflowExponent) return huge;
    if (number.exponent < kUnderflowExponent) return sign * 0.0;

    const auto last_digit_exponent = number.exponent - static_cast<std::int64_t>(number.digit_count);
    if (!number.dropped_nonzero && is_exact_decimal(number.digit_count, last_digit_exponent)) {
        std::uint64_t whole = 0;
        for (std::size_t i = 0; i < number.digit_count; ++i)
            whole = whole * 10 + static_cast<unsigned>(number.digits[i] - '0');
        return sign * exact_decimal(whole, last_digit_exponent);
    }

    // Otherwise "ddd" then "e" and the exponent of the last digit: one text
    // that fast_float rounds correctly in a single pass, however many digits.
    char text[kKeptDigits + 32];
    std::memcpy(text, number.digits, number.digit_count);
    char* end = text + number.digit_count;
    *end++ = 'e';
    end = std::to_chars(end, text + sizeof text, last_digit_exponent).ptr;

    double magnitude = 0.0;
    const auto result = fast_float::from_chars(text, end, magnitude);
    if (result.ec == std::errc::result_out_of_range) return number.exponent > 0 ? huge : sign * 0.0;
    return sign * magnitude;
}

bool is_blank_or_wide(char c) { return is_ascii_blank(c) || static_cast<unsigned char>(c) >= 0x80; }

// Most texts are a plain ASCII number with a few digits: read those in one
// tight pass. Anything that needs the full reader (blanks or full-width
// forms that may continue the number, many digits, a large exponent) gives
// nothing, and the full reader starts over.
std::optional<double> read_plain_number(std::string_view text) {
    const char* at = text.data();
    const char* const end = at + text.size();
    while (at != end && is_ascii_blank(*at)) ++at;
    bool negative = false;
    if (at != end && (*at == '+' || *at == '-')) negative = *at++ == '-';
    std::uint64_t whole = 0;  // the significant digits so far
    std::size_t digits = 0;
    std::int64_t exponent = 0;  // of the last digit
    bool any_digit = false;
    bool seen_point = false;
    for (; at != end; ++at) {
        if (is_digit(*at)) {
            any_digit = true;
            if (whole != 0 || *at != '0') {
                if (++digits > kExactDigits) return std::nullopt;
                whole = whole * 10 + static_cast<unsigned>(*at - '0');
            }
            if (seen_point) --exponent;
        } else if (*at == '.' && !seen_point) {
            seen_point = true;
        } else {
            break;
        }
    }
    if (!any_digit) return std::nullopt;
    if (at != end && is_exponent_mark(*at)) {
        const char* mark = at++;
        bool exponent_negative = false;
        if (at != end && (*at == '+' || *at == '-')) exponent_negative = *at++ == '-';
        if (at != end && is_digit(*at)) {
            std::int64_t written = 0;
            for (int count = 0; at != end && is_digit(*at); ++at, ++count) {
                if (count == 4) return std::nullopt;
                written = written * 10 + (*at - '0');
            }
            exponent += exponent_negative ? -written : written;
        } else if (at != end && is_blank_or_wide(*at)) {
            return std::nullopt;  // "1e 5": the exponent may go on
        } else {
            at = mark;  // "1e", "1ex": the mark is not part of the number
        }
    }
    // Blanks may end the text; anything after them may continue the number.
    const char* after = at;
    while (after != end && is_ascii_blank(*after)) ++after;
    if (after != at && after != end) return std::nullopt;
    if (after == at && at != end && is_blank_or_wide(*at)) return std::nullopt;
    const double sign = negative ? -1.0 : 1.0;
    if (whole == 0) return sign * 0.0;
    if (!is_exact_decimal(digits, exponent)) return std::nullopt;
    return sign * exact_decimal(whole, exponent);
}

}  // namespace

double read_number(std::string_view text) {
    if (const auto plain = read_plain_number(text)) return *plain;
    DecimalNumber number;
    scan_number(text, number);
    return to_double(number);
}

namespace {

constexpr int kSignificantDigits = 15;
constexpr int kLargestFixedExponent = 14;   // 999999999999999 still fixed
constexpr int kSmallestPlainExponent = -4;  // .0001234... always fixed
constexpr int kMostDecimalPlaces = 15;      // below that, fixed while it fits

// Where write_number puts its text: on the stack, so the string it returns
// is the only allocation, and none for texts short enough to live inside it.
class TextBuffer {
public:
    void push_back(char c) { text_[length_++] = c; }
    void append(const char* first, const char* last) {
        while (first != last) push_back(*first++);
    }
    void append(std::size_t count, char c) {
        while (count-- > 0) push_back(c);
    }
    std::string str() const { return std::string(text_, length_); }

private:
    // Longest: sign, point, 15 zeros and 15 digits (" .000000000000000123...").
    char text_[40];
    std::size_t length_ = 0;
};

void append_exponent(TextBuffer& out, int exponent) {
    out.push_back('E');
    out.push_back(exponent < 0 ? '-' : '+');
    const int magnitude = exponent < 0 ? -exponent : exponent;
    if (magnitude < 10) out.push_back('0');
    char digits[8];
    const auto written = std::to_chars(digits, digits + sizeof digits, magnitude);
    out.append(digits, written.ptr);
}

// The C library's "%.*e" rounds the exact binary value correctly (ties to
// even) on every platform we build for, and its only locale-dependent part
// is the decimal point, so the digits are picked out around it. Slow, so
// only the few values that the fast path below cannot settle come here.
void round_by_c_library(double magnitude, char (&digits)[kSignificantDigits], int& exponent) {
    std::fill(std::begin(digits), std::end(digits), '0');
    char scientific[48];
    const int length = std::snprintf(scientific, sizeof scientific, "%.*e", kSignificantDigits - 1, magnitude);
    const char* const end = scientific + std::clamp(length, 0, static_cast<int>(sizeof scientific) - 1);
    const char* at = scientific;
    for (int count = 0; at != end && *at != 'e' && count < kSignificantDigits; ++at)
        if (*at >= '0' && *at <= '9') digits[count++] = *at;
    while (at != end && *at != 'e') ++at;
    if (at == end) return;
    const bool negative = *++at == '-';
    std::from_chars(at + 1, end, exponent);
    if (negative) exponent = -exponent;
}

using uint128 = unsigned __int128;
constexpr std::uint64_t kSmallest15Digit = 100'000'000'000'000;  // 10^14

// floor(q * log2(5)), exact for |q| < 3528.
constexpr int floor_log2_pow5(int q) {
    return q >= 0 ? (q * 1217359) >> 19 : -(((-q) * 1217359) >> 19) - 1;
}

// magnitude * 10^q as a fixed-point number with 64 fraction bits, or nothing
// where q is beyond the table. fast_float's 128-bit powers of five (the ones
// it reads numbers with) make 10^q = 5^q * 2^q to 127 bits, so the product
// is off by far less than one of those fraction bits.
std::optional<uint128> scaled_by_power_of_ten(std::uint64_t mantissa, int binary_exponent, int q) {
    using powers = fast_float::powers;
    if (q < powers::smallest_power_of_five || q > powers::largest_power_of_five) return std::nullopt;
    const std::size_t index = 2 * static_cast<std::size_t>(q - powers::smallest_power_of_five);
    const std::uint64_t high = powers::power_of_five_128[index];
    const std::uint64_t low = powers::power_of_five_128[index + 1];
    // mantissa * 5^q = mantissa * (high:low) * 2^(floor_log2_pow5(q) - 127)
    const uint128 top = static_cast<uint128>(mantissa) * high + ((static_cast<uint128>(mantissa) * low) >> 64);
    const int shift = 63 - binary_exponent - floor_log2_pow5(q) - q;  // of the 192-bit product
    if (shift < 64 || shift >= 128) return std::nullopt;
    return top >> (shift - 64);
}

// The value correctly rounded to 15 significant digits d.dddddddddddddd
// times 10^exponent. 128-bit arithmetic settles all but the values within
// a hair of a tie, which go to the C library.
void round_to_significant_digits(double magnitude, char (&digits)[kSignificantDigits], int& exponent) {
    std::uint64_t bits;  // std::bit_cast is missing from emscripten's libc++
    std::memcpy(&bits, &magnitude, sizeof bits);
    const auto biased_exponent = static_cast<int>(bits >> 52);
    std::uint64_t mantissa = bits & ((std::uint64_t{1} << 52) - 1);
    int binary_exponent = biased_exponent == 0 ? -1074 : biased_exponent - 1075;
    if (biased_exponent != 0) mantissa |= std::uint64_t{1} << 52;
    const int normalize = std::countl_zero(mantissa);
    mantissa <<= normalize;  // magnitude = mantissa * 2^binary_exponent, top bit set
    binary_exponent -= normalize;

    // 10^decimal_exponent <= magnitude < 10^(decimal_exponent + 1), give or take one.
    int decimal_exponent = ((binary_exponent + 63) * 78913) >> 18;
    for (int attempt = 0; attempt < 2; ++attempt) {
        const auto scaled = scaled_by_power_of_ten(mantissa, binary_exponent, kSignificantDigits - 1 - decimal_exponent);
        if (!scaled) break;
        std::uint64_t whole = static_cast<std::uint64_t>(*scaled >> 64);
        const auto fraction = static_cast<std::uint64_t>(*scaled);
        if (whole >= 10 * kSmallest15Digit) {
            ++decimal_exponent;
            continue;
        }
        if (whole < kSmallest15Digit) {
            --decimal_exponent;
            continue;
        }
        constexpr std::uint64_t kHalf = std::uint64_t{1} << 63;
        constexpr std::uint64_t kDoubt = 64;  // far above the product's error
        if (fraction - (kHalf - kDoubt) <= 2 * kDoubt) break;  // a tie, or too near one to tell
        if (fraction > kHalf) ++whole;
        if (whole == 10 * kSmallest15Digit) {
            whole = kSmallest15Digit;
            ++decimal_exponent;
        }
        for (int i = kSignificantDigits - 1; i >= 0; --i, whole /= 10) digits[i] = static_cast<char>('0' + whole % 10);
        exponent = decimal_exponent;
        return;
    }
    round_by_c_library(magnitude, digits, exponent);
}

}  // namespace

std::string write_number(double value) {
    if (std::isnan(value)) return " NaN";
    if (std::isinf(value)) return value > 0 ? " Infinity" : "-Infinity";
    if (value == 0.0) return " 0";  // negative zero too

    int exponent = 0;
    char digits[kSignificantDigits];
    round_to_significant_digits(std::fabs(value), digits, exponent);
    int digit_count = kSignificantDigits;
    while (digit_count > 1 && digits[digit_count - 1] == '0') --digit_count;

    TextBuffer out;
    out.push_back(value < 0 ? '-' : ' ');

    const int decimal_places = digit_count - 1 - exponent;
    const bool fixed = exponent <= kLargestFixedExponent &&
                       (exponent >= kSmallestPlainExponent || decimal_places <= kMostDecimalPlaces);
    if (!fixed) {
        out.push_back(digits[0]);
        if (digit_count > 1) {
            out.push_back('.');
            out.append(digits + 1, digits + digit_count);
        }
        append_exponent(out, exponent);
    } else if (exponent >= 0) {
        const int whole_digits = exponent + 1;
        for (int i = 0; i < whole_digits; ++i) out.push_back(i < digit_count ? digits[i] : '0');
        if (digit_count > whole_digits) {
            out.push_back('.');
            out.append(digits + whole_digits, digits + digit_count);
        }
    } else {
        out.push_back('.');
        out.append(static_cast<std::size_t>(-exponent - 1), '0');
        out.append(digits, digits + digit_count);
    }
    return out.str();
}

}  // namespace calc
