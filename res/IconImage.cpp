// The program icon, drawn here rather than stored: a folder with a listed
// sheet in front of it.
#include <QPainter>
#include <QPainterPath>

#include "res/Resources.h"

namespace norvane {
namespace {

QImage DrawMainIcon() {
    QImage image(32, 32, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);

    // Folder: a tab and a body.
    const QColor folderEdge(0x8a, 0x5a, 0x00);
    painter.setPen(QPen(folderEdge, 1));
    painter.setBrush(QColor(0xf0, 0xb4, 0x28));
    QPainterPath tab;
    tab.moveTo(2.5, 8.5);
    tab.lineTo(2.5, 5.5);
    tab.lineTo(11.5, 5.5);
    tab.lineTo(14.5, 8.5);
    tab.closeSubpath();
    painter.drawPath(tab);
    painter.setBrush(QColor(0xff, 0xcc, 0x44));
    painter.drawRoundedRect(QRectF(2.5, 8.5, 27, 20), 1.5, 1.5);

    // Sheet with list lines.
    painter.setPen(QPen(QColor(0x40, 0x40, 0x40), 1));
    painter.setBrush(Qt::white);
    painter.drawRect(QRectF(9.5, 12.5, 20, 17));
    painter.setPen(QPen(QColor(0x00, 0x66, 0xcc), 2));
    for (int nLine = 0; nLine < 4; ++nLine) {
        const double y = 16.0 + 3.5 * nLine;
        painter.drawLine(QPointF(12, y), QPointF(14, y));
        painter.drawLine(QPointF(16, y), QPointF(27, y));
    }
    painter.end();
    return image;
}

}  // namespace

QImage MainIconImage() { return DrawMainIcon(); }

QImage LoadIconImage(int nId) {
    if (nId == IDR_MAINFRAME) return DrawMainIcon();
    return {};
}

}  // namespace norvane
