// What the window and the lister say when two lists that are compared were
// not made alike: their files then differ for more reasons than changes on
// disk, and the user is told which.
#include "store/Catalogue.h"

namespace norvane {

namespace {

std::string CodePageName(int codePage, bool bEnglish) {
    if (codePage == 932) return bEnglish ? "932 (Shift-JIS)" : "932（Shift-JIS）";
    return bEnglish ? std::to_string(codePage) + " (UTF-8)" : std::to_string(codePage) + "（UTF-8）";
}

// One option of the scans: what each list did, and what that does to the
// comparison.
std::string OptionWarning(bool bEnglish, const char* pszWhatEnglish, const char* pszWhat, bool bOld, bool bNew) {
    if (bEnglish) {
        return std::string(pszWhatEnglish) + ": " + (bOld ? "listed" : "left out") + " in the old list, " +
               (bNew ? "listed" : "left out") + " in the new one; they show as " + (bOld ? "removed" : "added");
    }
    return std::string(pszWhat) + "：古い方は" + (bOld ? "含み" : "含まず") + "、新しい方は" +
           (bNew ? "含みます" : "含みません") + "（" + (bOld ? "削除" : "追加") + "と出ます）";
}

std::string PartialWarning(bool bEnglish, bool bOld) {
    if (bEnglish) {
        return std::string("the ") + (bOld ? "old" : "new") +
               " list's scan stopped early: the files it did not reach show as " + (bOld ? "added" : "removed");
    }
    return std::string(bOld ? "古い方" : "新しい方") + "の一覧は途中までです（届かなかったファイルは" +
           (bOld ? "追加" : "削除") + "と出ます）";
}

}  // namespace

std::vector<std::string> ComparisonWarnings(const CatalogueFacts& oldFacts, const CatalogueFacts& newFacts,
                                            bool bEnglish) {
    std::vector<std::string> warnings;
    if (oldFacts.nameEncoding != newFacts.nameEncoding) {
        warnings.push_back(
            bEnglish ? "the names were read in different encodings (old " + CodePageName(oldFacts.nameEncoding, true) +
                           ", new " + CodePageName(newFacts.nameEncoding, true) +
                           "): names that are not plain ASCII do not match"
                     : "ファイル名の文字コードが違います（古い方 " + CodePageName(oldFacts.nameEncoding, false) +
                           "、新しい方 " + CodePageName(newFacts.nameEncoding, false) +
                           "）：ASCII 以外の文字を含む名前は一致しません");
    }
    if (oldFacts.codePage != newFacts.codePage) {
        warnings.push_back(bEnglish ? "the lists were made in different code pages (old " +
                                          CodePageName(oldFacts.codePage, true) + ", new " +
                                          CodePageName(newFacts.codePage, true) + ")"
                                    : "一覧のコードページが違います（古い方 " + CodePageName(oldFacts.codePage, false) +
                                          "、新しい方 " + CodePageName(newFacts.codePage, false) + "）");
    }
    if (oldFacts.subfolders != newFacts.subfolders)
        warnings.push_back(
            OptionWarning(bEnglish, "subfolders", "サブフォルダ", oldFacts.subfolders, newFacts.subfolders));
    if (oldFacts.systemFiles != newFacts.systemFiles)
        warnings.push_back(
            OptionWarning(bEnglish, "system files", "システムファイル", oldFacts.systemFiles, newFacts.systemFiles));
    if (oldFacts.hiddenFiles != newFacts.hiddenFiles)
        warnings.push_back(
            OptionWarning(bEnglish, "hidden files", "隠しファイル", oldFacts.hiddenFiles, newFacts.hiddenFiles));
    if (!oldFacts.whole()) warnings.push_back(PartialWarning(bEnglish, true));
    if (!newFacts.whole()) warnings.push_back(PartialWarning(bEnglish, false));
    return warnings;
}

}  // namespace norvane
