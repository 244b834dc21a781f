// The model behind a CListCtrl: one row per item, holding only the item's
// data; every cell text is asked of the owner (LVN_GETDISPINFO) when the view
// needs it, and nothing is stored. Rows appended at the end are announced to
// the view together once control returns to the event loop, so a scan that
// inserts a million rows one by one costs one insertion for the view.
#pragma once

#include <functional>
#include <span>
#include <vector>

#include <QAbstractTableModel>
#include <QString>

#include "framework/AfxTypes.h"

namespace norvane {

class ListCtrlModel : public QAbstractTableModel {
    Q_OBJECT

public:
    using NotifyHandler = std::function<void(NMHDR&, LRESULT&)>;

    explicit ListCtrlModel(QObject* pParent = nullptr);
    ~ListCtrlModel() override;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int nRole = Qt::DisplayRole) const override;
    QVariant headerData(int nSection, Qt::Orientation orientation, int nRole = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // Where notifications go, and who sends them.
    void SetNotifyHandler(NotifyHandler fnHandler) { m_fnNotify = std::move(fnHandler); }
    void SetSender(QWidget* pWidget, int nId) { m_pSender = pWidget; m_nId = nId; }
    // A detached model asks nobody for texts any more.
    void SetDetached(bool bDetached) { m_bDetached = bDetached; }
    bool IsDetached() const { return m_bDetached; }
    void Notify(NMHDR& hdr, LRESULT& result) const;
    void NotifyColumnClick(int nColumn) const;

    int InsertColumn(int nCol, const QString& strHeading, int nFormat, int nWidth);
    int GetColumnWidth(int nCol) const;

    int ItemCount() const { return static_cast<int>(m_rows.size()); }
    int InsertItems(int nItem, std::span<const DWORD_PTR> items);
    bool DeleteItem(int nItem);
    void DeleteAllItems();
    DWORD_PTR ItemData(int nItem) const;
    bool SetItemData(int nItem, DWORD_PTR dwData);
    // Stable; any comparison result is safe, even an inconsistent one.
    void SortItems(const std::function<int(LPARAM, LPARAM)>& fnCompare);
    // Reorders the rows by a permutation the function computes from the
    // rows' item data: row i becomes old row order[i]. Anything but a
    // permutation leaves the rows as they are.
    void ReorderItems(const std::function<std::vector<int>(const std::vector<DWORD_PTR>&)>& fnOrder);
    // Announces the rows appended since the last announcement.
    void Flush();

    int SelectionMark() const { return m_nSelectionMark; }
    int SetSelectionMark(int nMark);

private:
    void ApplyOrder(const std::vector<int>& order);

    struct Column {
        QString strHeading;
        int nFormat;
    };

    std::vector<DWORD_PTR> m_rows;
    int m_nAnnounced = 0;  // rows the view knows of: the first m_nAnnounced
    bool m_bFlushPosted = false;
    std::vector<Column> m_columns;
    NotifyHandler m_fnNotify;
    QWidget* m_pSender = nullptr;
    int m_nId = 0;
    bool m_bDetached = false;
    int m_nSelectionMark = -1;
};

}  // namespace norvane
