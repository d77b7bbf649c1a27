// SPDX-License-Identifier: MIT
#pragma once

#include <QPalette>

namespace tunecrate {

// The palettes of the program's dialogs: navy background, yellow texts; and
// the platform's own colours for lists, trees and standard buttons.
QPalette DialogPalette();
QPalette SystemPalette();

}  // namespace tunecrate
