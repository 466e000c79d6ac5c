// The record of one calculation, for an engineer's calculation book: the
// formula, each input as the value that was used with its unit and
// meaning, the formula worked with those values, r, and the program that
// made it. Every word comes from the window's description.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "ui/main_window.h"

namespace ui {

struct CalculationRecord {
    std::string plain;  // UTF-8 lines, "\n" between them
    std::string html;   // a heading, a table of symbol, value, unit and meaning, the worked formula
};

// `values` are what the `input_boxes` were read as; each is written with
// the fewest digits that read back as it ("0.025abc" was 0.025), and r as
// `result_text` shows it, a "0" before its point. Numbers are ASCII, in a
// form a spreadsheet reads as numbers ("5.8E+200"). For the first values:
//   弯矩参数 r = 5.8·I·b²/(IT·l)
//   I  = 0.025 m³（梁或板的抗弯惯性矩）
//   ...
//   r = 5.8 × 0.025 × 1² / (0.016 × 20) = 0.453125
//   Bemvara 1.0.0
CalculationRecord calculation_record(const WindowDescription& window, std::span<const std::string_view> input_boxes,
                                     std::span<const double> values, std::string_view result_box,
                                     std::string_view result_text);

}  // namespace ui
