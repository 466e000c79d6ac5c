// Conversions between the text of a box and a double, independent of the
// user's locale: "." is always the decimal point.
#pragma once

#include <string>
#include <string_view>

namespace calc {

// Reads the longest leading number of `text` (UTF-8) and returns it as the
// correctly rounded double; text that does not begin with a number reads 0.
//
// Blanks (space, tab, line feed, carriage return, ideographic space U+3000)
// are ignored wherever they stand. Full-width digits, signs, full stop and
// the letters E/e typed by Chinese input methods count as their ASCII forms,
// and so do the ideographic full stop "。" and its half-width form "｡",
// which Chinese punctuation types for ".": read_number("20。5") -> 20.5.
// A number is: optional sign, digits with at most one ".", then optionally
// an exponent mark E, e, D or d with an optional sign and at least one digit.
//
//   read_number("0.025")   -> 0.025      read_number("  1 000") -> 1000
//   read_number("1,5")     -> 1          read_number("0.025m")  -> 0.025
//   read_number("abc")     -> 0          read_number("")        -> 0
//   read_number("- 5")     -> -5         read_number("--5")     -> 0
//   read_number(".5")      -> 0.5        read_number("1.2.3")   -> 1.2
//   read_number("1e")      -> 1          read_number("2D3")     -> 2000
//   read_number("１．５")  -> 1.5        read_number("1E-200")  -> 1e-200
//   read_number("-0")      -> -0.0       read_number("-")       -> +0.0
//
// Too large a magnitude reads as +/- infinity; too small a one reads as the
// correctly rounded subnormal or zero, keeping its sign. NaN is never
// returned. Any byte sequence is safe to pass, and reading never touches
// the heap and takes time in proportion to the length, however long the
// text: digits past the 800th decide only how a tie rounds.
double read_number(std::string_view text);

// Whether the number `text` begins with, as read_number reads it, has a
// digit other than 0, so that a text that reads as 0 can be told from 0:
//   has_nonzero_digit("1E-400") -> true    has_nonzero_digit("0.000") -> false
//   has_nonzero_digit("abc")    -> false   has_nonzero_digit("-0.5")  -> true
bool has_nonzero_digit(std::string_view text);

// Writes `value` correctly rounded to 15 significant digits (a tie in the
// 15th digit goes to the even digit), with a leading blank in
// the place of a plus sign, no "0" before the point, no trailing zeros.
// Fixed form while the decimal exponent e is -4..14, and below that while
// fixed form needs at most 15 decimal places; otherwise exponent form with
// at least two exponent digits. The text is ASCII.
//
//   write_number(0.453125) -> " .453125"   write_number(5.8)    -> " 5.8"
//   write_number(0)        -> " 0"         write_number(-0.0)   -> " 0"
//   write_number(-0.5)     -> "-.5"        write_number(1e15)   -> " 1E+15"
//   write_number(1e-5)     -> " .00001"    write_number(5.6789e-12) -> " 5.6789E-12"
//   write_number(1.23456789012345e-5) -> " 1.23456789012345E-05"
//   write_number(1234567890123445.0)  -> " 1.23456789012344E+15"  (a tie: to even)
//
// Infinities and NaN are written " Infinity", "-Infinity" and " NaN".
std::string write_number(double value);

// Writes `value` with the fewest significant digits that read back as the
// same double, as a spreadsheet reads a number: ASCII, "-" before a
// negative value and nothing before a positive one, a "0" before a leading
// point, and fixed or exponent form as write_number chooses them. So what a
// box's text was read as is shown, never rounded again.
//
//   write_shortest(0.025)  -> "0.025"     write_shortest(20)      -> "20"
//   write_shortest(1e-200) -> "1E-200"    write_shortest(5.8e200) -> "5.8E+200"
//   write_shortest(1e-5)   -> "0.00001"   write_shortest(-0.5)    -> "-0.5"
//   write_shortest(0.1 + 0.2) -> "0.30000000000000004"
std::string write_shortest(double value);

// A text of write_number's as a spreadsheet reads a number: the blank
// before it dropped and a "0" put before a leading point, every digit kept.
//   plain_number(" .453125") -> "0.453125"   plain_number("-.5") -> "-0.5"
//   plain_number(" 1.93333333333333E-300") -> "1.93333333333333E-300"
std::string plain_number(std::string_view written);

}  // namespace calc
