// The About box: the program's name, version and icon, ended by OK, Enter,
// Esc or the close box.
#pragma once

#include "framework/TemplateDialog.h"

namespace norvane {

class CAboutDlg : public TemplateDialog {
public:
    explicit CAboutDlg(QWidget* pParent = nullptr);
};

}  // namespace norvane
