// Qt's own texts (the standard dialogs: save dialog, folder chooser, colour
// chooser, the buttons of Qt's message boxes) in Japanese, the program's
// language, whatever the locale says.
#pragma once

namespace norvane {

// Loads Qt's Japanese translation from Qt's translations folder and makes
// Japanese the default locale (dates and numbers in those dialogs). Call once
// the application object exists; later calls do nothing. False, with a
// warning, when the translation is not installed: Qt's texts stay English.
bool InstallQtTranslations();

}  // namespace norvane
