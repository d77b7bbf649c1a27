// SPDX-License-Identifier: MIT
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tunecrate {

class FolderNames;

// One song of a hard-disk folder: a .B00 file and its companions, which share
// its title and are found without regard to the case of their extension.
// A folder may hold 100,000 songs: a row keeps only what the list shows, and
// derives the rest (the first word of the comment, the base of the file names).
struct HardDiskRow {
    std::string title;        // the file name less ".B00", in its own letter case
    std::string sizeText;     // "%dkb"
    std::string wholeComment; // CP932 bytes: the whole comment, white space around it left out
    bool hasEvt = false;

    bool operator==(const HardDiskRow&) const = default;
};

// The real name of a song's file with this extension (in any letter case)
// in the folder; `title` may also be the text the file's name shows as
// (FileNameText), as songs named in Shift-JIS travel. nullopt when none.
std::optional<std::string> FindSongFile(FolderNames& names, std::string_view title, std::string_view extension);

// The songs of a folder in title order; empty when the folder cannot be read.
// One pass over the folder answers every companion question, so a folder of
// thousands of songs lists about as fast as the folder itself.
std::vector<HardDiskRow> ListFolderSongs(std::string_view folder);

}  // namespace tunecrate
