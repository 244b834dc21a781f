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

// Writes the rows into the file at strPathUtf8. A file that cannot be
// opened or written is told in a box with the path and the reason; false then.
bool WriteExport(const std::function<void(OutputSink&)>& fnWrite, const std::string& strPathUtf8, QWidget* pOwner) {
    const std::string strRawPath = CodePageToFileSystem(strPathUtf8, FileSystemCodePage(), kCodePageUtf8);
    // Opening a pipe for writing waits for a reader that may never come.
    struct stat st {};
    if (::stat(strRawPath.c_str(), &st) == 0 && S_ISFIFO(st.st_mode)) {
        ReportFailure(pOwner, "出力先のファイルを開けませんでした。", strPathUtf8, "パイプには出力できません。");
        return false;
    }

    FileOutputSink sink;
    if (!sink.Open(strRawPath)) {
        ReportFailure(pOwner, "出力先のファイルを開けませんでした。", strPathUtf8, ErrnoText(sink.ErrorNumber(), true));
        return false;
    }
    fnWrite(sink);
    // Commit writes what is still buffered, reports a failure the file
    // system deferred, and only then puts the file in place. A failed file
    // leaves the destination as it was, unless it had to be written in place.
    if (!sink.Commit()) {
        ReportFailure(pOwner,
                      sink.TargetChanged() ? "出力先のファイルに書き込めませんでした。ファイルは不完全です。"
                                           : "出力先のファイルに書き込めませんでした。出力先は変更されていません。",
                      strPathUtf8, ErrnoText(sink.ErrorNumber(), true));
        return false;
    }
    return true;
}

// The save dialog, the file written by fnWrite, the question.
bool RunExport(const ExportSettings& settings, const std::function<void(OutputSink&)>& fnWrite, QWidget* pOwner) {
    // Every run proposes the format's default name in the program's own
    // folder, or where it may not write there, in the folder of the last
    // export; never whatever the current folder happens to be.
    std::string strRawFolder = ExportProposalFolder();
    if (strRawFolder.empty()) strRawFolder = QFile::encodeName(QDir::homePath() + QLatin1Char('/')).toStdString();
    const char* pszName = settings.format == ExportFormat::kText   ? "Carvel.txt"
                          : settings.format == ExportFormat::kHtml ? "Carvel.html"
                                                                   : "Carvel.csv";
    // The dialog gets the folder decoded straight from the file system's
    // bytes, so a folder name the code page cannot hold still opens.
    QString strFolder = QString::fromStdString(FileSystemToCodePage(strRawFolder, FileSystemCodePage(), kCodePageUtf8));
    QString strFileName = QString::fromUtf8(pszName);
    std::string strPathUtf8;
    for (;;) {
        const QString strPath = AskSavePath(strFolder, strFileName);
        if (strPath.isEmpty()) return false;
        strPathUtf8 = strPath.toStdString();
        if (WriteExport(fnWrite, strPathUtf8, pOwner)) break;
        // The options chosen stay: the dialog opens again on the name that
        // failed, in its folder if there is one, for another place.
        const QFileInfo failed(strPath);
        if (failed.dir().exists()) strFolder = failed.absolutePath();
        strFileName = failed.fileName();
    }

    const std::string strRawPath = CodePageToFileSystem(strPathUtf8, FileSystemCodePage(), kCodePageUtf8);
    RememberExportFolder(strRawPath.substr(0, strRawPath.rfind('/') + 1));

    std::string strQuestion = strPathUtf8;
    strQuestion += "\r\n出力されたファイルを表示しますか？";
    if (AskYesNo(pOwner, strQuestion, "出力先")) CurrentOpener()(strPathUtf8);
    return true;
}

}  // namespace

FileOpener SetFileOpener(FileOpener fnOpener) {
    FileOpener fnOld = std::move(CurrentOpener());
    CurrentOpener() = fnOpener ? std::move(fnOpener) : FileOpener(OpenWithDesktop);
    return fnOld;
}

bool ExportRows(const ExportSettings& settings, const std::vector<const FileItem*>& rows, QWidget* pOwner) {
    return RunExport(settings, [&](OutputSink& sink) { CListExporter(settings).WriteRows(sink, rows); }, pOwner);
}

bool ExportComparison(const ExportSettings& settings, const std::vector<const ComparedRow*>& rows, QWidget* pOwner) {
    return RunExport(settings, [&](OutputSink& sink) { CListExporter(settings).WriteComparison(sink, rows); }, pOwner);
}

}  // namespace norvane
