// SPDX-License-Identifier: MIT
#pragma once

#include <optional>
#include <string>

#include "core/text/DragPayload.h"
#include "core/songs/Transfer.h"
#include "core/songs/TransferItems.h"

namespace tunecrate {

// Songs dropped on the floppy list: written into consecutive slots from the
// one under the pointer, at most up to the fifth. A song arrives in its slot
// whole or not at all; a slot keeps its song until a new one is there, and at
// no moment (a crash included) does a slot show a title or comment that is
// not its song's: the slot's old texts are blanked before its files change,
// the new ones written after. The drop stops at its first failure, and no
// slot is overwritten before the song it holds has arrived where it goes.

// `targetSlot` is the row under the drop point, nullopt when there is none.
DropResult DropOntoFloppyList(DropContext& context, std::optional<int> targetSlot, const ParsedPayload& payload);

// Where a song of a drop went, or why it stayed where it was.
struct SongPlace {
    std::string item;       // the payload's item
    int slot = -1;          // -1: it stayed
    std::string reason;     // why it stayed
    bool noFreeSlot = false;   // it stayed for want of a free slot alone
};

// Songs dropped on a floppy as a whole (a shelf's image): each goes into the
// next slot without a song, never replacing one; a slot whose file names
// something that is not a song file (a folder) is no free slot, and the user
// is told. What does not fit stays where it is, and the user is told. Hard-disk
// songs come from their folder; floppy songs from `source` (which may be the
// target itself), read whole first, and a move takes them off `source` only
// once their titles are here. `places` (when given) learns of every song of
// the payload where it went (once its title is on the floppy too) or why it
// stayed.
DropResult DropIntoFreeSlots(DropContext& context, const ParsedPayload& payload, std::vector<SongPlace>* places = nullptr,
                             FloppyVolume* source = nullptr);

// One hard-disk song (its base name) into a slot, asking before it replaces
// the song there.
TransferResult CopyHardDiskSongToSlot(DropContext& context, DropState& state, const std::string& item, int slot);

// One floppy song, read beforehand, into another slot; the caller has asked
// before replacing the song there. `sourceRoot` names the floppy it comes
// from in messages, when that is another floppy.
TransferResult CopyFloppySongToSlot(DropContext& context, DropState& state, int source, int slot,
                                    const SlotRow& sourceRow, const SlotSong& song,
                                    const std::string& sourceRoot = {});

}  // namespace tunecrate
