// The application object: start-up on the command line's folder, and the
// settings operations every window reaches through AfxGetApp.
#pragma once

#include <string>
#include <utility>

#include "framework/AfxTypes.h"

namespace norvane {

class CListerApp {
public:
    // The object made last is the one AfxGetApp returns.
    CListerApp();
    ~CListerApp();
    CListerApp(const CListerApp&) = delete;
    CListerApp& operator=(const CListerApp&) = delete;

    // Runs the main window, on the folder named on the command line if there
    // is one, until it closes. Always false: the program ends afterwards.
    bool InitInstance(int argc, char** argv);

    // Titles and colours (VALUE1..VALUE6, BGCOLOR, FONTCOLOR) and the folder
    // history (HISTORY1..HISTORY8) of the settings file; texts in the code
    // page. A load changes only the strings whose key holds a value; every
    // operation returns true.
    bool LoadTitleSettings(std::string* pName, std::string* pDate, std::string* pSize, std::string* pVersion,
                           std::string* pExt, std::string* pFolder, std::string* pBgColor, std::string* pFontColor);
    bool SaveTitleSettings(std::string name, std::string date, std::string size, std::string version,
                           std::string ext, std::string folder, std::string bgColor, std::string fontColor);
    bool LoadFolderHistory(std::string* p1, std::string* p2, std::string* p3, std::string* p4, std::string* p5,
                           std::string* p6, std::string* p7, std::string* p8);
    bool SaveFolderHistory(std::string h1, std::string h2, std::string h3, std::string h4, std::string h5,
                           std::string h6, std::string h7, std::string h8);

    // Norvane.ini beside the executable unless another file was named here
    // (tests keep theirs in a folder of their own); empty restores it.
    void SetSettingsPath(std::string strPath) { m_strSettingsPath = std::move(strPath); }
    std::string GetSettingsPath() const;

private:
    std::string m_strSettingsPath;
    CListerApp* m_pPrevious = nullptr;
};

// The application object in use; one with the default settings file when the
// program made none (a window test that opens the main window on its own).
CListerApp* AfxGetApp();

// The folder parameter of a command line (arguments after the program's
// name): the first that does not begin with "-"; empty when there is none.
// Options begin with "-" only, since "/" begins an absolute path here.
std::string ParseCommandLineFolder(int argc, char** argv);

}  // namespace norvane
