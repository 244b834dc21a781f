// Message boxes with the Windows outcomes: the MB_ type picks the buttons,
// icon and default button, the result is IDOK, IDCANCEL, IDYES or IDNO.
// Yes/No boxes have no cancel: Esc and the close box do nothing there, as on
// Windows. The box is a QMessageBox, modal while it runs.
#pragma once

#include <string>
#include <string_view>

#include "framework/AfxTypes.h"

class QWidget;

namespace norvane {

// The name shown in the title of a box without a caption; by default the
// application's name (the executable's name).
void AfxSetAppName(std::string_view strUtf8);
std::string AfxGetAppName();

// strText and strCaption are UTF-8; "\r\n" breaks a line like "\n".
int MessageBox(QWidget* pOwner, std::string_view strText, std::string_view strCaption, UINT nType);
// A box owned by the main window, titled with the application's name.
int AfxMessageBox(std::string_view strText, UINT nType = MB_OK);

}  // namespace norvane
