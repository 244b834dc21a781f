// The dialog templates of the program.
#include <array>

#include "res/Resources.h"

namespace norvane {
namespace {

using K = ControlKind;
using namespace ctl;

constexpr const char* kFontFace = "ＭＳ Ｐゴシック";
constexpr int kFontSize = 9;

// Defaults a resource compiler gives each kind of control.
constexpr std::uint32_t kButton = TabStop;
constexpr std::uint32_t kCheck = TabStop;
constexpr std::uint32_t kText = Group;
constexpr std::uint32_t kEdit = TabStop | Border;

// The About box.
constexpr ControlTemplate kAboutControls[] = {
    {IDC_STATIC, K::Icon, "", 11, 17, 20, 20, 0, &MainIconImage},
    {IDC_STATIC, K::Static, "Norvane Version 1.2", 40, 10, 119, 8, kText | NoPrefix},
    {IDC_STATIC, K::Static, "ファイル一覧の出力ツール", 40, 25, 119, 8, kText | NoPrefix},
    {IDOK, K::DefPushButton, "OK", 178, 7, 50, 14, Group | TabStop},
};

// The main window.
constexpr ControlTemplate kMainControls[] = {
    {IDCANCEL, K::PushButton, "終了", 291, 7, 56, 14, kButton},
    {IDC_OUTPUT_SELECTED, K::PushButton, "選択行を出力(&S)...", 231, 7, 56, 14, kButton},
    {IDC_OUTPUT_ALL, K::PushButton, "全行を出力(&A)...", 231, 26, 56, 14, kButton},
    {IDC_STATIC, K::Static, "ファイル一覧を出力したい場合は右のボタンを押してください", 7, 7, 174, 8, kText},
    {IDC_SELECT_FOLDER, K::PushButton, "フォルダを選択(&F)...", 7, 24, 58, 14, kButton},
    {IDC_STATIC, K::Static, "フォルダ：", 7, 48, 29, 8, kText | AlignRight},
    {IDC_LIST_FILES, K::ListView, "", 7, 64, 340, 162, Border | TabStop},
    {IDC_FORMATTED_SIZE, K::AutoCheckBox, "ﾌｫｰﾏｯﾄされたｻｲｽﾞ表示(&D)", 73, 31, 91, 10, kCheck},
    {IDC_SUBFOLDERS, K::AutoCheckBox, "サブフォルダを検索(&B)", 73, 19, 80, 10, kCheck},
    {IDC_SYSTEM_FILES, K::AutoCheckBox, "ｼｽﾃﾑﾌｧｲﾙ(&Y)", 170, 17, 56, 10, kCheck},
    {IDC_HIDDEN_FILES, K::AutoCheckBox, "隠しﾌｧｲﾙ(&H)", 170, 31, 53, 10, kCheck},
    // The edit field scrolls: a folder path may be longer than the box.
    {IDC_FOLDER, K::ComboBox, "", 38, 45, 249, 62, TabStop | DropDown | Sort},
    {IDC_UPDATE_LIST, K::PushButton, "リストを更新(&R)", 291, 44, 56, 14, kButton},
};

// Column titles and colours.
constexpr ControlTemplate kTitlesControls[] = {
    {IDOK, K::DefPushButton, "OK", 117, 82, 50, 14, kButton},
    {IDCANCEL, K::PushButton, "ｷｬﾝｾﾙ", 173, 82, 50, 14, kButton},
    {IDC_STATIC, K::Static, "ﾌｧｲﾙ名(&1):", 7, 7, 33, 8, kText},
    {IDC_EDIT_TITLE1, K::Edit, "", 7, 20, 50, 12, kEdit},
    {IDC_STATIC, K::Static, "日時(&2):", 61, 7, 24, 8, kText},
    {IDC_EDIT_TITLE2, K::Edit, "", 62, 20, 50, 12, kEdit},
    {IDC_STATIC, K::Static, "ｻｲｽﾞ(&3):", 118, 7, 25, 8, kText},
    {IDC_EDIT_TITLE3, K::Edit, "", 117, 20, 50, 12, kEdit},
    {IDC_STATIC, K::Static, "ﾊﾞｰｼﾞｮﾝ(&4):", 172, 7, 34, 8, kText},
    {IDC_EDIT_TITLE4, K::Edit, "", 172, 20, 50, 12, kEdit},
    {IDC_STATIC, K::Static, "拡張子(&5):", 226, 7, 31, 8, kText},
    {IDC_EDIT_TITLE5, K::Edit, "", 227, 20, 50, 12, kEdit},
    {IDC_STATIC, K::Static, "ﾌｫﾙﾀﾞ(&6):", 283, 7, 27, 8, kText},
    {IDC_EDIT_TITLE6, K::Edit, "", 282, 20, 50, 12, kEdit},
    {IDC_STATIC, K::GroupBox, "HTML出力のﾃｰﾌﾞﾙﾍｯﾀﾞ", 65, 39, 267, 30, 0},
    {IDC_STATIC, K::Static, "背景色:", 77, 53, 23, 8, kText},
    {IDC_STC_BGCOLOR, K::Frame, "", 105, 51, 20, 13, 0},
    {IDC_BGCOLOR, K::PushButton, "色指定(&B)...", 131, 50, 42, 14, kButton},
    {IDC_STATIC, K::Static, "文字色:", 219, 53, 23, 8, kText},
    {IDC_STC_FONTCOLOR, K::Frame, "", 248, 51, 20, 13, 0},
    {IDC_FONTCOLOR, K::PushButton, "色指定(&F)...", 273, 50, 42, 14, kButton},
    {IDC_SAVE_SETTINGS, K::PushButton, "設定を保存(&S)", 227, 82, 50, 14, kButton},
    {IDC_DEFAULTS, K::PushButton, "初期値(&R)", 282, 82, 50, 14, kButton},
};

// Output options. Radio buttons after the first of a group take no tab stop:
// Tab enters the group, the arrow keys move inside it.
constexpr ControlTemplate kOptionsControls[] = {
    {IDOK, K::DefPushButton, "OK", 257, 156, 50, 14, Group | TabStop},
    {IDCANCEL, K::PushButton, "ｷｬﾝｾﾙ", 257, 180, 50, 14, kButton},
    {IDC_CHK_FILENAME, K::AutoCheckBox, "File&Name", 9, 11, 43, 10, Group | TabStop},
    {IDC_CHK_FILEDATETIME, K::AutoCheckBox, "FileDate&&&Time", 57, 11, 63, 10, kCheck},
    {IDC_CHK_FILESIZE, K::AutoCheckBox, "File&Size", 125, 11, 39, 10, kCheck},
    {IDC_CHK_VERSION, K::AutoCheckBox, "&Version", 169, 11, 38, 10, kCheck},
    {IDC_CHK_EXPANSION, K::AutoCheckBox, "&Expansion", 212, 11, 46, 10, kCheck},
    {IDC_CHK_DIRECTORY, K::AutoCheckBox, "&Directory", 263, 11, 43, 10, kCheck},
    {IDC_STATIC, K::GroupBox, "出力形式(&O)", 9, 32, 127, 68, Group},
    {IDC_RAD_TEXT, K::AutoRadioButton, "TEXT(タブ区切り)で出力", 17, 47, 87, 10, Group | TabStop},
    {IDC_RAD_HTML, K::AutoRadioButton, "HTMLのテーブルで出力", 17, 63, 86, 10, 0},
    {IDC_RAD_CSV, K::AutoRadioButton, "csv形式(カンマ区切り)で出力", 17, 79, 101, 10, 0},
    {IDC_GRP_NAMEDISPLAY, K::GroupBox, "ファイル名表示(&F)", 147, 32, 160, 28, Group},
    {IDC_RAD_NAMEONLY, K::AutoRadioButton, "ファイル名だけを出力", 156, 45, 78, 10, Group | TabStop},
    {IDC_RAD_WITHPATH, K::AutoRadioButton, "パスを付けて出力", 237, 45, 64, 10, 0},
    {IDC_COLUMN_TITLES, K::PushButton, "列のﾀｲﾄﾙ(&L)...", 151, 66, 50, 14, kButton},
    {IDC_CHK_FOLDERHEADING, K::AutoCheckBox, "ファイル一覧の先頭にフォルダ名を出力(&R)", 9, 109, 140, 10,
     Group | TabStop},
    {IDC_CHK_PREFIX, K::AutoCheckBox, "ファイル名の前に文字列を付ける(&P)", 9, 125, 120, 10, Group | TabStop},
    {IDC_STATIC, K::Static, "前文字列(&A):", 9, 139, 39, 8, Group},
    {IDC_EDIT_PREFIX, K::Edit, "", 55, 139, 159, 14, kEdit},
    {IDC_CHK_SUFFIX, K::AutoCheckBox, "ファイル名の後ろに文字列をつける(&C)", 9, 163, 126, 10, Group | TabStop},
    {IDC_STATIC, K::Static, "後ろ文字列(&B):", 9, 178, 44, 8, Group},
    {IDC_EDIT_SUFFIX, K::Edit, "", 55, 178, 159, 14, kEdit},
    {IDC_STATIC, K::Static, "OKをボタンを押した後に、出力先を選択します。", 163, 114, 137, 11, Group},
    {IDC_STATIC, K::GroupBox, "出力ファイル", 151, 101, 156, 29, 0},
};

constexpr std::uint32_t kModalStyle = dlg::Caption | dlg::SysMenu;

}  // namespace

// The four templates as their resources read, one field after another.
// clang-format off
const DialogTemplate kAboutBoxTemplate{IDD_ABOUTBOX, "Norvaneのﾊﾞｰｼﾞｮﾝ情報", 235, 55, kFontFace, kFontSize,
    kModalStyle, kAboutControls};
const DialogTemplate kMainTemplate{IDD_MAIN, "Norvane", 354, 233, kFontFace, kFontSize,
    dlg::Caption | dlg::SysMenu | dlg::ThickFrame | dlg::MinimizeBox | dlg::MaximizeBox | dlg::AppWindow,
    kMainControls};
const DialogTemplate kColumnTitlesTemplate{IDD_COLUMN_TITLES, "出力するﾃｰﾌﾞﾙのﾀｲﾄﾙ編集", 339, 103, kFontFace,
    kFontSize, kModalStyle, kTitlesControls};
const DialogTemplate kOutputOptionsTemplate{IDD_OUTPUT_OPTIONS, "列と出力形式を指定", 314, 201, kFontFace, kFontSize,
    kModalStyle, kOptionsControls};
// clang-format on

namespace {
constexpr std::array<const DialogTemplate*, 4> kTemplates{&kAboutBoxTemplate, &kMainTemplate, &kColumnTitlesTemplate,
                                                          &kOutputOptionsTemplate};
}  // namespace

std::span<const DialogTemplate* const> AllDialogTemplates() { return kTemplates; }

}  // namespace norvane
