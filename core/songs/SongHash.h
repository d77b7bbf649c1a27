// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <optional>
#include <string>

#include "core/disk/Sha256.h"
#include "core/text/SongNames.h"

namespace tunecrate {

class FloppyVolume;

// A song told by its bytes alone: two songs with one hash have the same
// files byte for byte, whatever their slots, floppies, titles and comments
// in the catalogue, or the case of their extensions.
using SongHash = Sha256::Digest;

// A song's files as read; nullopt for a file that is not there.
struct SongContent {
    std::optional<std::string> song;      // .B00
    std::optional<std::string> events;    // .EVT
    std::optional<std::string> comment;   // .cmt
};

// The hash of the files in that order, each framed by whether it is there and
// its length, so that a missing file, an empty one, or bytes moved from one
// file to the next give another hash.
SongHash HashSong(const SongContent& files);

// A floppy's songs by their content, slot by slot.
struct FloppySongHashes {
    std::array<bool, kSlotCount> holdsSong{};   // as the floppy's catalogue was read
    // Each song's hash; none for an empty slot, nor for a song whose files
    // could not all be read whole (never a hash of part of them).
    std::array<std::optional<SongHash>, kSlotCount> hashes;
    // Every song of the floppy has its hash; a floppy without songs too.
    bool AllRead() const;
};

// Hashes the songs of the slots that hold one, reading only their files. A
// song without its .B00 file, with a file larger than a floppy, or whose
// file changes size while it is read has no hash.
FloppySongHashes HashFloppySongs(const FloppyVolume& floppy, const std::array<bool, kSlotCount>& holdsSong);

}  // namespace tunecrate
