// Identifiers that tie the Win32 window to its description: the window
// class, and the command identifier of every control and menu item, worked
// out from their place in the description so nothing is numbered by hand.
// The tests that drive the program from another process use them too.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

#include "ui/main_window.h"

namespace ui::win32 {

inline constexpr wchar_t kWindowClass[] = L"BemvaraForm1";

// Above IDOK..IDHELP, which the dialog manager sends on its own.
constexpr int kFirstControlId = 100;
constexpr int kFirstMenuItemId = 1000;
constexpr int kFirstCommandId = 2000;  // the boxes' own commands, in their context menus

std::optional<int> control_id(const WindowDescription& window, std::string_view name);
std::optional<int> menu_item_id(const WindowDescription& window, std::string_view name);
std::optional<int> command_id(const WindowDescription& window, std::string_view name);

// The other way round, for WM_COMMAND; nullptr for an id that is not ours.
const Control* control_with_id(const WindowDescription& window, int id);
const MenuItem* menu_item_with_id(const WindowDescription& window, int id);
const MenuItem* command_with_id(const WindowDescription& window, int id);

}  // namespace ui::win32
