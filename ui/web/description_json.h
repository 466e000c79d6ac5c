// The window description as JSON, from which the site's build step draws
// the window into the page and which the page script reads: the same data
// the desktop front ends walk.
#pragma once

#include <string>

#include "ui/main_window.h"

namespace ui::web {

// {"name":"Form1","title":"Bemvara","width_twips":4185,"height_twips":2040,
//  "font":{...},"controls":[{"name":"Label1","kind":"label",...}],
//  "menus":[{"name":"FILE","caption":"文件","items":[...]}]}
// Controls and menus keep the description's order, so a control's index
// here is the index the page hands back when it is clicked.
std::string description_json(const WindowDescription& window);

}  // namespace ui::web
