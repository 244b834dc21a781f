// What the window tests do with the main window's list: a header click as a
// user makes it, and whether the rows stand in a column's order.
#pragma once

#include <QHeaderView>
#include <QtTest>

#include "app/MainDlg.h"
#include "catalogue/Compare.h"

namespace norvane::test {

inline void ClickHeader(CMainDlg* d, int nColumn) {
    QHeaderView* pHeader = d->m_listFiles->horizontalHeader();
    QTest::mouseClick(pHeader->viewport(), Qt::LeftButton, {},
                      QPoint(pHeader->sectionViewportPosition(nColumn) + 5, 5));
}

// The text Ctrl+C puts on the clipboard for the selected rows.
inline QString SelectedText(CMainDlg* d) {
    return d->GetFileList().RowsText(d->m_listFiles->GetSelectedRows(), d->m_listFiles->ShownColumns());
}

// Whether the rows stand in the order of a column (ascending or not).
inline bool SortedBy(CMainDlg* d, int nColumn, bool bAscending) {
    const FileListModel& rows = d->GetFileList();
    for (int i = 1; i < rows.rowCount(); ++i) {
        const int nCompare = CompareAscending(rows.Item(i - 1), rows.Item(i), nColumn);
        if (bAscending ? nCompare > 0 : nCompare < 0) return false;
    }
    return true;
}

}  // namespace norvane::test
