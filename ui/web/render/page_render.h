// The browser's renderer: Form1 as the page's markup and style, computed
// from the description as the Qt and Win32 front ends compute their
// windows. The site's build writes both into the page, so the window shows
// before any script runs.
#pragma once

#include <string>
#include <vector>

#include "ui/main_window.h"

namespace ui::web {

// The page's measures, each said once here; page.css reads them as
// custom properties and media conditions.
inline constexpr int kPhoneWidthPx = 480;  // narrower than this: one column
inline constexpr int kPhoneTextPx = 16;    // the least a phone's text may be
inline constexpr int kSidewaysWidthPx = 560;  // a touch screen this wide and sideways: two halves (568 x 320 too)
inline constexpr int kFrameBorderPx = 1;   // around the window
inline constexpr int kMenuBarHeightPx = 20;
inline constexpr int kScreenMarginPx = 16;
// Whole steps of scale that fit the screen, up to where it would only grow coarse.
inline constexpr double kScales[] = {1.25, 1.5, 1.75, 2};

// The markup of the window: the menu bar, the client area with every
// control, the message box and where new results are said.
//   <div id="Form1" class="window"><div role="menubar" ...>...</div>
//   <div class="client" ...><div id="Label1" class="label" ...>I:</div>...</div></div>...
std::string window_markup(const WindowDescription& window);

// Below the window, the boxes' commands as buttons, where a command says it
// is done, and where a record the browser would not take is shown to copy.
//   <div class="commands"><button type="button" id="RECORD" class="command" data-control="15" ...
std::string commands_markup(const WindowDescription& window);

// The window's style: its faces, every control's place on the desktop at
// one CSS pixel per 15 twips, the steps of scale, and the phone's column.
//   #Text1{left:32px;top:8px;width:65px;height:18px;z-index:1}
std::string window_style(const WindowDescription& window);

// The media conditions of the two layouts, for page.css: the desktop
// window on a wide screen with a mouse, the column on a narrow one or a
// touch screen.
//   "(min-width:480px) and (pointer:fine),(min-width:480px) and (pointer:none)"
//   "(max-width:479.98px),(pointer:coarse)"
std::string desktop_media();
std::string phone_media();
// A touch screen held sideways: the column's two halves side by side.
//   "(pointer:coarse) and (orientation:landscape) and (min-width:600px)"
std::string sideways_media();

// A desktop program a release offers beside the page.
struct Download {
    std::string_view system;  // "windows" or "debian"
    std::string_view file;    // its name in the site's folder
    unsigned long long bytes;
    std::string_view sha256;  // 64 hexadecimal digits
    std::string_view sums;    // the file of every download's SHA-256, as sha256sum writes it
};

// Below the window: each download by its system, its size in KB and its
// SHA-256, and how to check it. A system the description has no word for
// is left out.
//   <section class="downloads" ...><h2 ...>下载桌面版</h2><ul><li><a href="Bemvara.exe" download>Windows 版</a>...
std::string downloads_markup(const WindowDescription& window, const std::vector<Download>& downloads);

// The phone's column, top to bottom: each row the controls it holds. A box
// and the labels that describe it share a row; any other control (the
// button, the line) is a row of its own, placed by its bottom edge, so the
// button beside the four inputs comes after them.
std::vector<std::vector<const Control*>> phone_rows(const WindowDescription& window);

}  // namespace ui::web
