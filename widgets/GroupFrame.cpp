// SPDX-License-Identifier: MIT
#include "widgets/GroupFrame.h"

#include <QPainter>

namespace tunecrate {

GroupFrame::GroupFrame(const QString& caption, QWidget* parent) : QWidget(parent), m_caption(caption) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    // Screen readers name the group by its caption, which is only painted.
    setAccessibleName(caption);
}

void GroupFrame::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QFontMetrics metrics(font());
    const int top = metrics.height() / 2;
    const int w = width();
    const int h = height();
    // Etched: a grey line with a white line just inside and below it.
    const QColor dark(128, 128, 128);
    const QColor light(255, 255, 255);
    painter.setPen(dark);
    painter.drawRect(0, top, w - 2, h - top - 2);
    painter.setPen(light);
    painter.drawLine(1, top + 1, w - 3, top + 1);
    painter.drawLine(1, top + 1, 1, h - 3);
    painter.drawLine(0, h - 1, w - 1, h - 1);
    painter.drawLine(w - 1, top, w - 1, h - 1);

    const int textLeft = metrics.averageCharWidth() + 2;
    const int textWidth = metrics.horizontalAdvance(m_caption);
    const QRect textRect(textLeft, 0, textWidth + 4, metrics.height());
    painter.fillRect(textRect, palette().color(QPalette::Window));
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(textRect, Qt::AlignCenter | Qt::TextSingleLine, m_caption);
}

}  // namespace tunecrate
