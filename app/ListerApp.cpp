#include "app/ListerApp.h"

#include <QApplication>

#include <array>

#include "app/MainDlg.h"
#include "app/SettingsFile.h"
#include "framework/CDialog.h"
#include "framework/CWnd.h"
#include "framework/MessageBox.h"
#include "platform/CodePage.h"
#include "platform/Paths.h"

namespace norvane {
namespace {

CListerApp*& CurrentApp() {
    static CListerApp* pApp = nullptr;
    return pApp;
}

void LoadInto(void (*fnLoad)(std::array<std::string, 8>&, const std::string&), const std::string& strPath,
              const std::array<std::string*, 8>& targets) {
    std::array<std::string, 8> values;
    for (std::size_t i = 0; i < 8; ++i) values[i] = *targets[i];
    fnLoad(values, strPath);
    for (std::size_t i = 0; i < 8; ++i) *targets[i] = std::move(values[i]);
}

}  // namespace

CListerApp::CListerApp() : m_pPrevious(CurrentApp()) { CurrentApp() = this; }

CListerApp::~CListerApp() {
    if (CurrentApp() == this) CurrentApp() = m_pPrevious;
}

CListerApp* AfxGetApp() {
    if (CurrentApp() != nullptr) return CurrentApp();
    static CListerApp fallback;
    return &fallback;
}

std::string CListerApp::GetSettingsPath() const {
    return m_strSettingsPath.empty() ? SettingsPath() : m_strSettingsPath;
}

std::string ParseCommandLineFolder(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (argv[i] == nullptr || argv[i][0] == '-') continue;
        return argv[i];
    }
    return {};
}

bool CListerApp::InitInstance(int argc, char** argv) {
    // Edit limits count bytes of the code page, as the program's buffers do.
    SetTextLengthCounter([](const QString& strText) {
        return static_cast<int>(Utf8ToCodePage(strText.toStdString()).size());
    });
    QApplication::setWindowIcon(AfxLoadIcon(IDR_MAINFRAME));
    // Without its own folder the program has no settings file and no folder
    // to propose for exports; the user should know before either is missed.
    if (m_strSettingsPath.empty() && ExecutableFolder().empty()) {
        MessageBox(nullptr, "プログラムのフォルダが見つかりません。\n設定は読み込まれず、保存もされません。\n"
                   "出力先にはホームフォルダを提案します。",
                   {}, MB_OK | MB_ICONEXCLAMATION);
    }

    // The argument arrives in the file system's encoding.
    const std::string strFolder = FileSystemToCodePage(ParseCommandLineFolder(argc, argv), FileSystemCodePage());

    CMainDlg dlg;
    CDialog* pPreviousMain = AfxGetMainWnd();
    AfxSetMainWnd(&dlg);
    if (!strFolder.empty()) {
        dlg.m_szTargetFolder = strFolder;
        dlg.m_szSourceFolder = strFolder;
        dlg.m_bScanAtStart = true;
    }
    dlg.DoModal();
    AfxSetMainWnd(pPreviousMain);
    return false;
}

bool CListerApp::LoadTitleSettings(std::string* pName, std::string* pDate, std::string* pSize, std::string* pVersion,
                                   std::string* pExt, std::string* pFolder, std::string* pBgColor,
                                   std::string* pFontColor) {
    LoadInto(&norvane::LoadTitleSettings, GetSettingsPath(),
             {pName, pDate, pSize, pVersion, pExt, pFolder, pBgColor, pFontColor});
    return true;
}

bool CListerApp::SaveTitleSettings(std::string name, std::string date, std::string size, std::string version,
                                   std::string ext, std::string folder, std::string bgColor, std::string fontColor) {
    // A failed write is not reported: the next run reads what the file held.
    norvane::SaveTitleSettings({std::move(name), std::move(date), std::move(size), std::move(version),
                                std::move(ext), std::move(folder), std::move(bgColor), std::move(fontColor)},
                               GetSettingsPath());
    return true;
}

bool CListerApp::LoadFolderHistory(std::string* p1, std::string* p2, std::string* p3, std::string* p4,
                                   std::string* p5, std::string* p6, std::string* p7, std::string* p8) {
    LoadInto(&norvane::LoadFolderHistory, GetSettingsPath(), {p1, p2, p3, p4, p5, p6, p7, p8});
    return true;
}

bool CListerApp::SaveFolderHistory(std::string h1, std::string h2, std::string h3, std::string h4, std::string h5,
                                   std::string h6, std::string h7, std::string h8) {
    norvane::SaveFolderHistory({std::move(h1), std::move(h2), std::move(h3), std::move(h4), std::move(h5),
                                std::move(h6), std::move(h7), std::move(h8)},
                               GetSettingsPath());
    return true;
}

}  // namespace norvane
