// The export runs of the main window: where the file goes, writing it, and
// what the user is told afterwards.
#include <sys/stat.h>

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QString>
#include <QUrl>

#include <condition_variable>
#include <mutex>

#include "export/ListExporterRun.h"
#include "framework/MessageBox.h"
#include "platform/CodePage.h"
#include "platform/Paths.h"
#include "platform/SystemCalls.h"
#include "settings/SettingsFile.h"

namespace norvane {

namespace {

bool OpenWithDesktop(const std::string& strPathUtf8) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(strPathUtf8)));
}

FileOpener& CurrentOpener() {
    static FileOpener fnOpener = OpenWithDesktop;
    return fnOpener;
}

// One filter that lists every file: the label names the pattern the user
// knows from Windows, where "*.*" also matches names without a period; the
// pattern behind it, which the dialog does not show, is "*". Picking a filter
// in Qt's save dialog gives the typed name the pattern's extension; "*" has
// none, so the name stays as typed.
constexpr const char* kAllFilesFilter = "全て(*.*) (*)";

// The save dialog: proposes strName in strFolder, asks before replacing a
// file (with Qt's own question), adds no extension. Empty when it is
// cancelled.
QString AskSavePath(const QString& strFolder, const QString& strName) {
    QFileDialog dialog(nullptr);
    // Qt's own dialog everywhere, so that the filter and the replace
    // question behave the same on every desktop.
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setOption(QFileDialog::HideNameFilterDetails, true);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(QString::fromUtf8(kAllFilesFilter));
    if (!strFolder.isEmpty()) dialog.setDirectory(strFolder);
    dialog.selectFile(strName);
    // The file the dialog accepted, as it accepted it: asked afterwards, the
    // dialog answers from its name field and list as they are by then.
    QString strChosen;
    QObject::connect(&dialog, &QFileDialog::fileSelected,
                     [&strChosen](const QString& strFile) { strChosen = strFile; });
    if (dialog.exec() != QDialog::Accepted) return {};
    return strChosen;
}

// Exports putting their file in place: a program that ends waits for them.
struct Commits {
    std::mutex mutex;
    std::condition_variable done;
    int nRunning = 0;
};

Commits& RunningCommits() {
    static auto* commits = new Commits;  // a worker may still use it after main
    return *commits;
}

class CommitInProgress {
public:
    CommitInProgress() {
        std::lock_guard lock(RunningCommits().mutex);
        ++RunningCommits().nRunning;
    }
    ~CommitInProgress() {
        std::lock_guard lock(RunningCommits().mutex);
        --RunningCommits().nRunning;
        RunningCommits().done.notify_all();
    }
    CommitInProgress(const CommitInProgress&) = delete;
    CommitInProgress& operator=(const CommitInProgress&) = delete;
};

void ReportFailure(QWidget* pOwner, std::string_view strWhat, const std::string& strPathUtf8,
                   const std::string& strReason) {
    std::string strText(strWhat);
    strText += "\r\n";
    strText += strPathUtf8;
    if (!strReason.empty()) {
        strText += "\r\n";
        strText += strReason;
    }
    ShowMessage(pOwner, strText, MessageIcon::kWarning);
}

}  // namespace

bool WaitForExportsPuttingFilesInPlace(std::chrono::milliseconds timeout) {
    std::unique_lock lock(RunningCommits().mutex);
    return RunningCommits().done.wait_for(lock, timeout, [] { return RunningCommits().nRunning == 0; });
}

FileOpener SetFileOpener(FileOpener fnOpener) {
    FileOpener fnOld = std::move(CurrentOpener());
    CurrentOpener() = fnOpener ? std::move(fnOpener) : FileOpener(OpenWithDesktop);
    return fnOld;
}

CExportRun::CExportRun(const ExportSettings& settings, std::vector<ItemRef> rows,
                       std::shared_ptr<const FileStore> store)
    : m_settings(settings), m_rows(std::move(rows)), m_pStore(std::move(store)) {
    // Every run proposes the format's default name in the program's own
    // folder, or where it may not write there, in the folder of the last
    // export; never whatever the current folder happens to be.
    std::string strRawFolder = ExportProposalFolder();
    if (strRawFolder.empty()) strRawFolder = QFile::encodeName(QDir::homePath() + QLatin1Char('/')).toStdString();
    const char* pszName = m_settings.format == ExportFormat::kText   ? "Carvel.txt"
                          : m_settings.format == ExportFormat::kHtml ? "Carvel.html"
                                                                     : "Carvel.csv";
    // The dialog gets the folder decoded straight from the file system's
    // bytes, so a folder name the code page cannot hold still opens.
    m_strFolder = QString::fromStdString(FileSystemToCodePage(strRawFolder, FileSystemCodePage(), kCodePageUtf8));
    m_strFileName = QString::fromUtf8(pszName);
}

