// The text of each list cell, made from a record on demand.
#pragma once

#include <string>
#include <vector>

#include "catalogue/FileItem.h"

namespace norvane {

// Column numbers of the list; the number is also the sort key.
enum ListColumn : int {
    kColumnFileName = 0,
    kColumnDateTime = 1,
    kColumnSize = 2,
    kColumnVersion = 3,
    kColumnExtension = 4,
    kColumnDirectory = 5,
    kColumnSystem = 6,
    kColumnHidden = 7,
    kColumnCount = 8,
};

// Appends the text of one cell of the list (in the code page) to out.
void AppendCellText(std::string& out, const FileItem& item, int column, bool formattedSize);
std::string CellText(const FileItem& item, int column, bool formattedSize);

// The line a copied row becomes (in the code page): the cells of the
// columns given, in that order (unknown ones left out), joined by tabs, and
// a line feed. A tab or line break inside a cell (a file name may hold one)
// becomes a blank, so that every row stays one line of cells.
void AppendRowLine(std::string& out, const FileItem& item, const std::vector<int>& columns, bool formattedSize);

// "1.2.0.15" when dwFileVersionMS is not 0 (the list's rule), else empty.
void AppendListVersionText(std::string& out, const FileVersion& info);
// The four parts joined by periods, without any test.
void AppendVersionParts(std::string& out, const FileVersion& info);

}  // namespace norvane
