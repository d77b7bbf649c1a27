// SPDX-License-Identifier: MIT
#pragma once

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

// The slot indices 0 to 4 that the item lines name; other lines are passed over.
std::vector<int> FloppyItems(const std::vector<std::string>& items);

// Copies of floppy slots' song files on the hard disk, taken before a drop
// writes any slot, removed when it ends.
class StagedSlots {
public:
    StagedSlots(FloppyVolume& floppy, const std::vector<int>& slots, Prompter& prompter);
    ~StagedSlots();
    StagedSlots(const StagedSlots&) = delete;
    StagedSlots& operator=(const StagedSlots&) = delete;

    bool ok() const { return m_ok; }
    // The staged copy of a slot without extension ("<dir>/MDR_02").
    std::string Base(int slot) const;

private:
    std::string m_folder;
    bool m_ok = false;
};

}  // namespace tunecrate