CExportRun::CExportRun(const ExportSettings& settings, std::vector<std::uint32_t> rows,
                       std::shared_ptr<const Comparison> comparison)
    : CExportRun(settings, std::move(rows), std::shared_ptr<const FileStore>()) {
    m_pComparison = std::move(comparison);
}

bool CExportRun::AskPath(QWidget* /*pOwner*/) {
    const QString strPath = AskSavePath(m_strFolder, m_strFileName);
    if (strPath.isEmpty()) return false;
    m_strPathUtf8 = strPath.toStdString();
    return true;
}

void CExportRun::Write(WorkControl& control) {
    m_strFailure.clear();
    m_strReason.clear();
    m_bStopped = false;
    const std::string strRawPath = CodePageToFileSystem(m_strPathUtf8, FileSystemCodePage(), kCodePageUtf8);
    // Where the dialog opens again after a failure, looked at here, off the
    // window's thread.
    const std::string strRawFolder = strRawPath.substr(0, strRawPath.rfind('/') + 1);
    m_bFolderExists = !strRawFolder.empty() && FolderExists(strRawFolder);
    // Opening a pipe for writing waits for a reader that may never come.
    struct stat st {};
    if (::stat(strRawPath.c_str(), &st) == 0 && S_ISFIFO(st.st_mode)) {
        m_strFailure = "出力先のファイルを開けませんでした。";
        m_strReason = "パイプには出力できません。";
        return;
    }
    FileOutputSink sink;
    if (!sink.Open(strRawPath)) {
        m_strFailure = "出力先のファイルを開けませんでした。";
        m_strReason = ErrnoText(sink.ErrorNumber(), true);
        return;
    }
    if (m_pComparison != nullptr) {
        std::vector<const ComparedRow*> rows(m_rows.size());
        for (std::size_t i = 0; i < m_rows.size(); ++i) rows[i] = &(*m_pComparison)[m_rows[i]];
        CListExporter(m_settings).WriteComparison(sink, rows, &control);
    } else {
        std::vector<const FileItem*> items(m_rows.size());
        for (std::size_t i = 0; i < m_rows.size(); ++i) items[i] = m_pStore->Item(m_rows[i]);
        CListExporter(m_settings).WriteRows(sink, items, &control);
    }
    // A stop before the file takes its place drops it: the old file stays.
    if (!control.Commit()) {
        sink.Abandon();
        m_bStopped = true;
        return;
    }
    // Commit writes what is still buffered, reports a failure the file
    // system deferred, and only then puts the file in place. A failed file
    // leaves the destination as it was, unless it had to be written in place.
    const CommitInProgress committing;
    if (!sink.Commit()) {
        m_strFailure = sink.TargetChanged() ? "出力先のファイルに書き込めませんでした。ファイルは不完全です。"
                                            : "出力先のファイルに書き込めませんでした。出力先は変更されていません。";
        m_strReason = ErrnoText(sink.ErrorNumber(), true);
    }
}

bool CExportRun::Conclude(QWidget* pOwner) {
    if (m_bStopped) return false;
    if (!m_strFailure.empty()) {
        ReportFailure(pOwner, m_strFailure, m_strPathUtf8, m_strReason);
        // The options chosen stay: the dialog opens again on the name that
        // failed, in its folder if there is one, for another place.
        const QFileInfo failed(QString::fromStdString(m_strPathUtf8));
        if (m_bFolderExists) m_strFolder = failed.absolutePath();
        m_strFileName = failed.fileName();
        return true;
    }
    const std::string strRawPath = CodePageToFileSystem(m_strPathUtf8, FileSystemCodePage(), kCodePageUtf8);
    RememberExportFolder(strRawPath.substr(0, strRawPath.rfind('/') + 1));
    std::string strQuestion = m_strPathUtf8;
    strQuestion += "\r\n出力されたファイルを表示しますか？";
    if (AskYesNo(pOwner, strQuestion, "出力先")) CurrentOpener()(m_strPathUtf8);
    return false;
}

}  // namespace norvane
