// SPDX-License-Identifier: MIT
#pragma once

#include <optional>
#include <string>

#include "core/Result.h"

namespace tunecrate {

class FloppyVolume;

// A floppy song's files, read whole before a drop writes anything.
struct SlotSong {
    std::string song;
    std::optional<std::string> events;
};

// Refused, naming the file, when a file of the slot cannot be read.
Expected<SlotSong> ReadSlotSong(const FloppyVolume& floppy, int slot);

}  // namespace tunecrate
