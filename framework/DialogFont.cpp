#include "framework/DialogFont.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QStringList>

namespace norvane {

QString SubstituteFontFamily(const QString& strFace) {
    static const QString strChosen = [] {
        // Proportional Gothic faces first: the templates were laid out for one.
        const QStringList preferred{"IPAPGothic",         "IPA Pゴシック", "VL PGothic",  "Noto Sans CJK JP",
                                    "Source Han Sans JP", "IPAGothic",     "IPAゴシック", "VL Gothic"};
        const QStringList families = QFontDatabase::families();
        for (const QString& name : preferred) {
            if (families.contains(name, Qt::CaseInsensitive)) return name;
        }
        for (const QString& name : QFontDatabase::families(QFontDatabase::Japanese)) {
            if (!QFontDatabase::isBitmapScalable(name) || QFontDatabase::isSmoothlyScalable(name)) return name;
        }
        return QString();
    }();
    if (strChosen.isEmpty()) return strFace;
    for (const QString& face : {strFace, QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("MS PGothic"),
                                QStringLiteral("ＭＳ ゴシック"), QStringLiteral("MS Gothic")}) {
        if (!QFont::substitutes(face).contains(strChosen)) QFont::insertSubstitution(face, strChosen);
    }
    return strChosen;
}

QFont DialogFont(const QString& strFace, int nPointSize) {
    QFont font(SubstituteFontFamily(strFace));
    font.setPointSize(nPointSize);
    return font;
}

DialogBaseUnits GetDialogBaseUnits(const QFont& font) {
    const QFontMetrics metrics(font);
    const int nWidth =
        metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return {(nWidth / 26 + 1) / 2, metrics.height()};
}

int MulDiv(int a, int b, int c) { return static_cast<int>((static_cast<long long>(a) * b + c / 2) / c); }

QRect MapDialogRect(const QRect& rcUnits, const DialogBaseUnits& units) {
    const int nLeft = MulDiv(rcUnits.left(), units.cx, 4);
    const int nTop = MulDiv(rcUnits.top(), units.cy, 8);
    const int nRight = MulDiv(rcUnits.left() + rcUnits.width(), units.cx, 4);
    const int nBottom = MulDiv(rcUnits.top() + rcUnits.height(), units.cy, 8);
    return QRect(nLeft, nTop, nRight - nLeft, nBottom - nTop);
}

}  // namespace norvane
