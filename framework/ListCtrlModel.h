// The base of a list's model: the columns (heading and alignment) and a
// reorder that keeps the selection on its rows. A derived model holds the
// rows and says what each cell shows.
#pragma once

#include <functional>
#include <vector>

#include <QAbstractTableModel>
#include <QString>

class QFontMetrics;

namespace norvane {

// How a column lays out its texts.
enum class ColumnAlign { kLeft, kRight };

class ListCtrlModel : public QAbstractTableModel {
    Q_OBJECT

public:
    using QAbstractTableModel::QAbstractTableModel;

    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int nRole = Qt::DisplayRole) const override;
    QVariant headerData(int nSection, Qt::Orientation orientation, int nRole = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // Returns where it went.
    int InsertColumn(int nCol, const QString& strHeading, ColumnAlign align);
    // False when there is no such column.
    bool RemoveColumn(int nCol);

    // The rows as text to copy: one line per row, ending with a line feed,
    // the cells of the columns given, in that order, joined by tabs. A tab or
    // line break inside a cell (a file name may hold one) becomes a blank,
    // so that every row stays one line of cells.
    virtual QString RowsText(const std::vector<int>& rows, const std::vector<int>& columns) const = 0;

    // The rows whose text in nColumn may be the widest in metrics' font,
    // widest first: every row's text is measured by the sum of its
    // characters' advances (no shaping, so a million rows take a moment, not
    // minutes), and those within a few pixels of the widest are given, at
    // most kWidestRows, for the caller to measure exactly.
    static constexpr std::size_t kWidestRows = 256;
    std::vector<int> WidestRows(int nColumn, const QFontMetrics& metrics) const;

protected:
    // The text of a cell of a row the model holds, made when it is shown.
    virtual QString CellText(int nRow, int nColumn) const = 0;
    // Puts old row order[i] at row i: fnMove rearranges the derived model's
    // rows so; the selection and the current row follow their rows. Anything
    // but a permutation of the rows changes nothing.
    void Reorder(const std::vector<int>& order, const std::function<void()>& fnMove);
    // Where each row goes in order (newRow[old] = new); empty when order is
    // no permutation. Any thread: a long list's is worked out off the
    // window's thread.
    static std::vector<int> NewRows(const std::vector<int>& order);
    // Reorder with newRow worked out already, for the rows as they are.
    void MoveRows(const std::vector<int>& newRow, const std::function<void()>& fnMove);

private:
    struct Column {
        QString strHeading;
        Qt::Alignment align;
    };
    std::vector<Column> m_columns;
};

}  // namespace norvane
