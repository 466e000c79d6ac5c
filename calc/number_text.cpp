#include "calc/number_text.h"

#include <fast_float/fast_float.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <system_error>

namespace calc {

namespace {

// What one character of the box text means to the number reader.
constexpr char kBlank = ' ';
constexpr char kStop = '\0';  // anything that cannot continue a number

struct Symbol {
    char ascii;              // folded ASCII character, kBlank or kStop
    unsigned char length;    // bytes it takes in the UTF-8 text
};

bool is_ascii_blank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// Decodes the character at `at`, folding the full-width forms that Chinese
// input methods produce onto ASCII. Only the few sequences that matter are
// recognised; everything else, invalid UTF-8 included, is kStop, so no byte
// beyond the text is ever looked at.
Symbol wide_symbol_at(const unsigned char* at, const unsigned char* end) {
    if (end - at < 3) return {kStop, 1};
    if (at[0] == 0xE3 && at[1] == 0x80 && at[2] == 0x80) return {kBlank, 3};  // U+3000
    // The ideographic full stop U+3002 and its half-width form U+FF61: what
    // an input method in Chinese punctuation types for ".".
    if (at[0] == 0xE3 && at[1] == 0x80 && at[2] == 0x82) return {'.', 3};
    if (at[0] == 0xEF && at[1] == 0xBD && at[2] == 0xA1) return {'.', 3};
    if (at[0] == 0xEF && at[1] == 0xBC) {
        // U+FF00..U+FF3F: the full-width form of ASCII 0x20..0x5F.
        if (at[2] >= 0x80 && at[2] <= 0xBF) {
            const char c = static_cast<char>(at[2] - 0x80 + 0x20);
            if ((c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.' || c == 'E') return {c, 3};
        }
        return {kStop, 3};
    }
    if (at[0] == 0xEF && at[1] == 0xBD && at[2] == 0x85) return {'e', 3};  // U+FF45
    return {kStop, 1};
}

// Most characters typed are printable ASCII: those are decoded here, in line.
Symbol symbol_at(const unsigned char* at, const unsigned char* end) {
    const char c = static_cast<char>(*at);
    if (*at > ' ' && *at < 0x80) return {c, 1};
    if (*at >= 0x80) return wide_symbol_at(at, end);
    return {is_ascii_blank(c) ? kBlank : kStop, 1};
}

// Walks the text symbol by symbol, skipping blanks.
class SymbolReader {
public:
    explicit SymbolReader(std::string_view text)
        : at_(reinterpret_cast<const unsigned char*>(text.data())), end_(at_ + text.size()) {
        skip_blanks();
    }

    char peek() const { return current_.ascii; }
    void advance() {
        at_ += current_.length;
        skip_blanks();
    }

private:
    void skip_blanks() {
        for (; at_ != end_; at_ += current_.length) {
            current_ = symbol_at(at_, end_);
            if (current_.ascii != kBlank) return;
        }
        current_ = {kStop, 0};
    }

    const unsigned char* at_;
    const unsigned char* end_;
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

// A number as read: significant digits without leading zeros,
// standing for 0.digits x 10^exponent. Lives on the stack: reading a box
// allocates nothing, however long its text.
struct DecimalNumber {
    bool negative = false;
    std::size_t digit_count = 0;
    bool dropped_nonzero = false;  // a non-zero digit beyond the buffer
    std::int64_t exponent = 0;
    // The digits, the stand-in for the dropped ones, and room for the
    // exponent that turns them into a text for fast_float.
    char digits[kKeptDigits + 1 + 24];
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

    if (number.dropped_nonzero) number.digits[number.digit_count++] = '1';
    number.exponent += point_exponent;
}

double to_double(DecimalNumber& number) {
    const double sign = number.negative ? -1.0 : 1.0;
    if (number.digit_count == 0) return sign * 0.0;

    // "ddd" then "e" and the exponent of the last digit: one text that
    // fast_float rounds correctly, however many digits it holds.
    char* const text = number.digits;
    char* end = text + number.digit_count;
    const auto exponent = number.exponent - static_cast<std::int64_t>(number.digit_count);
    if (exponent != 0) {
        *end++ = 'e';
        end = std::to_chars(end, text + sizeof number.digits, exponent).ptr;
    }

    double magnitude = 0.0;
    const auto result = fast_float::from_chars(text, end, magnitude);
    // Newer fast_float reports what is beyond the doubles; older gives the
    // infinity or zero itself.
    if (result.ec == std::errc::result_out_of_range)
        magnitude = number.exponent > 0 ? std::numeric_limits<double>::infinity() : 0.0;
    return sign * magnitude;
}

// What a box mostly holds, "0.025" or "20": a short, plain ASCII number and
// nothing else. Such a text reads the same by the grammar above as by
// fast_float's own, so it goes to fast_float as it is, uncopied.
constexpr std::size_t kShortText = 32;

bool read_as_it_is(std::string_view text, double& value) {
    if (text.empty() || text.size() > kShortText) return false;
    for (const char c : text)
        if (!is_digit(c) && c != '.' && c != '-' && c != 'e' && c != 'E') return false;
    const auto result = fast_float::from_chars(text.data(), text.data() + text.size(), value);
    return result.ec == std::errc() && result.ptr == text.data() + text.size();
}

}  // namespace

double read_number(std::string_view text) {
    if (double value; read_as_it_is(text, value)) return value;
    DecimalNumber number;
    scan_number(text, number);
    return to_double(number);
}

bool has_nonzero_digit(std::string_view text) {
    DecimalNumber number;
    scan_number(text, number);
    return number.digit_count > 0;  // leading zeros are never kept
}

namespace {

constexpr int kSignificantDigits = 15;
constexpr int kLargestFixedExponent = 14;   // 999999999999999 still fixed
constexpr int kSmallestPlainExponent = -4;  // .0001234... always fixed
constexpr int kMostDecimalPlaces = 15;      // below that, fixed while it fits
// The most that the shortest digits of a double take: 17.
constexpr int kMostShortestDigits = 17;

// Where write_number puts its text: on the stack, so the string it returns
// is the only allocation, and none for texts short enough to live inside it.
class TextBuffer {
public:
    // The texts written are at most 25 characters; a longer one is a fault
    // in the writer, which ends the program rather than write past it.
    void push_back(char c) {
        if (length_ == sizeof text_) std::abort();
        text_[length_++] = c;
    }
    void append(const char* first, const char* last) {
        while (first != last) push_back(*first++);
    }
    void append(std::size_t count, char c) {
        while (count-- > 0) push_back(c);
    }
    std::string str() const { return std::string(text_, length_); }

private:
    // Longest: 25 characters, "-0.00012345678901234567"; room to spare.
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

// The value correctly rounded to `count` significant digits, d.ddd times
// 10^exponent, for a finite magnitude. The C library's "%.*e" rounds the
// exact binary value correctly, ties to even, on every platform we build
// for (glibc, mingw-w64's own printf, emscripten's musl). Its one
// locale-dependent part is the decimal point, which the digits are taken
// around: the first before it, the others just before the "e".
void round_to_significant_digits(double magnitude, int count, char* digits, int& exponent) {
    char scientific[48];  // "d.dddddddddddddddde+ddd", whatever the point is
    const int length = std::snprintf(scientific, sizeof scientific, "%.*e", count - 1, magnitude);
    const auto* mark = static_cast<const char*>(std::memchr(scientific, 'e', static_cast<std::size_t>(length)));
    digits[0] = scientific[0];
    std::memcpy(digits + 1, mark - (count - 1), static_cast<std::size_t>(count - 1));
    std::from_chars(mark + 2, scientific + length, exponent);
    if (mark[1] == '-') exponent = -exponent;
}

// "ddd" and 10^exponent read back as a double, in no locale.
double read_back(const char* digits, int digit_count, int exponent) {
    char text[48];
    std::memcpy(text, digits, static_cast<std::size_t>(digit_count));
    char* end = text + digit_count;
    *end++ = 'e';
    end = std::to_chars(end, text + sizeof text, exponent - (digit_count - 1)).ptr;
    double value = 0.0;
    fast_float::from_chars(text, end, value);
    return value;
}

// d.ddd times 10^exponent, `digit_count` digits without trailing zeros,
// laid out after `sign`: fixed while the exponent is -4..14, and below that
// while fixed form needs at most 15 decimal places; otherwise exponent
// form. `zero` goes before a leading point ("0" or nothing).
std::string lay_out(char sign, const char* digits, int digit_count, int exponent, std::string_view zero) {
    TextBuffer out;
    if (sign) out.push_back(sign);
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
        out.append(zero.data(), zero.data() + zero.size());
        out.push_back('.');
        out.append(static_cast<std::size_t>(-exponent - 1), '0');
        out.append(digits, digits + digit_count);
    }
    return out.str();
}

}  // namespace

std::string write_number(double value) {
    if (std::isnan(value)) return " NaN";
    if (std::isinf(value)) return value > 0 ? " Infinity" : "-Infinity";
    if (value == 0.0) return " 0";  // negative zero too

    int exponent = 0;
    char digits[kSignificantDigits];
    round_to_significant_digits(std::fabs(value), kSignificantDigits, digits, exponent);
    int digit_count = kSignificantDigits;
    while (digit_count > 1 && digits[digit_count - 1] == '0') --digit_count;
    return lay_out(value < 0 ? '-' : ' ', digits, digit_count, exponent, "");
}

std::string write_shortest(double value) {
    if (std::isnan(value)) return "NaN";
    if (std::isinf(value)) return value > 0 ? "Infinity" : "-Infinity";
    if (value == 0.0) return "0";
    // The fewest digits, correctly rounded, that read back as the value;
    // seventeen always do.
    const double magnitude = std::fabs(value);
    char digits[kMostShortestDigits];
    int exponent = 0;
    int digit_count = 1;
    for (;; ++digit_count) {
        round_to_significant_digits(magnitude, digit_count, digits, exponent);
        if (digit_count == kMostShortestDigits || read_back(digits, digit_count, exponent) == magnitude) break;
    }
    while (digit_count > 1 && digits[digit_count - 1] == '0') --digit_count;
    return lay_out(value < 0 ? '-' : '\0', digits, digit_count, exponent, "0");
}

std::string plain_number(std::string_view written) {
    if (!written.empty() && written.front() == ' ') written.remove_prefix(1);
    const bool negative = !written.empty() && written.front() == '-';
    std::string plain = negative ? "-" : "";
    if (negative) written.remove_prefix(1);
    if (!written.empty() && written.front() == '.') plain += '0';
    return plain.append(written);
}

}  // namespace calc
