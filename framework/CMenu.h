// The items a dialog adds to its window menu. The window manager owns the
// real window menu, so these items are shown in the dialog's context menu;
// choosing one sends WM_SYSCOMMAND with the item's id.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "framework/AfxTypes.h"

namespace norvane {

class CMenu {
public:
    struct Item {
        UINT nFlags;
        UINT_PTR nId;
        std::string strText;  // UTF-8
    };

    bool AppendMenu(UINT nFlags, UINT_PTR nIdNewItem = 0, std::string_view strNewItem = {});
    int GetMenuItemCount() const { return static_cast<int>(m_items.size()); }
    const std::vector<Item>& Items() const { return m_items; }

private:
    std::vector<Item> m_items;
};

}  // namespace norvane
