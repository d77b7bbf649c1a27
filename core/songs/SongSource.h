// SPDX-License-Identifier: MIT
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace tunecrate {

class FloppyVolume;

// The songs an operation takes, as typed values: the drag text of the lists
// is read into one of these at the window's edge, and every other caller
// (the command line, files from a file manager, tests) builds one directly.

// A hard-disk song: its folder and its title, the base of its file names.
struct HardDiskItem {
    std::string folder;
    std::string title;

    bool operator==(const HardDiskItem&) const = default;
};

// Songs of the hard disk, each in its own folder.
struct SongsOnHardDisk {
    std::vector<HardDiskItem> songs;
};

// Songs in slots (0 to 4, ascending) of a floppy; a null `volume` is the
// floppy that the operation works on.
struct SongsOnFloppy {
    FloppyVolume* volume = nullptr;
    std::vector<int> indices;
};

using SongSource = std::variant<SongsOnHardDisk, SongsOnFloppy>;

// True for an absolute path with a title after its last "/": anything else in
// a payload (text from another program) names no song and is passed over.
bool IsHardDiskItem(const std::string& item);
HardDiskItem SplitHardDiskItem(const std::string& item);

// The slot indices 0 to 4 that the item lines name, in ascending order as
// the floppy list sends them; other lines are passed over.
std::vector<int> FloppyItems(const std::vector<std::string>& items);

struct SlotRow;

// The slots among `chosen` whose rows hold a song, in the order chosen: an
// empty slot has nothing to carry.
std::vector<int> SlotsWithSongs(const std::vector<SlotRow>& rows, const std::vector<int>& chosen);
// Every slot of `rows` that holds a song.
std::vector<int> SlotsWithSongs(const std::vector<SlotRow>& rows);

// The songs that drag text names; nothing when it is not the text of a drag
// of songs (its type is neither the hard disk's nor the floppy's).
std::optional<SongSource> ReadSongPayload(std::string_view bytes);

}  // namespace tunecrate
