#include "ui/win32/win32_ids.h"

namespace ui::win32 {

std::optional<int> control_id(const WindowDescription& window, std::string_view name) {
    for (std::size_t i = 0; i < window.controls.size(); ++i)
        if (window.controls[i].name == name) return kFirstControlId + static_cast<int>(i);
    return std::nullopt;
}

// Menu items are numbered in the order they stand in the menus.
std::optional<int> menu_item_id(const WindowDescription& window, std::string_view name) {
    int id = kFirstMenuItemId;
    for (const Menu& menu : window.menus)
        for (const MenuItem& item : menu.items) {
            if (item.name == name) return id;
            ++id;
        }
    return std::nullopt;
}

// The boxes' commands are numbered in the order of the controls.
std::optional<int> command_id(const WindowDescription& window, std::string_view name) {
    int id = kFirstCommandId;
    for (const Control& control : window.controls)
        for (const MenuItem& command : control.commands) {
            if (command.name == name) return id;
            ++id;
        }
    return std::nullopt;
}

const Control* control_with_id(const WindowDescription& window, int id) {
    const int index = id - kFirstControlId;
    if (index < 0 || index >= static_cast<int>(window.controls.size())) return nullptr;
    return &window.controls[static_cast<std::size_t>(index)];
}

const MenuItem* menu_item_with_id(const WindowDescription& window, int id) {
    for (const Menu& menu : window.menus)
        for (const MenuItem& item : menu.items)
            if (menu_item_id(window, item.name) == id) return &item;
    return nullptr;
}

const MenuItem* command_with_id(const WindowDescription& window, int id) {
    for (const Control& control : window.controls)
        for (const MenuItem& command : control.commands)
            if (command_id(window, command.name) == id) return &command;
    return nullptr;
}

}  // namespace ui::win32
