// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <vector>

#include "core/Result.h"
#include "core/disk/FloppyFinder.h"

namespace tunecrate {

class UDisks;

// Lets go of the file system mounted at `mountPoint` (from `device`): flushes
// it, then unmounts it through the disk service. Failed, naming the folder
// and the service's reason, when the service refuses.
Result UnmountFloppy(const std::string& device, const std::string& mountPoint, const std::vector<MountEntry>& mounts,
                     const UDisks& udisks);

// Makes the floppy at `location` (a mounted floppy's folder, or a drive's
// device) safe to take out: flushes it, then unmounts it and powers its
// drive off through the disk service. Without the service it flushes and
// says how to finish by hand. Ok (with what to tell the user) once the
// disk may come out.
Result EjectFloppy(const std::string& location, const std::vector<MountEntry>& mounts, const UDisks* udisks);

}  // namespace tunecrate
