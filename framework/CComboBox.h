// A combo box handle: the list's entries and the edit field. Entries added
// with AddString to a combo box of the sorted style take their place in
// alphabetical order without regard to case.
#pragma once

#include "framework/CWnd.h"

namespace norvane {

inline constexpr int CB_ERR = -1;

class CComboBox : public CWnd {
public:
    int AddString(std::string_view strUtf8);
    int InsertString(int nIndex, std::string_view strUtf8);  // -1: at the end
    int DeleteString(int nIndex);  // entries left, or CB_ERR
    int GetCount() const;
    std::string GetLBText(int nIndex) const;  // empty for a missing entry
    int GetCurSel() const;
    int SetCurSel(int nIndex);
    void ResetContent();
};

}  // namespace norvane
