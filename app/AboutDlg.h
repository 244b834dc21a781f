// The About box: the program's name, version and icon, ended by OK, Esc or
// the close box.
#pragma once

#include "framework/CDialog.h"

namespace norvane {

class CAboutDlg : public CDialog {
public:
    explicit CAboutDlg(QWidget* pParent = nullptr);
};

}  // namespace norvane
