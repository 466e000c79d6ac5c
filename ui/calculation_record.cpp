#include "ui/calculation_record.h"

#include <algorithm>
#include <vector>

#include "calc/number_text.h"
#include "ui/html_text.h"

namespace ui {

namespace {

struct Quantity {
    std::string symbol;
    std::string value;
    std::string unit;
    std::string meaning;
};

Quantity quantity(const WindowDescription& window, std::string_view box_name, std::string value) {
    const Control* box = find_control(window, box_name);
    if (!box) return {std::string(box_name), std::move(value), {}, {}};
    const Control* label = symbol_label_of(window, *box);
    return {std::string(symbol_of(window, *box)), std::move(value), unit_of(window, *box),
            label ? std::string(label->tooltip) : std::string()};
}

std::size_t characters(std::string_view utf8) {
    return static_cast<std::size_t>(std::count_if(utf8.begin(), utf8.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

// A value in exponent form, or negative, is bracketed where the pattern
// raises it to a power: "(1E-200)²", never "1E-200²".
std::string as_base(std::string_view pattern, std::string_view symbol, const std::string& value) {
    std::string field(1, '{');
    field.append(symbol).push_back('}');
    const std::size_t at = pattern.find(field);
    if (at == std::string_view::npos || value.find_first_of("E-") == std::string::npos) return value;
    const std::string_view after = pattern.substr(at + field.size());
    const bool raised = std::any_of(std::begin(kSuperscriptDigits), std::end(kSuperscriptDigits),
                                    [&](std::string_view digit) { return after.starts_with(digit); });
    return raised ? "(" + value + ")" : value;
}

// Escaped, with each raised digit a real superscript for a word processor.
std::string html_of(std::string_view text) {
    std::string html = html_escaped(text);
    for (int digit = 0; digit < 10; ++digit) {
        const std::string_view raised = kSuperscriptDigits[digit];
        const std::string sup = "<sup>" + std::to_string(digit) + "</sup>";
        for (std::size_t at = html.find(raised); at != std::string::npos; at = html.find(raised, at + sup.size()))
            html.replace(at, raised.size(), sup);
    }
    return html;
}

std::string html_row(std::string_view cell, std::span<const std::string_view> cells) {
    std::string row = "<tr>";
    for (const std::string_view each : cells)
        row.append("<").append(cell).append(">").append(html_of(each)).append("</").append(cell).append(">");
    return row + "</tr>";
}

}  // namespace

CalculationRecord calculation_record(const WindowDescription& window, std::span<const std::string_view> input_boxes,
                                     std::span<const double> values, std::string_view result_box,
                                     std::string_view result_text) {
    const Texts& texts = window.texts;
    std::vector<Quantity> inputs;
    for (std::size_t i = 0; i < input_boxes.size() && i < values.size(); ++i)
        inputs.push_back(quantity(window, input_boxes[i], calc::write_shortest(values[i])));
    const Quantity result = quantity(window, result_box, calc::plain_number(result_text));

    std::size_t widest = 0;
    for (const Quantity& input : inputs) widest = std::max(widest, characters(input.symbol));
    std::string worked(texts.record_worked);
    CalculationRecord record{std::string(texts.record_heading), {}};
    for (const Quantity& input : inputs) {
        const std::string padded = input.symbol + std::string(widest - characters(input.symbol), ' ');
        record.plain.append("\n").append(fill(texts.record_input, {{"symbol", padded},
                                                                    {"value", input.value},
                                                                    {"unit", input.unit},
                                                                    {"meaning", input.meaning}}));
        worked = fill(worked, {{input.symbol, as_base(texts.record_worked, input.symbol, input.value)}});
    }
    worked = fill(worked, {{result.symbol, result.value}});
    const std::string program = fill(texts.record_program, {{"title", window.title}});
    record.plain.append("\n").append(worked).append("\n").append(program);

    record.html = "<p>" + html_of(texts.record_heading) + "</p>\n<table border=\"1\" cellspacing=\"0\" cellpadding=\"4\">" +
                  html_row("th", texts.record_columns);
    const auto add_row = [&](const Quantity& each) {
        const std::string_view cells[] = {each.symbol, each.value, each.unit, each.meaning};
        record.html += html_row("td", cells);
    };
    for (const Quantity& input : inputs) add_row(input);
    add_row(result);
    record.html += "</table>\n<p>" + html_of(worked) + "</p>\n<p>" + html_of(program) + "</p>";
    return record;
}

}  // namespace ui
