// A dialog's message map: each row connects a Qt signal, of one of the
// dialog's controls or of the dialog itself, to a member function of the
// dialog, once, when the controls are made.
//
//   std::span<const MessageMapEntry> CMainDlg::GetMessageMap() const {
//       static const MessageMapEntry kMap[] = {
//           {&CDialog::SizeChanged, &CMainDlg::OnSize},
//           {IDC_OUTPUT_ALL, &QAbstractButton::clicked, &CMainDlg::OnOutputAll},
//           {IDC_LIST_FILES, &CListCtrl::ColumnClick, &CMainDlg::OnColumnClick},
//       };
//       return kMap;
//   }
//
// The member function may take fewer arguments than the signal carries.
#pragma once

#include <functional>

#include <QObject>

namespace norvane {

class CDialog;

struct MessageMapEntry {
    // A signal of the control with id nId.
    template <class Sender, class... SignalArgs, class D, class... HandlerArgs>
    MessageMapEntry(int nId, void (Sender::*pfnSignal)(SignalArgs...), void (D::*pfnHandler)(HandlerArgs...))
        : nControlId(nId), fnConnect([pfnSignal, pfnHandler](CDialog& dlg, QObject* pSender) {
              auto* pTyped = qobject_cast<Sender*>(pSender);
              if (pTyped != nullptr) {
                  QObject::connect(pTyped, pfnSignal, static_cast<D*>(&dlg), pfnHandler, Qt::UniqueConnection);
              }
              return pTyped != nullptr;
          }) {}

    // A signal of the dialog itself.
    template <class Sender, class... SignalArgs, class D, class... HandlerArgs>
    MessageMapEntry(void (Sender::*pfnSignal)(SignalArgs...), void (D::*pfnHandler)(HandlerArgs...))
        : MessageMapEntry(kThisDialog, pfnSignal, pfnHandler) {}

    static constexpr int kThisDialog = 0;
    int nControlId;
    // False when the sender is not of the signal's class.
    std::function<bool(CDialog&, QObject*)> fnConnect;
};

}  // namespace norvane
