// What the window and the lister say when a catalogue cannot be read or
// written.
#include "platform/SystemCalls.h"
#include "store/Catalogue.h"

namespace norvane {
namespace {

// The system's reason, in the words the program gives it everywhere (one
// text in both languages).
std::string SystemReason(const CatalogueError& error) {
    if (error.errorNumber == 0) return error.detail;
    return ErrnoText(error.errorNumber, error.problem == CatalogueProblem::kCannotWrite);
}

}  // namespace

std::string CatalogueErrorText(const CatalogueError& error) {
    switch (error.problem) {
        case CatalogueProblem::kNone: return {};
        case CatalogueProblem::kCannotRead:
        case CatalogueProblem::kCannotWrite: return SystemReason(error);
        case CatalogueProblem::kFolder: return "フォルダです。カタログのファイルを指定してください。";
        case CatalogueProblem::kNotRegular: return "通常のファイルではありません。";
        case CatalogueProblem::kNotSqlite:
            return "Norvane のカタログではありません（SQLite のデータベースではありません）。";
        case CatalogueProblem::kNotCatalogue: return "SQLite のデータベースですが、Norvane のカタログではありません。";
        case CatalogueProblem::kNewerFormat:
            return "新しい版の Norvane で作られたカタログです（形式 " + std::to_string(error.formatVersion) +
                   "）。この版が読めるのは形式 " + std::to_string(kCatalogueFormatVersion) + " までです。";
        case CatalogueProblem::kDamaged:
            return "カタログが壊れているか、途中で切れています。" +
                   (error.detail.empty() ? std::string() : "（" + error.detail + "）");
        case CatalogueProblem::kOutOfMemory: return "メモリが足りません。";
        case CatalogueProblem::kStopped: return "中止しました。";
    }
    return {};
}

std::string CatalogueErrorTextEnglish(const CatalogueError& error) {
    switch (error.problem) {
        case CatalogueProblem::kNone: return {};
        case CatalogueProblem::kCannotRead:
        case CatalogueProblem::kCannotWrite: return SystemReason(error);
        case CatalogueProblem::kFolder: return "it is a folder, not a catalogue file";
        case CatalogueProblem::kNotRegular: return "it is not a regular file";
        case CatalogueProblem::kNotSqlite: return "not a Norvane catalogue (not an SQLite database)";
        case CatalogueProblem::kNotCatalogue: return "an SQLite database, but not a Norvane catalogue";
        case CatalogueProblem::kNewerFormat:
            return "made by a newer Norvane (format " + std::to_string(error.formatVersion) +
                   "; this one reads format " + std::to_string(kCatalogueFormatVersion) + " and older)";
        case CatalogueProblem::kDamaged:
            return "the catalogue is damaged or cut short" +
                   (error.detail.empty() ? std::string() : ": " + error.detail);
        case CatalogueProblem::kOutOfMemory: return "out of memory";
        case CatalogueProblem::kStopped: return "stopped";
    }
    return {};
}

}  // namespace norvane
