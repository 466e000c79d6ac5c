#include "ui/win32/win32_ids.h"

namespace ui::win32 {

std::optional<int> control_id(const WindowDescription& window, std::string_view name) {
    for (std::size_t i = 0; i < window.controls.size(); ++i)
        if (window.controls[i].name == name) return kFirstControlId + static_cast<int>(i);
    return std::nullopt;
}

std::optional<int> menu_item_id(const WindowDescription& window, std::string_view name) {
    int id = kFirstMenuItemId;
    for (const Menu& menu : window.menus)
        for (const MenuItem& item : menu.items) {
            if (item.name == name) return id;
            ++id;
        }
    return std::nullopt;
}

}  // namespace ui::win32
