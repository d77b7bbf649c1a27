// SPDX-License-Identifier: MIT
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tunecrate {

class FloppyVolume;
class Prompter;

// The songs a payload names, checked before anything is copied.

// A hard-disk song named by its base name: "/path/to/folder/Title".
struct HardDiskItem {
    std::string folder;
    std::string title;
};

// True for an absolute path with a title after its last "/": anything else in
// a payload (text from another program) names no song and is passed over.
bool IsHardDiskItem(const std::string& item);
HardDiskItem SplitHardDiskItem(const std::string& item);

// The slot indices 0 to 4 that the item lines name, in ascending order as
// the floppy list sends them; other lines are passed over.
std::vector<int> FloppyItems(const std::vector<std::string>& items);

// A floppy song's files, read whole before a drop writes anything.
struct SlotSong {
    std::string song;
    std::optional<std::string> events;
};

// Nothing (after telling the user) when a file of the slot cannot be read.
std::optional<SlotSong> ReadSlotSong(const FloppyVolume& floppy, int slot, Prompter& prompter);

}  // namespace tunecrate
