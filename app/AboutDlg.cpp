#include "app/AboutDlg.h"

namespace norvane {

CAboutDlg::CAboutDlg(QWidget* pParent) : CDialog(IDD_ABOUTBOX, pParent) {}

}  // namespace norvane
