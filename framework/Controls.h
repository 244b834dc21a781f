// The controls a template creates, made to behave as a Windows dialog's
// controls do rather than as Qt's do by default. Texts are UTF-8 at this
// boundary.
#pragma once

#include <functional>
#include <string_view>

#include <QComboBox>
#include <QLineEdit>

namespace norvane {

// An editable combo box whose list leaves the edit field alone: adding or
// removing an entry selects nothing and keeps the typed text. With the
// sorted style, AddString places an entry in alphabetical order without
// regard to case (after the entries equal to it).
class CComboBox : public QComboBox {
public:
    CComboBox(QWidget* pParent, bool bSorted) : QComboBox(pParent), m_bSorted(bSorted) {}
    int AddString(std::string_view strUtf8);
    void InsertString(int nIndex, std::string_view strUtf8);
    void DeleteString(int nIndex);

private:
    bool m_bSorted;
};

// Fills a black-frame static, inset by one pixel, until changed.
void SetFrameFill(QWidget* pFrame, const QColor& color);

// How edit limits count a text: the program counts bytes of its code page.
// The default counts UTF-8 bytes.
void SetTextLengthCounter(std::function<int(const QString&)> fnCounter);
int CountTextLength(const QString& strText);

// Limits what the user types into an edit to nMaxLength as counted above (0:
// no limit), once for each edit. Text set by the program is never cut.
void LimitEditText(QLineEdit* pEdit, int nMaxLength);

}  // namespace norvane
