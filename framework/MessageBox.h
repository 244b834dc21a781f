// Message boxes as a Windows program shows them. Texts are UTF-8; "\r\n"
// breaks a line like "\n"; an empty caption gives the application's name.
// Each box is a QMessageBox, modal while it runs.
#pragma once

#include <string_view>

class QWidget;

namespace norvane {

enum class MessageIcon { kInformation, kWarning };

// A box with OK alone, which Esc also ends.
void ShowMessage(QWidget* pOwner, std::string_view strText, MessageIcon icon, std::string_view strCaption = {});
// A box with Yes (the default) and No, without an icon; it has no cancel, so
// Esc and the close box do nothing. True for Yes.
bool AskYesNo(QWidget* pOwner, std::string_view strText, std::string_view strCaption);

}  // namespace norvane
