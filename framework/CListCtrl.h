// A list view handle, over a ListCtrlView and a ListCtrlModel: report style
// with columns, rows that hold only item data, cell texts asked of the owner
// through LVN_GETDISPINFO at paint time, header clicks sent as
// LVN_COLUMNCLICK, the selection and its mark with Windows semantics.
#pragma once

#include <functional>
#include <memory>
#include <span>
#include <utility>
#include <vector>

#include <QMetaObject>

#include "framework/CWnd.h"

class QTableView;

namespace norvane {

class ListCtrlModel;

class CListCtrl : public CWnd {
public:
    CListCtrl();
    ~CListCtrl() override;

    // Binds to a list view of a dialog (DDX_Control does this).
    void Attach(QWidget* pWidget, int nId) override;
    // A list of its own, for a window that is not made from a template.
    QTableView* Create(QWidget* pParent, int nId);
    // The view stops asking for texts and shows nothing; the rows stay. Call it
    // before the records behind the rows are freed.
    void Detach();

    // Where LVN_ notifications go when the list is not bound by a dialog.
    void SetNotifyHandler(std::function<void(NMHDR*, LRESULT*)> fnHandler);

    int InsertColumn(int nCol, std::string_view strHeading, int nFormat = LVCFMT_LEFT, int nWidth = -1);
    int GetColumnWidth(int nCol) const;

    // Texts always come from LVN_GETDISPINFO. Returns the new index, -1 on
    // failure; an index past the end appends.
    int InsertItem(int nItem, DWORD_PTR dwData);
    int InsertItems(int nItem, std::span<const DWORD_PTR> items);
    bool DeleteItem(int nItem);
    bool DeleteAllItems();
    int GetItemCount() const;
    DWORD_PTR GetItemData(int nItem) const;
    bool SetItemData(int nItem, DWORD_PTR dwData);

    // Sorts the rows by comparing their item data; stable.
    bool SortItems(PFNLVCOMPARE pfnCompare, DWORD_PTR dwData);
    bool SortItems(const std::function<int(LPARAM, LPARAM)>& fnCompare);
    // Sorts by a permutation computed from all rows' item data at once (row
    // i becomes old row order[i]): for sorts faster than one comparison
    // callback at a time.
    bool SortItemsByOrder(const std::function<std::vector<int>(const std::vector<DWORD_PTR>&)>& fnOrder);

    UINT GetSelectedCount() const;
    // The next item after nItem (-1: from the start) with the flags, in
    // display order; -1 when there is none.
    int GetNextItem(int nItem, UINT nFlags) const;
    bool SetItemState(int nItem, UINT nState, UINT nStateMask);  // nItem -1: all
    UINT GetItemState(int nItem, UINT nMask) const;
    // The anchor of the selection: the row of the last click, or any number
    // set here (-1 when the list is new or emptied). Returns the old mark.
    int GetSelectionMark() const;
    int SetSelectionMark(int nMark);

    DWORD GetExtendedStyle() const { return m_dwExStyle; }
    DWORD SetExtendedStyle(DWORD dwExStyle);
    // Only the view type is kept: the list always shows as a report.
    bool ModifyStyle(DWORD dwRemove, DWORD dwAdd);
    bool EnsureVisible(int nItem, bool bPartialOk);
    // Repaints every visible cell, asking for its text anew.
    void Invalidate() override;

    QTableView* GetView() const;
    ListCtrlModel* GetModel() const { return m_pModel.get(); }

private:
    void Connect();
    void Disconnect();
    const std::vector<std::pair<int, int>>& SelectedRuns() const;

    std::unique_ptr<ListCtrlModel> m_pModel;
    std::function<void(NMHDR*, LRESULT*)> m_fnNotify;
    std::vector<QMetaObject::Connection> m_connections;
    DWORD m_dwExStyle = 0;
    DWORD m_dwStyle = 0;
    // Selected rows as sorted, disjoint [first, last] runs; rebuilt when the
    // selection or the rows change.
    mutable std::vector<std::pair<int, int>> m_selRuns;
    mutable bool m_bSelDirty = true;
};

}  // namespace norvane
