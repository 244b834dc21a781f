// Row comparisons for sorting by a list column.
#pragma once

#include "catalogue/FileItem.h"

namespace norvane {

// <0, 0 or >0; column is the list column number (0 to 7).
int CompareAscending(const FileItem* a, const FileItem* b, int column);
int CompareDescending(const FileItem* a, const FileItem* b, int column);
// 1, 0 or -1 over the four file-version parts, as unsigned numbers.
int CompareFileVersion(FileVersion a, FileVersion b);

}  // namespace norvane
