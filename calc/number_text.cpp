#include "calc/number_text.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <system_error>
#include <utility>

namespace calc {

namespace {

// What one character of the box text means to the number reader.
constexpr char kBlank = ' ';
constexpr char kStop = '\0';  // anything that cannot continue a number

struct Symbol {
    char ascii;          // folded ASCII character, kBlank or kStop
    std::size_t length;  // bytes it takes in the UTF-8 text
};

// Decodes the character at `pos`, folding the full-width forms that Chinese
// input methods produce onto ASCII. Only the few sequences that matter are
// recognised; everything else, invalid UTF-8 included, is kStop, so no byte
// beyond the text is ever looked at.
Symbol symbol_at(std::string_view text, std::size_t pos) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[pos + i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) {
        const char c = static_cast<char>(lead);
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r') return {kBlank, 1};
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

// A number as read: significant digits without leading or trailing zeros,
// standing for 0.digits x 10^exponent.
struct DecimalNumber {
    bool negative = false;
    bool has_digits = false;  // the mantissa held at least one digit
    std::string digits;
    std::int64_t exponent = 0;
};

DecimalNumber scan_number(std::string_view text) {
    DecimalNumber number;
    SymbolReader reader(text);
    if (reader.peek() == '+' || reader.peek() == '-') {
        number.negative = reader.peek() == '-';
        reader.advance();
    }
    bool seen_point = false;
    std::int64_t point_exponent = 0;  // digits before the point, less leading zeros
    for (char c = reader.peek();; c = reader.peek()) {
        if (is_digit(c)) {
            number.has_digits = true;
            if (c == '0' && number.digits.empty()) {
                if (seen_point) --point_exponent;  // 0.00ddd
            } else {
                number.digits.push_back(c);
                if (!seen_point) ++point_exponent;
            }
        } else if (c == '.' && !seen_point) {
            seen_point = true;
        } else {
            break;
        }
        reader.advance();
    }
    if (!number.has_digits) return {};  // "-" or "--5": no number, so plain 0

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

    while (!number.digits.empty() && number.digits.back() == '0') number.digits.pop_back();
    number.exponent += point_exponent;
    return number;
}

// Decimal exponents (of 0.ddd form) beyond which no double is left.
constexpr std::int64_t kOverflowExponent = 310;    // 0.1e310 > DBL_MAX
constexpr std::int64_t kUnderflowExponent = -330;  // 0.9e-330 < half the least subnormal

double to_double(DecimalNumber number) {
    const double sign = number.negative ? -1.0 : 1.0;
    if (number.digits.empty()) return sign * 0.0;
    const double huge = sign * std::numeric_limits<double>::infinity();
    if (number.exponent > kOverflowExponent) return huge;
    if (number.exponent < kUnderflowExponent) return sign * 0.0;

    // "ddd" then "e" and the exponent of the last digit: one text that
    // from_chars rounds correctly in a single pass, however many digits.
    const auto last_digit_exponent = number.exponent - static_cast<std::int64_t>(number.digits.size());
    std::string text = std::move(number.digits);
    text.push_back('e');
    char exponent_text[24];
    const auto written = std::to_chars(exponent_text, exponent_text + sizeof exponent_text, last_digit_exponent);
    text.append(exponent_text, written.ptr);

    double magnitude = 0.0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), magnitude);
    (void)end;
    if (error == std::errc::result_out_of_range) return number.exponent > 0 ? huge : sign * 0.0;
    return sign * magnitude;
}

}  // namespace

double read_number(std::string_view text) { return to_double(scan_number(text)); }

namespace {

constexpr int kSignificantDigits = 15;
constexpr int kLargestFixedExponent = 14;   // 999999999999999 still fixed
constexpr int kSmallestPlainExponent = -4;  // .0001234... always fixed
constexpr int kMostDecimalPlaces = 15;      // below that, fixed while it fits

void append_exponent(std::string& out, int exponent) {
    out.push_back('E');
    out.push_back(exponent < 0 ? '-' : '+');
    const int magnitude = exponent < 0 ? -exponent : exponent;
    if (magnitude < 10) out.push_back('0');
    char digits[8];
    const auto written = std::to_chars(digits, digits + sizeof digits, magnitude);
    out.append(digits, written.ptr);
}

}  // namespace

std::string write_number(double value) {
    if (std::isnan(value)) return " NaN";
    if (std::isinf(value)) return value > 0 ? " Infinity" : "-Infinity";
    if (value == 0.0) return " 0";  // negative zero too

    // to_chars rounds the exact binary value correctly: "d.dddddddddddddde-XX".
    char scientific[32];
    const auto written = std::to_chars(scientific, scientific + sizeof scientific, std::fabs(value),
                                       std::chars_format::scientific, kSignificantDigits - 1);
    char digits[kSignificantDigits];
    digits[0] = scientific[0];
    for (int i = 1; i < kSignificantDigits; ++i) digits[i] = scientific[i + 1];
    int digit_count = kSignificantDigits;
    while (digit_count > 1 && digits[digit_count - 1] == '0') --digit_count;
    // After the digits: 'e', the exponent's sign, its digits.
    const char* exponent_sign = scientific + kSignificantDigits + 2;
    int exponent = 0;
    std::from_chars(exponent_sign + 1, written.ptr, exponent);
    if (*exponent_sign == '-') exponent = -exponent;

    std::string out;
    out.reserve(32);
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
    return out;
}

}  // namespace calc
