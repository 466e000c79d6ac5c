// Reads glyphs off a picture of the window, so that a test can tell from
// the pixels what a user would see: whether a unit is drawn whole, whether
// two letters can be told apart. Toolkit-free, so every front end's window
// test shares it.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace glyph_ink {

// One byte a pixel, 0 black to 255 white, rows top to bottom.
struct GrayImage {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> luma;
};

struct PixelRect {
    int left, top, width, height;
};

// Which pixels of a part of the picture carry ink (are clearly darker than
// a light background).
struct InkMap {
    int width = 0;
    int height = 0;
    std::vector<bool> ink;  // row by row

    bool at(int x, int y) const { return ink[static_cast<std::size_t>(y * width + x)]; }
    int count() const;
};

InkMap ink_in(const GrayImage& image, PixelRect rect);

// The text inside a text box: its rectangle less the frame around it.
PixelRect inside_frame(PixelRect box);

// The leftmost glyph of a line of text: the ink from its first inked column
// to the next blank one, cut down to the glyph's bounding box.
InkMap first_glyph(const InkMap& text);

// The same pixels, inked alike.
bool same_ink(const InkMap& a, const InkMap& b);

// Whether two glyphs differ in shape, not merely in height: in width, or in
// how much ink their top or bottom rows hold (serifs, a foot, a flag).
bool differ_in_shape(const InkMap& a, const InkMap& b);

// Whether two glyphs are told apart at a glance, as "l" and "1" must be:
// laid over each other, they differ in at least a quarter of their ink. A
// pixel or two of serif is not enough.
bool read_apart(const InkMap& a, const InkMap& b);

// Whether a label's text and the text in a box stand on one baseline: the
// lowest row of ink of each, the label's up to where the box begins (a
// symbol label runs on behind its box), the box's inside `text_area`, within
// `tolerance` rows. "level", or the two rows, for a failure message.
std::string level(const GrayImage& image, PixelRect label, PixelRect text_area, int tolerance);

// The glyph as rows of '#' and '.', each ended by '/', for a failure message.
std::string picture(const InkMap& map);

// What every front end's window must show in its pixels: the "m" under
// each raised digit as whole as the plain "m" of the rows below, "I" and
// "l" of different shapes, and the "l" of "l:" read apart from the "1" in
// its box. `place` gives where a control lies in the picture. One line for
// each check that fails; none when the window reads right.
std::vector<std::string> window_reads_right(const GrayImage& image,
                                            const std::function<PixelRect(const char* control)>& place);

}  // namespace glyph_ink
