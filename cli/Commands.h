// SPDX-License-Identifier: MIT
// The commands a script runs without a window: each is the core operation
// that the window uses for the same thing.
#pragma once

#include <ostream>
#include <string>

#include "core/text/CommandLine.h"

namespace tunecrate {

// Runs `line.command`; writes results to `out` and problems to `err` (UTF-8).
// Returns the exit status: 0 when all went well, 1 on a failure.
int RunCommand(const CommandLine& line, std::ostream& out, std::ostream& err);

// A new, empty song floppy image at `path` (--new-floppy, and `new` for one
// image); the exit status, as above, with the problem written to `err`.
int MakeNewFloppy(const std::string& path, std::ostream& err);

}  // namespace tunecrate
