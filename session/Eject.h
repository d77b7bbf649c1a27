// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <vector>

#include "core/disk/FloppyFinder.h"

namespace tunecrate {

class UDisks;

struct EjectOutcome {
    bool canTakeOut = false;   // everything is on the disk and nothing holds it
    std::string message;       // what to tell the user
};

// Makes the floppy at `location` (a mounted floppy's folder, or a drive's
// device) safe to take out: flushes it, then unmounts it and powers its
// drive off through the disk service. Without the service it flushes and
// says how to finish by hand.
EjectOutcome EjectFloppy(const std::string& location, const std::vector<MountEntry>& mounts, const UDisks* udisks);

}  // namespace tunecrate
