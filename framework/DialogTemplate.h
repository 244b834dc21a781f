// Dialog templates as data: what a dialog resource holds (caption, size and
// font, window styles, the controls in tab order), so that TemplateDialog can
// build each window exactly as it was laid out. Texts are UTF-8 and keep
// their "&" mnemonics; rectangles are in dialog units.
#pragma once

#include <cstdint>
#include <span>

class QImage;

namespace norvane {

// The ids of the buttons that accept and reject a dialog, and the id of a
// control no code refers to.
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDC_STATIC = -1;

enum class ControlKind {
    PushButton,
    DefPushButton,  // the dialog's default button
    AutoCheckBox,
    AutoRadioButton,
    GroupBox,
    Static,  // text; alignment and prefix handling from the style
    Frame,   // a static drawing a black frame, no text
    Icon,    // a static showing an icon resource
    Edit,
    ComboBox,
    ListView,
};

// Control styles the dialog layer acts on. The names follow the window
// styles they stand for.
namespace ctl {
inline constexpr std::uint32_t TabStop = 1u << 0;     // WS_TABSTOP
inline constexpr std::uint32_t Group = 1u << 1;       // WS_GROUP: starts a group
inline constexpr std::uint32_t Border = 1u << 2;      // WS_BORDER
inline constexpr std::uint32_t AlignRight = 1u << 3;  // SS_RIGHT (else left)
inline constexpr std::uint32_t NoPrefix = 1u << 4;    // SS_NOPREFIX: "&" shown as is
inline constexpr std::uint32_t DropDown = 1u << 5;    // CBS_DROPDOWN: editable combo box
inline constexpr std::uint32_t Sort = 1u << 6;        // CBS_SORT
}  // namespace ctl

// Dialog (window) styles the dialog layer acts on.
namespace dlg {
inline constexpr std::uint32_t Caption = 1u << 0;      // WS_CAPTION
inline constexpr std::uint32_t SysMenu = 1u << 1;      // WS_SYSMENU
inline constexpr std::uint32_t ThickFrame = 1u << 2;   // WS_THICKFRAME: resizable
inline constexpr std::uint32_t MinimizeBox = 1u << 3;  // WS_MINIMIZEBOX
inline constexpr std::uint32_t MaximizeBox = 1u << 4;  // WS_MAXIMIZEBOX
inline constexpr std::uint32_t AppWindow = 1u << 5;    // WS_EX_APPWINDOW: own taskbar entry
}  // namespace dlg

struct ControlTemplate {
    int nId;
    ControlKind kind;
    const char* pszText;            // UTF-8, "&" marks the mnemonic; "" for none
    int x, y, cx, cy;               // dialog units
    std::uint32_t nStyle;           // ctl:: flags
    QImage (*pfnIcon)() = nullptr;  // the image of an Icon control
};

struct DialogTemplate {
    int nId;
    const char* pszCaption;
    int cx, cy;  // client size in dialog units
    const char* pszFontFace;
    int nPointSize;
    std::uint32_t nStyle;                       // dlg:: flags
    std::span<const ControlTemplate> controls;  // in tab order
};

}  // namespace norvane
