// A dialog's message map: a table of (control id, notification, handler)
// and (window message, handler) rows. The first row that matches a message
// gets it; a message without a row gets the dialog's default processing.
//
//   std::span<const MessageMapEntry> CMainDlg::GetMessageMap() const {
//       static const MessageMapEntry kMap[] = {
//           {WM_SIZE, &CMainDlg::OnSize},
//           {IDC_OUTPUT_ALL, BN_CLICKED, &CMainDlg::OnOutputAll},
//           {IDC_LIST_FILES, LVN_COLUMNCLICK, &CMainDlg::OnColumnClick},
//       };
//       return kMap;
//   }
#pragma once

#include <functional>

#include "framework/AfxTypes.h"

namespace norvane {

class CDialog;

// What a message carries; each handler kind takes its part.
struct MessageParams {
    UINT nMessage = 0;
    UINT nCode = 0;
    int nId = 0;
    UINT nType = 0;   // WM_SIZE kind; WM_SYSCOMMAND command id
    int cx = 0;       // WM_SIZE client size
    int cy = 0;
    LPARAM lParam = 0;
    NMHDR* pNMHDR = nullptr;      // WM_NOTIFY
    LRESULT* pResult = nullptr;   // WM_NOTIFY
};

// Notification codes (NM_, LVN_, ...) are negative; command codes are not.
constexpr bool IsNotifyCode(UINT nCode) { return nCode >= 0x80000000u; }

struct MessageMapEntry {
    using Handler = std::function<void(CDialog&, const MessageParams&)>;

    UINT nMessage;
    UINT nCode;
    int nId;
    Handler fnHandler;

    // Command from a control (BN_CLICKED, CBN_SELCHANGE, EN_CHANGE, ...), or a
    // notification whose record the handler does not need.
    template <class D>
    MessageMapEntry(int nControlId, UINT nNotifyCode, void (D::*pfn)())
        : nMessage(IsNotifyCode(nNotifyCode) ? WM_NOTIFY : WM_COMMAND),
          nCode(nNotifyCode), nId(nControlId),
          fnHandler([pfn](CDialog& dlg, const MessageParams&) { (static_cast<D&>(dlg).*pfn)(); }) {}

    // Notification from a control (LVN_COLUMNCLICK, LVN_GETDISPINFO, ...).
    template <class D>
    MessageMapEntry(int nControlId, UINT nNotifyCode, void (D::*pfn)(NMHDR*, LRESULT*))
        : nMessage(WM_NOTIFY), nCode(nNotifyCode), nId(nControlId),
          fnHandler([pfn](CDialog& dlg, const MessageParams& params) {
              (static_cast<D&>(dlg).*pfn)(params.pNMHDR, params.pResult);
          }) {}

    // Window message without arguments: WM_DESTROY, WM_CLOSE, WM_PAINT, WM_HELP.
    template <class D>
    MessageMapEntry(UINT nWindowMessage, void (D::*pfn)())
        : nMessage(nWindowMessage), nCode(0), nId(0),
          fnHandler([pfn](CDialog& dlg, const MessageParams&) { (static_cast<D&>(dlg).*pfn)(); }) {}

    // WM_SIZE: kind, client width, client height.
    template <class D>
    MessageMapEntry(UINT nWindowMessage, void (D::*pfn)(UINT, int, int))
        : nMessage(nWindowMessage), nCode(0), nId(0),
          fnHandler([pfn](CDialog& dlg, const MessageParams& params) {
              (static_cast<D&>(dlg).*pfn)(params.nType, params.cx, params.cy);
          }) {}

    // WM_SYSCOMMAND: command id, argument.
    template <class D>
    MessageMapEntry(UINT nWindowMessage, void (D::*pfn)(UINT, LPARAM))
        : nMessage(nWindowMessage), nCode(0), nId(0),
          fnHandler([pfn](CDialog& dlg, const MessageParams& params) {
              (static_cast<D&>(dlg).*pfn)(params.nType, params.lParam);
          }) {}
};

}  // namespace norvane
