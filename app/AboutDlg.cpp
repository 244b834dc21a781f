#include "app/AboutDlg.h"

#include "res/Resources.h"

namespace norvane {

CAboutDlg::CAboutDlg(QWidget* pParent) : TemplateDialog(kAboutBoxTemplate, pParent) {}

}  // namespace norvane
