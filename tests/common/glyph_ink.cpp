#include "glyph_ink.h"

#include <algorithm>
#include <cstdlib>

namespace glyph_ink {

namespace {

// Antialiased edges are grey; only the dark core of a stroke counts, so the
// same glyph reads the same wherever it is drawn.
constexpr unsigned char kInkBelow = 140;

int ink_in_row(const InkMap& map, int y) {
    int count = 0;
    for (int x = 0; x < map.width; ++x) count += map.at(x, y);
    return count;
}

bool column_has_ink(const InkMap& map, int x) {
    for (int y = 0; y < map.height; ++y)
        if (map.at(x, y)) return true;
    return false;
}

InkMap crop(const InkMap& map, int left, int top, int right, int bottom) {  // inclusive
    InkMap cropped;
    cropped.width = std::max(0, right - left + 1);
    cropped.height = std::max(0, bottom - top + 1);
    for (int y = top; y <= bottom; ++y)
        for (int x = left; x <= right; ++x) cropped.ink.push_back(map.at(x, y));
    return cropped;
}

int lowest_inked_row(const InkMap& map) {
    int y = map.height - 1;
    while (y >= 0 && ink_in_row(map, y) == 0) --y;
    return y;
}

}  // namespace

std::string level(const GrayImage& image, PixelRect label, PixelRect text_area, int tolerance) {
    if (label.left < text_area.left && label.left + label.width > text_area.left)
        label.width = text_area.left - label.left;
    const int label_row = lowest_inked_row(ink_in(image, label));
    const int box_row = lowest_inked_row(ink_in(image, text_area));
    if (label_row < 0 || box_row < 0) return label_row < 0 ? "no ink in the label" : "no ink in the box";
    const int label_bottom = label.top + label_row;
    const int box_bottom = text_area.top + box_row;
    if (std::abs(label_bottom - box_bottom) <= tolerance) return "level";
    return "the label's ink ends on row " + std::to_string(label_bottom) + ", the box's on row " +
           std::to_string(box_bottom);
}

int InkMap::count() const { return static_cast<int>(std::count(ink.begin(), ink.end(), true)); }

PixelRect inside_frame(PixelRect box) {
    constexpr int kFrame = 3;  // a sunken edge of two pixels, and one of margin
    return {box.left + kFrame, box.top + kFrame, box.width - 2 * kFrame, box.height - 2 * kFrame};
}

InkMap ink_in(const GrayImage& image, PixelRect rect) {
    InkMap map;
    const int left = std::clamp(rect.left, 0, image.width);
    const int top = std::clamp(rect.top, 0, image.height);
    map.width = std::clamp(rect.left + rect.width, 0, image.width) - left;
    map.height = std::clamp(rect.top + rect.height, 0, image.height) - top;
    for (int y = top; y < top + map.height; ++y)
        for (int x = left; x < left + map.width; ++x)
            map.ink.push_back(image.luma[static_cast<std::size_t>(y * image.width + x)] < kInkBelow);
    return map;
}

InkMap first_glyph(const InkMap& text) {
    int first = 0;
    while (first < text.width && !column_has_ink(text, first)) ++first;
    if (first == text.width) return {};
    int last = first;
    while (last + 1 < text.width && column_has_ink(text, last + 1)) ++last;
    int top = 0, bottom = text.height - 1;
    const InkMap columns = crop(text, first, 0, last, text.height - 1);
    while (ink_in_row(columns, top) == 0) ++top;
    while (ink_in_row(columns, bottom) == 0) --bottom;
    return crop(columns, 0, top, columns.width - 1, bottom);
}

bool same_ink(const InkMap& a, const InkMap& b) {
    return a.width == b.width && a.height == b.height && a.ink == b.ink;
}

bool differ_in_shape(const InkMap& a, const InkMap& b) {
    if (a.width != b.width) return true;
    if (a.height == 0 || b.height == 0) return a.height != b.height;
    return ink_in_row(a, 0) != ink_in_row(b, 0) || ink_in_row(a, a.height - 1) != ink_in_row(b, b.height - 1);
}

bool read_apart(const InkMap& a, const InkMap& b) {
    // Laid over each other at the bottom-left corners of their boxes.
    const int width = std::max(a.width, b.width);
    const int height = std::max(a.height, b.height);
    const auto inked = [](const InkMap& map, int x, int y_from_bottom) {
        const int y = map.height - 1 - y_from_bottom;
        return x < map.width && y >= 0 && map.at(x, y);
    };
    int differing = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) differing += inked(a, x, y) != inked(b, x, y);
    return differing >= 3 && differing * 4 >= std::max(a.count(), b.count());
}

std::string picture(const InkMap& map) {
    std::string rows;
    for (int y = 0; y < map.height; ++y) {
        for (int x = 0; x < map.width; ++x) rows += map.at(x, y) ? '#' : '.';
        rows += '/';
    }
    return rows;
}

std::vector<std::string> window_reads_right(const GrayImage& image,
                                            const std::function<PixelRect(const char* control)>& place) {
    std::vector<std::string> failures;
    const auto ink = [&](const char* control) { return ink_in(image, place(control)); };
    const char* rows[][3] = {{"Label2", "Label3", "Label8"}, {"Label5", "Label6", "Label10"}};
    for (const auto& [raised, digit, plain] : rows) {
        const bool drawn = ink(digit).count() > 0 && first_glyph(ink(plain)).count() > 0;
        if (!drawn || !same_ink(first_glyph(ink(raised)), first_glyph(ink(plain))))
            failures.push_back(std::string("the m of ") + raised + " is not whole under its raised " + digit);
    }
    if (!differ_in_shape(first_glyph(ink("Label1")), first_glyph(ink("Label9"))))
        failures.push_back("I and l share one shape");
    const InkMap l = first_glyph(ink("Label9"));
    const InkMap one = first_glyph(ink_in(image, inside_frame(place("Text3"))));
    if (one.count() == 0 || !read_apart(l, one))
        failures.push_back("l and 1 read alike: l " + picture(l) + " 1 " + picture(one));
    return failures;
}

}  // namespace glyph_ink
