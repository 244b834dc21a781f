// The program's resources: the dialog templates, the string table and the
// icon.
#pragma once

#include <span>
#include <string_view>

#include <QImage>

#include "framework/DialogTemplate.h"
#include "res/Resource.h"

namespace norvane {

extern const DialogTemplate kAboutBoxTemplate;       // IDD_ABOUTBOX
extern const DialogTemplate kMainTemplate;           // IDD_MAIN
extern const DialogTemplate kColumnTitlesTemplate;   // IDD_COLUMN_TITLES
extern const DialogTemplate kOutputOptionsTemplate;  // IDD_OUTPUT_OPTIONS
// Every template, for tools and tests.
std::span<const DialogTemplate* const> AllDialogTemplates();

// An entry of the string table; empty when there is none.
std::string_view FindResourceString(int nId);

// An icon resource as an image (32 x 32), drawn by the program; a null image
// for an unknown id.
QImage LoadIconImage(int nId);
// The program icon (IDR_MAINFRAME).
QImage MainIconImage();

}  // namespace norvane
