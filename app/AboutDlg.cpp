#include "app/AboutDlg.h"

#include "res/Resources.h"

namespace norvane {

CAboutDlg::CAboutDlg(QWidget* pParent) : CDialog(kAboutBoxTemplate, pParent) {}

}  // namespace norvane
