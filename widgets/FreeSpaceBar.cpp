// SPDX-License-Identifier: MIT
#include "widgets/FreeSpaceBar.h"

#include <QPainter>

namespace tunecrate {

void PaintFreeSpaceBar(QPainter& painter, const QSize& size, int freePercent) {
    const int w = size.width();
    const int h = size.height();
    painter.fillRect(0, 0, w, 1, Qt::black);
    painter.fillRect(0, h - 1, w, 1, Qt::black);
    painter.fillRect(0, 0, 1, h, Qt::black);
    painter.fillRect(w - 1, 0, 1, h, Qt::black);
    if (freePercent < 0) return;
    const int used = w * (100 - freePercent) / 100;
    // Rectangles as left, top, right, bottom with right and bottom excluded.
    painter.fillRect(QRect(QPoint(0, 2), QPoint(used - 1, h - 2)), QColor(255, 0, 0));
    painter.fillRect(QRect(QPoint(used, 1), QPoint(w - 1, h - 2)), QColor(0, 0, 0));
}

FreeSpaceBar::FreeSpaceBar(QWidget* parent) : QWidget(parent) {}

void FreeSpaceBar::SetFreePercent(int freePercent) {
    m_freePercent = freePercent;
    update();
}

void FreeSpaceBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    PaintFreeSpaceBar(painter, size(), m_freePercent);
}

}  // namespace tunecrate
