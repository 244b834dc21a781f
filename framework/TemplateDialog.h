// A dialog built from the template it is given: the controls are made in tab
// order at the template's places (dialog units through the dialog font), a
// label's or group box's mnemonic moves the focus to the control after it,
// and each radio group takes one tab stop. The keys are a Windows dialog's:
// Esc and the close box reject; Enter clicks the focused push button, else
// the default push button (a greyed one does nothing), else accepts; F1
// calls the help handler. The OK and Cancel buttons accept and reject. When
// it first shows, the first enabled tab stop has the focus.
#pragma once

#include <functional>
#include <vector>

#include <QDialog>
#include <QFont>
#include <QRect>

#include "framework/DialogTemplate.h"

namespace norvane {

// The dialog font and dialog units. Templates name "ＭＳ Ｐゴシック" 9 pt; it
// is replaced by an installed Japanese Gothic font, and dialog units become
// pixels through that font's average character width and height, as Windows
// computes them.
struct DialogBaseUnits {
    int cx = 0;  // average character width, pixels
    int cy = 0;  // character height, pixels
};

// The installed family that stands in for a face name of the templates
// ("ＭＳ Ｐゴシック" and its relatives): a proportional Japanese Gothic when
// one is installed, else any family that covers Japanese.
QString SubstituteFontFamily(const QString& strFace);

// The font a dialog uses for face name and point size.
QFont DialogFont(const QString& strFace, int nPointSize);

// Average width of "A".."Z", "a".."z" over 52, rounded; height of the font.
DialogBaseUnits GetDialogBaseUnits(const QFont& font);

// a * b / c rounded half up, as Windows MulDiv for the dialog units and
// sizes (never negative, c > 0) of the templates.
int MulDiv(int a, int b, int c);

// A rectangle in dialog units to pixels: x * cx / 4, y * cy / 8.
QRect MapDialogRect(const QRect& rcUnits, const DialogBaseUnits& units);

class TemplateDialog : public QDialog {
public:
    explicit TemplateDialog(const DialogTemplate& dlgTemplate, QWidget* pParent = nullptr);

    // The control of the template's id nId as a T; nullptr when there is
    // none of that class.
    template <class T = QWidget>
    T* Control(int nId) const {
        return dynamic_cast<T*>(ControlWidget(nId));
    }
    const DialogTemplate& Template() const { return m_template; }
    // Pixels from dialog units, with this dialog's font.
    QRect MapDialogRect(const QRect& rcUnits) const { return norvane::MapDialogRect(rcUnits, m_units); }

    // What F1 does in every dialog (the main window shows its About box);
    // nothing while none is set.
    static void SetHelpHandler(std::function<void()> fnHelp);

protected:
    void keyPressEvent(QKeyEvent* pEvent) override;
    void showEvent(QShowEvent* pEvent) override;

private:
    QWidget* ControlWidget(int nId) const;
    void CreateControls();
    void LinkControls();
    // The first tab stop after nIndex (from the start for SIZE_MAX), if
    // bEnabledOnly among the enabled and shown ones.
    QWidget* NextTabStop(std::size_t nIndex, bool bEnabledOnly) const;
    void OnEnterKey();

    const DialogTemplate& m_template;
    DialogBaseUnits m_units;
    std::vector<QWidget*> m_controls;  // one for each control of the template, in its order
    bool m_bShown = false;
};

}  // namespace norvane
