// Resource ids: dialog templates, strings, the icon and the controls of each
// template. Several controls of different dialogs share a number; each
// dialog's names are grouped below. IDOK, IDCANCEL and IDC_STATIC are the
// dialog layer's.
#pragma once

#include "framework/DialogTemplate.h"

namespace norvane {

// Templates, strings, icon.
inline constexpr int IDD_ABOUTBOX = 100;
inline constexpr int IDS_ABOUTBOX = 101;
inline constexpr int IDD_MAIN = 102;
inline constexpr int IDR_MAINFRAME = 129;
inline constexpr int IDD_COLUMN_TITLES = 132;
inline constexpr int IDD_OUTPUT_OPTIONS = 134;

// Main window (IDD_MAIN).
inline constexpr int IDC_LIST_FILES = 1000;
inline constexpr int IDC_OUTPUT_SELECTED = 1001;
inline constexpr int IDC_OUTPUT_ALL = 1002;
inline constexpr int IDC_FORMATTED_SIZE = 1004;
inline constexpr int IDC_SUBFOLDERS = 1005;
inline constexpr int IDC_SYSTEM_FILES = 1007;
inline constexpr int IDC_HIDDEN_FILES = 1009;
inline constexpr int IDC_SELECT_FOLDER = 1019;
inline constexpr int IDC_FOLDER = 1020;
inline constexpr int IDC_UPDATE_LIST = 1038;

// Output options (IDD_OUTPUT_OPTIONS).
inline constexpr int IDC_RAD_TEXT = 1002;
inline constexpr int IDC_RAD_HTML = 1003;
inline constexpr int IDC_CHK_FILENAME = 1004;
inline constexpr int IDC_CHK_FILEDATETIME = 1005;
inline constexpr int IDC_RAD_NAMEONLY = 1006;
inline constexpr int IDC_CHK_FILESIZE = 1007;
inline constexpr int IDC_RAD_WITHPATH = 1008;
inline constexpr int IDC_CHK_VERSION = 1009;
inline constexpr int IDC_CHK_DIRECTORY = 1010;
inline constexpr int IDC_CHK_FOLDERHEADING = 1011;
inline constexpr int IDC_CHK_PREFIX = 1012;
inline constexpr int IDC_EDIT_PREFIX = 1013;
inline constexpr int IDC_CHK_SUFFIX = 1014;
inline constexpr int IDC_EDIT_SUFFIX = 1015;
inline constexpr int IDC_RAD_CSV = 1016;
inline constexpr int IDC_GRP_NAMEDISPLAY = 1017;
inline constexpr int IDC_CHK_EXPANSION = 1018;
inline constexpr int IDC_COLUMN_TITLES = 1032;

// Column titles and colours (IDD_COLUMN_TITLES).
inline constexpr int IDC_EDIT_TITLE1 = 1023;
inline constexpr int IDC_EDIT_TITLE2 = 1024;
inline constexpr int IDC_EDIT_TITLE5 = 1025;
inline constexpr int IDC_STC_BGCOLOR = 1026;
inline constexpr int IDC_EDIT_TITLE3 = 1027;
inline constexpr int IDC_EDIT_TITLE4 = 1028;
inline constexpr int IDC_EDIT_TITLE6 = 1029;
inline constexpr int IDC_DEFAULTS = 1030;
inline constexpr int IDC_BGCOLOR = 1031;
inline constexpr int IDC_SAVE_SETTINGS = 1033;
inline constexpr int IDC_FONTCOLOR = 1034;
inline constexpr int IDC_STC_FONTCOLOR = 1035;

}  // namespace norvane
