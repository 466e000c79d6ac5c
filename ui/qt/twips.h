// Twips to Qt's logical pixels. Qt scales logical pixels on high-DPI
// screens by itself, so this is the only conversion the front end makes.
#pragma once

#include <QRect>

#include "ui/main_window.h"

namespace ui::qt {

using ui::twips_to_pixels;

inline QRect twips_to_pixels(const TwipsRect& rect) {
    return {twips_to_pixels(rect.left_twips), twips_to_pixels(rect.top_twips), twips_to_pixels(rect.width_twips),
            twips_to_pixels(rect.height_twips)};
}

}  // namespace ui::qt
