// Message boxes with the Windows outcomes: the MB_ type picks the buttons and
// the icon, the result is IDOK, IDYES or IDNO. A Yes/No box has no cancel:
// Esc and the close box do nothing there. The box is a QMessageBox, modal
// while it runs.
#pragma once

#include <string_view>

#include "framework/AfxTypes.h"

class QWidget;

namespace norvane {

// strText and strCaption are UTF-8; "\r\n" breaks a line like "\n". An empty
// caption gives the application's name.
int MessageBox(QWidget* pOwner, std::string_view strText, std::string_view strCaption, UINT nType);

}  // namespace norvane
