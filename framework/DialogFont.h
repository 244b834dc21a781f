// The dialog font and dialog units. Templates name "ＭＳ Ｐゴシック" 9 pt; it
// is replaced by an installed Japanese Gothic font, and dialog units become
// pixels through that font's average character width and height, as Windows
// computes them.
#pragma once

#include <QFont>
#include <QRect>
#include <QString>

namespace norvane {

struct DialogBaseUnits {
    int cx = 0;  // average character width, pixels
    int cy = 0;  // character height, pixels
};

// The installed family that stands in for a face name of the templates
// ("ＭＳ Ｐゴシック" and its relatives): a proportional Japanese Gothic when
// one is installed, else any family that covers Japanese. Also registered as
// a Qt font substitution for the face name.
QString SubstituteFontFamily(const QString& strFace);

// The font a dialog uses for face name and point size.
QFont DialogFont(const QString& strFace, int nPointSize);

// Average width of "A".."Z", "a".."z" over 52, rounded; height of the font.
DialogBaseUnits GetDialogBaseUnits(const QFont& font);

// a * b / c rounded half up, as Windows MulDiv for the dialog units and
// sizes (never negative, c > 0) of the templates.
int MulDiv(int a, int b, int c);

// A rectangle in dialog units to pixels: x * cx / 4, y * cy / 8.
QRect MapDialogRect(const QRect& rcUnits, const DialogBaseUnits& units);

}  // namespace norvane
