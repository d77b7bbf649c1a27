// SPDX-License-Identifier: MIT
#pragma once

#include <QIcon>
#include <QPixmap>
#include <QVector>

namespace tunecrate {

// The program's own pictures, drawn in code so that no image files ship.

// The three 16 x 16 song images: 0 a note on yellow, 1 two joined notes on
// magenta, 2 blank. Both song lists use them by index.
const QVector<QPixmap>& SongImages();

// The program icon, 16 x 16 and 32 x 32.
QIcon ProgramIcon();
QPixmap ProgramIconPixmap(int size);

// The product logo, drawn to fill `size`.
QPixmap LogoPixmap(const QSize& size);

}  // namespace tunecrate
