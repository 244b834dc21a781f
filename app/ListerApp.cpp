#include "app/ListerApp.h"

#include <QApplication>

#include "app/MainDlg.h"
#include "framework/Controls.h"
#include "framework/MessageBox.h"
#include "platform/CodePage.h"
#include "res/Resources.h"
#include "store/Catalogue.h"

namespace norvane {
namespace {

CListerApp*& CurrentApp() {
    static CListerApp* pApp = nullptr;
    return pApp;
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

std::string ParseCommandLineFolder(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (argv[i] == nullptr || argv[i][0] == '-') continue;
        return argv[i];
    }
    return {};
}

bool CListerApp::InitInstance(int argc, char** argv) {
    // Edit limits count bytes of the code page, as the program's buffers do.
    SetTextLengthCounter(
        [](const QString& strText) { return static_cast<int>(Utf8ToCodePage(strText.toStdString()).size()); });
    QApplication::setWindowIcon(QPixmap::fromImage(LoadIconImage(IDR_MAINFRAME)));
    // Without its own folder and without a home the program has no place
    // for its settings file; the user should know before settings are missed.
    // (A settings file named by a test stands in for both.)
    if (SettingsPath().empty()) {
        ShowMessage(nullptr, "設定ファイルの場所が見つかりません。\n設定は読み込まれず、保存もされません。",
                    MessageIcon::kWarning);
    }

    // The argument arrives as the file system names the folder: the scan
    // reads those bytes, the window shows them in the code page.
    const std::string rawFolder = ParseCommandLineFolder(argc, argv);

    // The window takes its titles and history from one reading of the file.
    m_pLoaded = std::make_unique<LoadedSettings>();
    const std::string strSettings = SettingsPath();
    std::string strText;
    const SettingsFileState state = ReadSettingsFile(strSettings, &strText);
    ApplyTitleSettings(strText, m_pLoaded->titles);
    ApplyFolderHistory(strText, m_pLoaded->history);
    if (state == SettingsFileState::kTooLarge) {
        ShowMessage(nullptr,
                    "設定ファイルが 1 MiB を超えているため、読み込みませんでした。\n" +
                        CodePageToUtf8(FileSystemToCodePage(strSettings, FileSystemCodePage())),
                    MessageIcon::kWarning);
    }

    CMainDlg dlg;
    // A catalogue (a file manager opens one with the program), or a folder.
    if (HasCatalogueExtension(rawFolder)) dlg.OpenCatalogueAtStart(rawFolder);
    else if (!rawFolder.empty()) dlg.SetFolder(rawFolder);
    dlg.exec();
    m_pLoaded.reset();
    return false;
}

bool CListerApp::LoadTitleSettings(TitleSettings* pTitles) {
    if (m_pLoaded != nullptr) *pTitles = m_pLoaded->titles;
    else norvane::LoadTitleSettings(*pTitles, SettingsPath());
    return true;
}

bool CListerApp::LoadFolderHistory(FolderHistory* pHistory) {
    if (m_pLoaded != nullptr) *pHistory = m_pLoaded->history;
    else norvane::LoadFolderHistory(*pHistory, SettingsPath());
    return true;
}

bool CListerApp::SaveFolderHistory(const FolderHistory& history) {
    // A failed write is not reported (the next run reads what the file
    // held), unless the program refused it: then the user should know why
    // the history is not kept.
    const std::string strPath = SettingsPath();
    if (!norvane::SaveFolderHistory(history, strPath) && SettingsLinkRefused(strPath)) {
        ShowMessage(nullptr, SettingsSaveFailureText(strPath), MessageIcon::kWarning);
    }
    return true;
}

}  // namespace norvane
