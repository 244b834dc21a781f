// The main window's comparisons: the list compared with a catalogue kept
// earlier, off the window's thread, then shown in the list's place with a
// first column for the change, until a scan or a catalogue replaces it.
#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QLocale>
#include <QTimer>

#include "app/MainDlg.h"
#include "app/StatusLine.h"
#include "app/ThreadWake.h"
#include "framework/MessageBox.h"
#include "platform/CodePage.h"
#include "settings/SettingsFile.h"

namespace norvane {
namespace {

// The change column's heading (fixed, as the list's others are), and the
// text it is made wide enough for at first.
constexpr const char* kChangeHeading = "Change";
constexpr const char* kChangeWidthText = "変更（日時・サイズ・バージョン）";

QString PathText(const std::string& rawPath) { return QFile::decodeName(QByteArray::fromStdString(rawPath)); }

QString Number(std::uint64_t nCount) { return QLocale(QLocale::English).toString(static_cast<qulonglong>(nCount)); }

}  // namespace

void CMainDlg::CreateCompareActions() {
    m_pCompareCatalogue = new QAction(QStringLiteral("カタログと比較(&M)..."), this);
    m_pShowUnchanged = new QAction(QStringLiteral("同一のファイルも表示(&U)"), this);
    m_pShowUnchanged->setCheckable(true);
    connect(m_pCompareCatalogue, &QAction::triggered, this, [this] { OnCompareCatalogue(); });
    connect(m_pShowUnchanged, &QAction::toggled, this, [this] { OnShowUnchanged(); });
    UpdateCatalogueActions();
}

void CMainDlg::OnCompareCatalogue() {
    if (!m_pCompareCatalogue->isEnabled()) return;
    const QString strFolder = PathText(m_strCatalogueFolder.empty() ? ExportProposalFolder() : m_strCatalogueFolder);
    const QString strPath = AskCataloguePath(this, false, strFolder.isEmpty() ? QDir::homePath() : strFolder, {},
                                             QStringLiteral("比較するカタログ"));
    if (strPath.isEmpty()) return;
    CompareWithCatalogue(QFile::encodeName(strPath).toStdString());
}

bool CMainDlg::CompareWithCatalogue(const std::string& rawPath) {
    // One at a time: a sort, copy or export of the list works on its rows.
    if (IsScanning() || IsWorking() || !m_bHasFacts) return false;
    auto* pStatus = static_cast<StatusLine*>(m_pStatus);
    m_strStatusBeforeOpen = pStatus->Text();
    m_strDetailBeforeOpen = pStatus->Detail();
    m_strCatalogueFolder = rawPath.substr(0, rawPath.rfind('/') + 1);
    m_pCompareWake = new ThreadWake([this] { OnCompareTaskWake(); }, this);
    // The list's own rows are the new side, whatever a comparison shows.
    m_pCompare =
        CatalogueTask::Compare(rawPath, m_fileList.Store(), m_fileList.ScanOrder(), m_pCompareWake->Notifier());
    UpdateCommands();
    ShowScanProgress();
    return true;
}

// Lets the comparison go (it stops on its own thread) and gives the window
// back its controls; the list is as it was.
void CMainDlg::EndCompare() {
    if (m_pCompare == nullptr) return;
    m_pCompare.reset();
    m_pCompareWake->Retire();
    m_pCompareWake = nullptr;
    UpdateCommands();
}

void CMainDlg::OnCompareTaskWake() {
    if (m_pCompare == nullptr || !m_pCompare->Done()) return;
    const std::string rawPath = m_pCompare->Path();
    const bool bRead = m_pCompare->Succeeded();
    const CatalogueError error = m_pCompare->Error();
    const CatalogueFacts oldFacts = m_pCompare->Facts();
    std::shared_ptr<const Comparison> comparison = bRead ? m_pCompare->TakeComparison() : nullptr;
    EndCompare();
    if (comparison != nullptr) return ShowComparison(std::move(comparison), oldFacts, rawPath);
    static_cast<StatusLine*>(m_pStatus)->SetStatus(m_strStatusBeforeOpen, m_strDetailBeforeOpen);
    if (error.problem == CatalogueProblem::kStopped) return;
    ShowMessage(
        this,
        "カタログと比較できませんでした。\n\n" + PathText(rawPath).toStdString() + "\n" + CatalogueErrorText(error),
        MessageIcon::kWarning);
}

// The comparison in the list's place, in its order, the change column
// first; lists not made alike are said so.
void CMainDlg::ShowComparison(std::shared_ptr<const Comparison> comparison, const CatalogueFacts& oldFacts,
                              const std::string& rawPath) {
    m_fileList.SetComparison(std::move(comparison), m_pShowUnchanged->isChecked());
    if (!m_fileList.HasChangeColumn()) {
        const int nWidth = m_listFiles->fontMetrics().horizontalAdvance(QString::fromUtf8(kChangeWidthText)) +
                           m_listFiles->fontMetrics().averageCharWidth() * 2;
        m_fileList.InsertColumn(0, QString::fromUtf8(kChangeHeading), ColumnAlign::kLeft);
        m_listFiles->horizontalHeader()->resizeSection(0, nWidth);
    }
    m_listFiles->SetSortArrow(-1, true);
    m_nSortColumn = -1;
    m_bSortAscending = false;
    m_bFolderHeadingAllowed = true;
    m_strComparedPath = rawPath;
    const QString strNew = m_strCataloguePath.empty() ? QString::fromStdString(CodePageToUtf8(m_szSourceFolder))
                                                      : QFileInfo(PathText(m_strCataloguePath)).fileName();
    setWindowTitle(m_strBaseTitle + QStringLiteral(" - 比較 ") + QFileInfo(PathText(rawPath)).fileName() +
                   QStringLiteral(" → ") + strNew);
    ShowComparisonCounts();
    const std::vector<std::string> warnings = ComparisonWarnings(oldFacts, m_facts, false);
    if (warnings.empty()) return;
    std::string strText = "比較した二つの一覧は、作られた条件が違います。その分も違いとして出ています。\n";
    for (const std::string& strWarning : warnings) strText += "\n・" + strWarning;
    ShowMessage(this, strText, MessageIcon::kWarning);
}

// "追加 12・削除 3・変更 40・移動 2", the unchanged files when they show,
// then the old catalogue.
void CMainDlg::ShowComparisonCounts() {
    const Comparison* pComparison = m_fileList.GetComparison();
    if (pComparison == nullptr) return;
    QString strCounts = QStringLiteral("追加 ") + Number(pComparison->Count(ChangeKind::kAdded)) +
                        QStringLiteral("・削除 ") + Number(pComparison->Count(ChangeKind::kRemoved)) +
                        QStringLiteral("・変更 ") + Number(pComparison->Count(ChangeKind::kChanged)) +
                        QStringLiteral("・移動 ") + Number(pComparison->Count(ChangeKind::kMoved));
    const QString strUnchanged = Number(pComparison->Count(ChangeKind::kUnchanged));
    strCounts += m_pShowUnchanged->isChecked()
                     ? QStringLiteral("・同一 ") + strUnchanged
                     : QStringLiteral("（同一 ") + strUnchanged + QStringLiteral(" は非表示）");
    // What long work on the comparison gives the line back to.
    SetRestingStatus(strCounts + QStringLiteral("　比較したカタログ: "), PathText(m_strComparedPath));
}

void CMainDlg::OnShowUnchanged() {
    if (m_fileList.GetComparison() == nullptr || IsWorking()) return;
    // The rows in the comparison's order again, then sorted anew as they
    // were (off the window's thread when they are many).
    const int nColumn = m_nSortColumn;
    const bool bDescending = !m_bSortAscending;
    m_fileList.SetShowUnchanged(m_pShowUnchanged->isChecked());
    m_nSortColumn = -1;
    m_listFiles->SetSortArrow(-1, true);
    ShowComparisonCounts();
    if (nColumn >= 0) SortList(nColumn, bDescending);
}

// The list's own columns again; the rows go with the list's.
void CMainDlg::LeaveComparison() {
    if (m_fileList.HasChangeColumn()) m_fileList.RemoveColumn(0);
    if (m_strComparedPath.empty()) return;
    m_strComparedPath.clear();
    setWindowTitle(m_strBaseTitle);
}

}  // namespace norvane
