// The window description as JSON: the part the page's script reads, and
// the part the site's build and its tests read.
#pragma once

#include <string>

#include "ui/main_window.h"

namespace ui::web {

// What the page's script reads, and no more: the menus' items, the focus
// order, the keyboard's rules and the texts the page may show, {title}
// filled in. (A button's index in the description's list of controls,
// which the page hands back when it is clicked, is in the markup.)
//   {"menus":[{"name":"FILE","items":["EXIT"]},...],"focus_order":["Text1",...],
//    "behaviour":{...},"texts":{"ended":[...],...}}
std::string description_json(const WindowDescription& window);

// What builds the site and checks it, never shipped: the title, each
// control's drawn place in twips, the faces to carry, and the texts put
// into the page's markup and manifest.
//   {"title":"Bemvara","twips_per_pixel":15,"controls":[{"name":"Label1","kind":"label","left_twips":240,...}],
//    "carried_faces":[{"family":"Bemvara Latin","file":"bemvara-latin.ttf"}],"texts":{"app_name":...}}
std::string site_json(const WindowDescription& window);

}  // namespace ui::web
