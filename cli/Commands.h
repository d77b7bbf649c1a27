// SPDX-License-Identifier: MIT
// The commands a script runs without a window: each is the core operation
// that the window uses for the same thing.
#pragma once

#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "core/Result.h"
#include "core/disk/FloppyFinder.h"
#include "core/text/CommandLine.h"

namespace tunecrate {

// The desktop's disk service, as the commands that eject reach it. The
// command line reaches it through a part of its own that it loads only for
// them: the others start without its libraries.
class DiskService {
public:
    virtual ~DiskService() = default;
    // The service is on the bus, or the bus can start it.
    virtual bool Available() const = 0;
    // Ejects the disk in the drive that holds `device`, the drive left on for the next one.
    virtual Result Eject(const std::string& device) const = 0;
    // Makes the floppy at `location` safe to take out, through the service
    // where there is one (see EjectFloppy in the session).
    virtual Result EjectFloppy(const std::string& location, const std::vector<MountEntry>& mounts) const = 0;
};
// The service (never null), or why it cannot be reached.
using DiskServiceMaker = std::function<Expected<std::unique_ptr<DiskService>>()>;

// Runs `line.command`; writes results to `out` and problems to `err` (UTF-8).
// Returns the exit status: 0 when all went well, 1 on a failure.
int RunCommand(const CommandLine& line, std::ostream& out, std::ostream& err, const DiskServiceMaker& diskService);

// A new, empty song floppy image at `path` (--new-floppy, and `new` for one
// image); the exit status, as above, with the problem written to `err`.
int MakeNewFloppy(const std::string& path, std::ostream& err);

}  // namespace tunecrate
