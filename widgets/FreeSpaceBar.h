// SPDX-License-Identifier: MIT
#pragma once

#include <QWidget>

class QPainter;

namespace tunecrate {

// Paints the floppy's free-space bar into a frame of `size`: a black outline,
// the used share in red from the left and the free share in black. Nothing but
// the outline when `freePercent` is negative (no reading).
void PaintFreeSpaceBar(QPainter& painter, const QSize& size, int freePercent);

// The black frame of the main window that shows the free-space bar.
class FreeSpaceBar : public QWidget {
    Q_OBJECT
public:
    explicit FreeSpaceBar(QWidget* parent = nullptr);
    void SetFreePercent(int freePercent);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int m_freePercent = -1;
};

}  // namespace tunecrate
