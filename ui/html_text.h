// Text made safe to stand in HTML, as content or as an attribute's value.
#pragma once

#include <string>
#include <string_view>

namespace ui {

//   html_escaped("a<b & \"c\"") -> "a&lt;b &amp; &quot;c&quot;"
std::string html_escaped(std::string_view text);

}  // namespace ui
