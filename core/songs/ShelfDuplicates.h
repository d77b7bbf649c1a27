// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "core/songs/SongHash.h"
#include "core/text/SongNames.h"

namespace tunecrate {

// The songs of a shelf's image (or stick slot) `file` in `folder`, by
// content: a second pass over a row whose catalogue is read, for the slots
// that it found holding a song. Only reads, and never waits for another
// program that holds the image: an image that cannot be opened leaves every
// song without a hash.
FloppySongHashes HashShelfImage(const std::string& folder, const std::string& file, const std::array<bool, kSlotCount>& holdsSong);

// A song's place on a shelf: its row in shelf order and its slot.
struct ShelfSongPlace {
    std::size_t row = 0;
    int slot = 0;
    bool operator==(const ShelfSongPlace&) const = default;
};

// What the shelf marks on a row as a copy of what lies before it in shelf
// order (rows, then slots), so that the first copy of anything is never
// marked, and deleting what is marked keeps one of each.
//
// `sameAs` tells a copy of a whole floppy: that earlier row holds the same
// songs, as many times each, in any slots; the image can go. A row with
// marked songs but no `sameAs` only shares them: the marked songs can go,
// but the image is no copy of any one floppy (it holds songs of its own, or
// copies gathered from several). A row with `sameAs` has every song marked too.
struct ShelfCopies {
    std::optional<std::size_t> sameAs;   // the first such row
    // For each slot, the first place of a byte-identical song, in this row or an earlier one.
    std::array<std::optional<ShelfSongPlace>, kSlotCount> songSameAs;
};

// The copies among rows in shelf order, one answer per row. A row without
// songs is no copy; a row with a song left without its hash is neither a
// whole floppy's copy nor one that another copies; a song without its hash
// is never marked, nor taken for another's first copy.
std::vector<ShelfCopies> FindShelfDuplicates(const std::vector<FloppySongHashes>& rows);

}  // namespace tunecrate
