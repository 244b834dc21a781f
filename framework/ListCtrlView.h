// The view of a CListCtrl: a table in report style with fixed row heights,
// whole-row extended selection that stays visible without focus, and the
// selection mark of its model as the anchor of Shift+click and Shift+arrow.
#pragma once

#include <QTableView>

namespace norvane {

class ListCtrlModel;

class ListCtrlView : public QTableView {
    Q_OBJECT

public:
    explicit ListCtrlView(QWidget* pParent = nullptr);

protected:
    void mousePressEvent(QMouseEvent* pEvent) override;
    void mouseMoveEvent(QMouseEvent* pEvent) override;
    void mouseReleaseEvent(QMouseEvent* pEvent) override;
    void keyPressEvent(QKeyEvent* pEvent) override;
    void changeEvent(QEvent* pEvent) override;

private:
    ListCtrlModel* Model() const;
    void SelectFromMark(int nRow, bool bAdd);
    void UpdateRowHeight();

    bool m_bOwnShiftPress = false;
};

}  // namespace norvane
