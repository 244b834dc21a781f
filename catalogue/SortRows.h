// Sorts rows by a list column in the order CompareAscending and
// CompareDescending give, stably (equal rows keep their order), but fast:
// each row gets a numeric key first, and records are compared only where
// the keys tie.
#pragma once

#include <vector>

#include "catalogue/FileItem.h"
#include "catalogue/WorkControl.h"

namespace norvane {

void SortRows(std::vector<const FileItem*>& rows, int column, bool descending);
// The same order as a permutation: position i of the sorted rows holds
// rows[order[i]]. With a control (a sort off the window's thread) it stops
// between pieces when asked, giving an empty order, and counts its progress
// in rows' worth of work.
std::vector<int> SortOrder(const std::vector<const FileItem*>& rows, int column, bool descending,
                           WorkControl* control = nullptr);

}  // namespace norvane
