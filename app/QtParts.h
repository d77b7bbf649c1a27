// SPDX-License-Identifier: MIT
// What the command line loads only when it needs it, from a part of its own
// (tunecrate-qt.so, beside the window's program): the user's language, on the
// first text it says, and the desktop's disk service, for the commands that
// eject. Most commands say nothing and eject nothing, and start without Qt.
#pragma once

#include <memory>
#include <string>

#include "cli/Commands.h"

namespace tunecrate {

struct QtParts {
    std::string (*translate)(const char* source);   // a core text in the user's language
    std::unique_ptr<DiskService> (*diskService)();  // on the system bus
};

}  // namespace tunecrate

// The part's one entry.
extern "C" const tunecrate::QtParts* tunecrate_qt_parts();
