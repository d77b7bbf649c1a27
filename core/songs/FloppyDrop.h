// SPDX-License-Identifier: MIT
#pragma once

#include <optional>
#include <string>

#include "core/songs/SongSource.h"
#include "core/songs/Transfer.h"

namespace tunecrate {

// Songs dropped on the floppy list: written into consecutive slots from the
// one under the pointer, at most up to the fifth. A song arrives in its slot
// whole or not at all; a slot keeps its song until a new one is there, and at
// no moment (a crash included) does a slot show a title or comment that is
// not its song's: the slot's old texts are blanked before its files change,
// the new ones written after. The drop stops at its first failure, and no
// slot is overwritten before the song it holds has arrived where it goes.

// `targetSlot` is the row under the drop point, nullopt when there is none.
DropResult DropOntoFloppyList(DropContext& context, std::optional<int> targetSlot, const SongSource& songs);

// Songs dropped on a floppy as a whole (a shelf's image): each goes into the
// next slot without a song, never replacing one; a slot whose file names
// something that is not a song file (a folder) is no free slot, and the user
// is told. What does not fit stays where it is, and the user is told. Hard-disk
// songs come from their folder; floppy songs from their volume (which may be
// the target itself), read whole first, and a move takes them off there only
// once their titles are here. The result's places tell of every song where it
// went (once its title is on the floppy too) or why it stayed.
DropResult DropIntoFreeSlots(DropContext& context, const SongSource& songs);

}  // namespace tunecrate
