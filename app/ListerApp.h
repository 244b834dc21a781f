// The application object: start-up on the command line's folder, and the
// settings operations every window reaches through AfxGetApp.
#pragma once

#include <memory>
#include <string>

#include "export/ExportSettings.h"
#include "settings/SettingsFile.h"

namespace norvane {

class CListerApp {
public:
    // The object made last is the one AfxGetApp returns.
    CListerApp();
    ~CListerApp();
    CListerApp(const CListerApp&) = delete;
    CListerApp& operator=(const CListerApp&) = delete;

    // Runs the main window, on the folder named on the command line if there
    // is one (or the catalogue: a name ending with ".nvcat"), until it closes. Always false: the program ends
    // afterwards.
    bool InitInstance(int argc, char** argv);

    // The titles and colours and the folder history of the settings file
    // (settings/SettingsFile.h), texts in the code page. A load changes only
    // what the file holds a value for; every operation returns true.
    bool LoadTitleSettings(TitleSettings* pTitles);
    bool LoadFolderHistory(FolderHistory* pHistory);
    bool SaveFolderHistory(const FolderHistory& history);

private:
    CListerApp* m_pPrevious = nullptr;
    // While InitInstance runs the window: the settings file read once,
    // before the window opens.
    struct LoadedSettings {
        TitleSettings titles;
        FolderHistory history;
    };
    std::unique_ptr<LoadedSettings> m_pLoaded;
};

// The application object in use; one with the default settings file when the
// program made none (a window test that opens the main window on its own).
CListerApp* AfxGetApp();

// The folder parameter of a command line (arguments after the program's
// name): the first that does not begin with "-"; empty when there is none.
// Options begin with "-" only, since "/" begins an absolute path here.
std::string ParseCommandLineFolder(int argc, char** argv);

}  // namespace norvane
