// SPDX-License-Identifier: MIT
#pragma once

#include <QFont>
#include <QRect>

namespace tunecrate {

// Converts dialog-template units to pixels from the dialog font's base units,
// the way the layouts were designed: x px = dlu * avgCharWidth / 4,
// y px = dlu * charHeight / 8, avgCharWidth from the 52 letters A-Z a-z.
class DialogUnits {
public:
    explicit DialogUnits(const QFont& font);

    int X(int dlu) const;
    int Y(int dlu) const;
    // A rectangle given as left, top, width, height in dialog units.
    QRect Rect(int left, int top, int width, int height) const;

private:
    int m_baseX;
    int m_baseY;
};

// The dialogs' font: 9-point proportional Gothic, with its stand-ins.
QFont DialogFont();

}  // namespace tunecrate
