// The one computation of the program: the bending-moment parameter
// r = 5.8 * I * b^2 / (IT * l) used for load distribution coefficients.
#pragma once

#include <string>
#include <string_view>

namespace calc {

struct CalcOutcome {
    enum class Kind { message, result };
    Kind kind;
    std::string text;  // UTF-8: the message for the user, or the result text
    // The input a message is about, counted from 0 in the order I, IT, b,
    // l; -1 for a message about r, or a result.
    int input = -1;
};

// Reads the four box texts in the order I, IT, b, l and stops at the first
// that is not a usable input:
//   <= 0 (empty or non-numeric text reads 0)  -> "抗弯惯性矩I不可能小于等于0", ...
//   beyond the doubles, or positive but below
//   the least normal double, where it holds
//   fewer than 15 true digits ("1E-310")      -> "抗弯惯性矩I超出数值范围", ...
// Otherwise r is computed left to right, each step rounded to a double
// (5.8*I, *b, *b, /IT, /l), but with no step overflowing or losing digits
// below the normal doubles, and written with write_number. An r beyond the
// doubles or below the least normal double gives "弯矩参数r超出数值范围".
//
//   calculate_parameter("0.025", "0.016", "1", "20") -> result " .453125"
//   calculate_parameter("", "-1", "1", "1")          -> message about I only
CalcOutcome calculate_parameter(std::string_view text_I, std::string_view text_IT,
                                std::string_view text_b, std::string_view text_l);

}  // namespace calc
