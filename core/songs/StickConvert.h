// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <vector>

#include "core/Result.h"

namespace tunecrate {

// One floppy moved between a stick's slot and an image file.
struct ConvertedFloppy {
    int slot = 0;
    std::string image;   // the image file's path
    Result result;       // Ok, or why this one did not go
};

struct StickConversion {
    Result result;   // refused before anything was done, or Ok
    std::vector<ConvertedFloppy> floppies;
    bool ok() const;
};

// Every used slot of a factory stick (a device or a dump of one) becomes an
// image file DSKAnnnn.IMG in `folder`, numbered like its slot, as a firmware
// that reads image files numbers them. A file already there is never
// replaced: that slot is left out, and said.
StickConversion StickToImages(const std::string& stick, const std::string& folder);

// The numbered images of `folder` (DSKA0000 to DSKA0999, whatever their
// label) laid out as the slots of a device or dump, each slot read back and
// compared. Every other slot is left unused. A mounted device is refused;
// whatever was on the stick before is gone, so the window asks first.
StickConversion ImagesToStick(const std::string& folder, const std::string& stick);

}  // namespace tunecrate
