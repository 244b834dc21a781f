// The main window's catalogues: saving the list, opening a catalogue in its
// place, and what the window says while one is shown.
#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLocale>
#include <QTimer>

#include "app/MainDlg.h"
#include "app/StatusLine.h"
#include "app/ThreadWake.h"
#include "framework/MessageBox.h"
#include "platform/CodePage.h"
#include "platform/FileTime.h"
#include "settings/SettingsFile.h"

namespace norvane {
namespace {

// The filters of the catalogue dialogs: catalogues, and every file.
constexpr const char* kCatalogueFilter = "カタログ (*.nvcat)";
constexpr const char* kAllFilesFilter = "全て(*.*) (*)";

QString Q(const std::string& strUtf8) {
    return QString::fromUtf8(strUtf8.data(), static_cast<qsizetype>(strUtf8.size()));
}

// A path as the user sees it: the file system's bytes decoded as Qt's own
// dialogs decode them.
QString PathText(const std::string& rawPath) { return QFile::decodeName(QByteArray::fromStdString(rawPath)); }

std::string PathBytes(const QString& strPath) { return QFile::encodeName(strPath).toStdString(); }

}  // namespace

// Qt's own dialog, as for exports: the same on every desktop. Empty when it
// is cancelled.
QString AskCataloguePath(QWidget* pOwner, bool bSave, const QString& strFolder, const QString& strName,
                         const QString& strTitle) {
    QFileDialog dialog(pOwner, !strTitle.isEmpty() ? strTitle
                               : bSave             ? QStringLiteral("カタログを保存")
                                                   : QStringLiteral("カタログを開く"));
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setAcceptMode(bSave ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(bSave ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setNameFilters({QString::fromUtf8(kCatalogueFilter), QString::fromUtf8(kAllFilesFilter)});
    // A name typed without an extension gets the catalogue's.
    if (bSave) dialog.setDefaultSuffix(QStringLiteral("nvcat"));
    if (!strFolder.isEmpty()) dialog.setDirectory(strFolder);
    if (!strName.isEmpty()) dialog.selectFile(strName);
    QString strChosen;
    QObject::connect(&dialog, &QFileDialog::fileSelected,
                     [&strChosen](const QString& strFile) { strChosen = strFile; });
    if (dialog.exec() != QDialog::Accepted) return {};
    return strChosen;
}

namespace {

QString Count(std::uint64_t nFiles) {
    return QLocale(QLocale::English).toString(static_cast<qulonglong>(nFiles)) + QStringLiteral(" ファイル");
}

}  // namespace

void CMainDlg::CreateCatalogueActions() {
    m_strBaseTitle = windowTitle();
    m_pOpenCatalogue = new QAction(QStringLiteral("カタログを開く(&O)..."), this);
    m_pOpenCatalogue->setShortcut(QKeySequence::Open);
    m_pSaveCatalogue = new QAction(QStringLiteral("カタログを保存(&V)..."), this);
    m_pSaveCatalogue->setShortcut(QKeySequence::Save);
    for (QAction* pAction : {m_pOpenCatalogue, m_pSaveCatalogue}) {
        pAction->setShortcutContext(Qt::WindowShortcut);
        addAction(pAction);  // the keys work wherever the focus is in the window
    }
    connect(m_pOpenCatalogue, &QAction::triggered, this, &CMainDlg::OnOpenCatalogue);
    connect(m_pSaveCatalogue, &QAction::triggered, this, &CMainDlg::OnSaveCatalogue);
    UpdateCatalogueActions();
}

// Nothing is opened while a listing is under way, and a list is saved only
// once it is a scan's (or a catalogue's) and complete, one save at a time.
void CMainDlg::UpdateCatalogueActions() {
    if (m_pOpenCatalogue == nullptr) return;
    m_pOpenCatalogue->setEnabled(!IsScanning());
    m_pSaveCatalogue->setEnabled(!IsScanning() && !IsSaving() && m_bHasFacts);
    // A list is compared once it is a scan's or a catalogue's.
    // A list is compared once it is a scan's or a catalogue's, and not while
    // long work uses its rows.
    if (m_pCompareCatalogue != nullptr) m_pCompareCatalogue->setEnabled(!IsScanning() && !IsWorking() && m_bHasFacts);
    if (m_pShowUnchanged != nullptr) m_pShowUnchanged->setEnabled(!IsWorking());
}

void CMainDlg::OnOpenCatalogue() {
    if (!m_pOpenCatalogue->isEnabled()) return;
    const QString strFolder = Q(m_strCatalogueFolder.empty() ? ExportProposalFolder() : m_strCatalogueFolder);
    const QString strPath = AskCataloguePath(this, false, strFolder.isEmpty() ? QDir::homePath() : strFolder, {}, {});
    if (strPath.isEmpty()) return;
    OpenCatalogue(PathBytes(strPath));
}

void CMainDlg::OnSaveCatalogue() {
    if (!m_pSaveCatalogue->isEnabled()) return;
    // "<top folder name>.nvcat", in the folder of the last catalogue or where
    // exports go.
    const QString strTop = PathText(m_facts.topFolder);
    QString strName = QFileInfo(QDir::cleanPath(strTop)).fileName();
    if (strName.isEmpty()) strName = QStringLiteral("norvane");
    const QString strFolder = PathText(m_strCatalogueFolder.empty() ? ExportProposalFolder() : m_strCatalogueFolder);
    const QString strPath = AskCataloguePath(this, true, strFolder.isEmpty() ? QDir::homePath() : strFolder,
                                             strName + QString::fromUtf8(kCatalogueExtension), {});
    if (strPath.isEmpty()) return;
    SaveCatalogue(PathBytes(strPath));
}

bool CMainDlg::SaveCatalogue(const std::string& rawPath) {
    if (IsScanning() || IsSaving() || !m_bHasFacts) return false;
    m_strCatalogueFolder = rawPath.substr(0, rawPath.rfind('/') + 1);
    m_pSaveWake = new ThreadWake([this] { OnSaveTaskWake(); }, this);
    m_pSave =
        CatalogueTask::Save(rawPath, m_facts, m_fileList.Store(), m_fileList.ScanOrder(), m_pSaveWake->Notifier());
    m_pProgressTimer->start(100);
    ShowScanProgress();
    UpdateCatalogueActions();
    return true;
}

void CMainDlg::OnSaveTaskWake() {
    if (m_pSave == nullptr || !m_pSave->Done()) return;
    const std::unique_ptr<CatalogueTask> pSave = std::move(m_pSave);
    m_pSaveWake->Retire();
    m_pSaveWake = nullptr;
    if (!IsScanning()) m_pProgressTimer->stop();
    UpdateCatalogueActions();
    auto* pStatus = static_cast<StatusLine*>(m_pStatus);
    const QString strPath = PathText(pSave->Path());
    if (pSave->Succeeded()) {
        if (!IsScanning()) pStatus->SetStatus(QStringLiteral("カタログを保存しました: "), strPath);
        return;
    }
    if (pSave->Error().problem == CatalogueProblem::kStopped) {
        if (!IsScanning()) pStatus->SetStatus(QStringLiteral("カタログの保存を中止しました: "), strPath);
        return;
    }
    if (!IsScanning()) pStatus->SetStatus(QStringLiteral("カタログを保存できませんでした: "), strPath);
    ShowMessage(this,
                "カタログを保存できませんでした。保存先は変更されていません。\n\n" + strPath.toStdString() + "\n" +
                    CatalogueErrorText(pSave->Error()),
                MessageIcon::kWarning);
}

void CMainDlg::OpenCatalogueAtStart(const std::string& rawPath) {
    if (OpenCatalogue(rawPath)) m_bOpenAtStart = true;
}

bool CMainDlg::OpenCatalogue(const std::string& rawPath) {
    if (IsScanning()) return false;
    auto* pStatus = static_cast<StatusLine*>(m_pStatus);
    m_strStatusBeforeOpen = pStatus->Text();
    m_strDetailBeforeOpen = pStatus->Detail();
    m_strCatalogueFolder = rawPath.substr(0, rawPath.rfind('/') + 1);
    m_pOpenWake = new ThreadWake([this] { OnOpenTaskWake(); }, this);
    m_pOpen = CatalogueTask::Open(rawPath, m_pOpenWake->Notifier());
    UpdateCommands();
    ShowScanProgress();
    return true;
}

// Lets the reading go (it stops on its own thread) and gives the window back
// its controls; the list is as it was.
void CMainDlg::EndOpen() {
    if (m_pOpen == nullptr) return;
    m_pOpen.reset();
    m_pOpenWake->Retire();
    m_pOpenWake = nullptr;
    m_bOpenAtStart = false;
    UpdateCommands();
}

void CMainDlg::OnOpenTaskWake() {
    if (m_pOpen == nullptr || !m_pOpen->Done()) return;
    const bool bAtStart = m_bOpenAtStart;
    const std::string rawPath = m_pOpen->Path();
    const bool bRead = m_pOpen->Succeeded();
    const CatalogueError error = m_pOpen->Error();
    CatalogueContents contents = bRead ? m_pOpen->TakeContents() : CatalogueContents();
    EndOpen();
    if (bRead) return ShowCatalogue(std::move(contents), rawPath);
    // A folder named like a catalogue, given on the command line, is listed.
    if (bAtStart && error.problem == CatalogueProblem::kFolder) return SetFolder(rawPath);
    static_cast<StatusLine*>(m_pStatus)->SetStatus(m_strStatusBeforeOpen, m_strDetailBeforeOpen);
    if (error.problem == CatalogueProblem::kStopped) return;
    ShowMessage(this,
                "カタログを開けませんでした。\n\n" + PathText(rawPath).toStdString() + "\n" + CatalogueErrorText(error),
                MessageIcon::kWarning);
}

// The catalogue's rows in place of the list, in scan order, and its folder
// and options in the window's controls: "リストを更新(&R)" scans that folder.
void CMainDlg::ShowCatalogue(CatalogueContents contents, const std::string& rawPath) {
    ClearItems();
    const CatalogueFacts& facts = contents.facts;
    m_fileList.SetRows(contents.store, std::move(contents.rows));
    m_bSortAscending = false;
    m_nSortColumn = -1;
    m_bFolderHeadingAllowed = true;
    m_facts = facts;
    m_bHasFacts = true;
    m_strCataloguePath = rawPath;
    m_strRawFolder = facts.topFolder;
    m_szSourceFolder = TopFolderText(facts.topFolder, facts.nameEncoding);
    m_chkSubfolders->setChecked(facts.subfolders);
    m_chkSystemFiles->setChecked(facts.systemFiles);
    m_chkHiddenFiles->setChecked(facts.hiddenFiles);
    m_strCatalogueBoxText = Q(CodePageToUtf8(FileNameToCodePage(facts.topFolder, facts.nameEncoding)));
    m_cbFolder->setEditText(m_strCatalogueBoxText);
    const QString strSummary = CatalogueSummary();
    SetRestingStatus(QStringLiteral("カタログ: ") + Count(m_fileList.rowCount()) + QStringLiteral("　") + strSummary +
                         QStringLiteral("　"),
                     Q(CodePageToUtf8(m_szSourceFolder)));
    setWindowTitle(m_strBaseTitle + QStringLiteral(" - カタログ ") + QFileInfo(PathText(rawPath)).fileName() +
                   QStringLiteral("（") + Q(CodePageToUtf8(m_szSourceFolder)) + QStringLiteral("、") + strSummary +
                   QStringLiteral("）"));
    UpdateCatalogueActions();
}

// When it was made, where, and whether it is whole.
QString CMainDlg::CatalogueSummary() const {
    QString strText = Q(CodePageToUtf8(DateText(m_facts.ended))).simplified() + QStringLiteral(" 作成");
    if (!m_facts.host.empty()) strText += QStringLiteral("、ホスト ") + QString::fromUtf8(m_facts.host);
    switch (m_facts.end) {
        case ScanEnd::kCompleted: return strText + QStringLiteral("、完全");
        case ScanEnd::kStoppedByRequest: return strText + QStringLiteral("、途中まで（中止）");
        case ScanEnd::kStoppedByError: break;
    }
    return strText + QStringLiteral("、途中まで（エラー: ") + QString::fromUtf8(m_facts.errorText) +
           QStringLiteral("）");
}

// A scan takes the catalogue's place.
void CMainDlg::LeaveCatalogue() {
    if (m_strCataloguePath.empty()) return;
    m_strCataloguePath.clear();
    m_strCatalogueBoxText.clear();
    setWindowTitle(m_strBaseTitle);
}

}  // namespace norvane
