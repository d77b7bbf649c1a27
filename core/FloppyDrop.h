// SPDX-License-Identifier: MIT
#pragma once

#include <optional>
#include <string>

#include "core/DragPayload.h"
#include "core/Transfer.h"

namespace tunecrate {

// Songs dropped on the floppy list: written into consecutive slots from the
// one under the pointer, at most up to the fifth.

// `targetSlot` is the row under the drop point, nullopt when there is none.
DropResult DropOntoFloppyList(DropContext& context, std::optional<int> targetSlot, const ParsedPayload& payload);

// One hard-disk song (its base name) into a slot.
TransferResult CopyHardDiskSongToSlot(DropContext& context, DropState& state, const std::string& item, int slot);

// One floppy song into another slot; `stagedBase` is where its files were
// put aside before any slot was written ("" for no staging: read the slot).
TransferResult CopyFloppySongToSlot(DropContext& context, DropState& state, int source, int slot,
                                    const SlotRow& sourceRow, const std::string& stagedBase);

}  // namespace tunecrate
