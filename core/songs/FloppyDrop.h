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
// whole or not at all; a slot keeps its song until a new one is there.

// `targetSlot` is the row under the drop point, nullopt when there is none.
DropResult DropOntoFloppyList(DropContext& context, std::optional<int> targetSlot, const ParsedPayload& payload);

// Where a song of a drop went.
struct SongPlace {
    std::string item;   // the payload's item
    int slot = 0;
};

// Songs dropped on a floppy as a whole (a shelf's image): each goes into the
// next slot without a song, never replacing one; what does not fit stays
// where it is, and the user is told. Hard-disk songs come from their folder;
// floppy songs from `source` (which may be the target itself), read whole
// first, and a move takes them off `source` only once their titles are here.
// `placed` (when given) learns where each song went once its title is on the
// floppy too.
DropResult DropIntoFreeSlots(DropContext& context, const ParsedPayload& payload, std::vector<SongPlace>* placed = nullptr,
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
