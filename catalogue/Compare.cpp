#include "catalogue/Compare.h"

#include <cstdint>
#include <string>

#include "catalogue/CellText.h"
#include "platform/CodePage.h"

namespace norvane {

namespace {

template <typename T>
int CompareValues(T a, T b) {
    return a < b ? -1 : (b < a ? 1 : 0);
}

}  // namespace

int CompareFileVersion(FileVersion a, FileVersion b) {
    // Major, minor, build, revision: each a 16-bit part, so comparing the two
    // doublewords as unsigned numbers, the high one first, orders them the
    // same way part by part.
    const int major = CompareValues(a.dwFileVersionMS, b.dwFileVersionMS);
    return major != 0 ? major : CompareValues(a.dwFileVersionLS, b.dwFileVersionLS);
}

int CompareAscending(const FileItem* a, const FileItem* b, int column) {
    // A missing record sorts first rather than crashing the sort.
    if (a == nullptr || b == nullptr) return CompareValues(a != nullptr, b != nullptr);
    switch (column) {
        case kColumnFileName: return MbsICmp(a->fileName, b->fileName);
        case kColumnDateTime: return CompareValues(a->fileTime, b->fileTime);
        case kColumnSize: return CompareValues(a->fileSize, b->fileSize);
        case kColumnVersion: return CompareFileVersion(a->versionInfo, b->versionInfo);
        case kColumnExtension: return MbsICmp(a->extension(), b->extension());
        case kColumnDirectory: {
            // The texts are made here; the sort of a whole list ranks folders
            // without making them (SortRows).
            thread_local std::string textA;
            thread_local std::string textB;
            textA.clear();
            textB.clear();
            AppendFolderText(textA, a->folder);
            AppendFolderText(textB, b->folder);
            return MbsICmp(textA, textB);
        }
        case kColumnSystem: return static_cast<int>(a->systemFile) - static_cast<int>(b->systemFile);
        case kColumnHidden: return static_cast<int>(a->hidden) - static_cast<int>(b->hidden);
        default: return 0;
    }
}

int CompareDescending(const FileItem* a, const FileItem* b, int column) { return CompareAscending(b, a, column); }

}  // namespace norvane
