#include "app/QtTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <cstring>

namespace norvane {
namespace {

// Texts Qt's Japanese catalogue lacks: the types the file dialogs show for
// folders and drives, in the words the catalogue uses elsewhere.
class MissingQtTexts : public QTranslator {
public:
    using QTranslator::QTranslator;
    bool isEmpty() const override { return false; }
    QString translate(const char* pszContext, const char* pszSource, const char* /*pszDisambiguation*/,
                      int /*n*/) const override {
        if (pszContext == nullptr || pszSource == nullptr ||
            std::strcmp(pszContext, "QAbstractFileIconProvider") != 0) {
            return {};
        }
        if (std::strcmp(pszSource, "Folder") == 0) return QStringLiteral("フォルダ");
        if (std::strcmp(pszSource, "Drive") == 0) return QStringLiteral("ドライブ");
        if (std::strcmp(pszSource, "Unknown") == 0) return QStringLiteral("不明");
        return {};
    }
};

}  // namespace

bool InstallQtTranslations() {
    static bool bInstalled = false;
    if (bInstalled) return true;
    const QLocale japanese(QLocale::Japanese, QLocale::Japan);
    QLocale::setDefault(japanese);
    // Owned by the application object, which uses them until it goes.
    auto* pTranslator = new QTranslator(QCoreApplication::instance());
    const QString strFolder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (!pTranslator->load(japanese, QStringLiteral("qtbase"), QStringLiteral("_"), strFolder)) {
        qWarning("Qt's Japanese translation (qtbase_ja.qm) is not in %s: Qt's dialogs stay in English",
                 qPrintable(strFolder));
        delete pTranslator;
        return false;
    }
    QCoreApplication::installTranslator(pTranslator);
    QCoreApplication::installTranslator(new MissingQtTexts(QCoreApplication::instance()));
    bInstalled = true;
    return true;
}

}  // namespace norvane
