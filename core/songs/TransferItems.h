// SPDX-License-Identifier: MIT
#pragma once

#include <optional>
#include <string>

namespace tunecrate {

class FloppyVolume;
class Prompter;

// A floppy song's files, read whole before a drop writes anything.
struct SlotSong {
    std::string song;
    std::optional<std::string> events;
};

// Nothing (after telling the user) when a file of the slot cannot be read.
std::optional<SlotSong> ReadSlotSong(const FloppyVolume& floppy, int slot, Prompter& prompter);

}  // namespace tunecrate
