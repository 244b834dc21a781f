#include "framework/CMenu.h"

namespace norvane {

bool CMenu::AppendMenu(UINT nFlags, UINT_PTR nIdNewItem, std::string_view strNewItem) {
    m_items.push_back(Item{nFlags, nIdNewItem, std::string(strNewItem)});
    return true;
}

}  // namespace norvane
