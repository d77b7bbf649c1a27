// SPDX-License-Identifier: MIT
#include "core/songs/FloppyDrop.h"

#include <algorithm>
#include <map>

#include "core/text/CommentFile.h"
#include "core/text/Encoding.h"
#include "core/disk/FileOps.h"
#include "core/songs/FloppyCatalogue.h"
#include "core/disk/FloppyVolume.h"
#include "core/songs/Prompter.h"
#include "core/songs/SongDeletion.h"
#include "core/text/SongNames.h"
#include "core/text/Texts.h"

namespace tunecrate {

namespace {

std::string SlotFile(int slot, std::string_view extension) { return SlotName(slot) + std::string(extension); }

bool ConfirmOverwrite(DropContext& context, int slot) {
    if (!context.floppy->Exists(SlotFile(slot, kSongExtension))) return true;
    return context.prompter.AskYesNo(Say(texts::kSlotTaken, {std::to_string(slot + 1)}), "Overwrite?");
}

// The song's files go into the slot together; a song without an events file
// leaves the slot none of an earlier song's. On any failure the slot keeps
// what it held.
TransferResult PutSongInSlot(DropContext& context, DropState& state, int slot, FileContent song,
                             std::optional<FileContent> events, const std::string& shownSource) {
    const Result put = context.floppy->Apply(
        {FileChange{SlotFile(slot, kSongExtension), std::move(song)}, FileChange{SlotFile(slot, kEventsExtension), std::move(events)}},
        Room::Songs);
    if (put.status == Status::DiskFull) {
        context.prompter.ShowMessage(Say(texts::kDiskFull), "Error!", MessageIcon::Exclamation);
        return TransferResult::DiskFull;
    }
    if (!put.ok()) {
        context.prompter.ShowMessage(CopyFailedMessage(shownSource, put.reason), "Error!", MessageIcon::None);
        return TransferResult::Failed;
    }
    state.Transferred = true;
    return TransferResult::Copied;
}

// One floppy song on its way: from which slot to which, and whether the
// user declined to replace the song there.
struct SlotMove {
    int source = 0;
    int slot = 0;
    bool skipped = false;
};

// The order in which no slot is written before the song it holds has gone
// where it is going, so a drop that stops half-way loses nothing.
std::vector<std::size_t> SafeOrder(const std::vector<SlotMove>& moves) {
    std::vector<std::size_t> order;
    std::vector<bool> done(moves.size(), false);
    while (order.size() < moves.size()) {
        std::size_t pick = moves.size();
        for (std::size_t i = 0; i < moves.size() && pick == moves.size(); ++i) {
            if (done[i]) continue;
            bool waits = false;
            for (std::size_t j = 0; j < moves.size(); ++j) {
                waits = waits || (j != i && !done[j] && !moves[j].skipped && moves[j].source == moves[i].slot);
            }
            if (!waits) pick = i;
        }
        // Sorted sources and consecutive targets never wait on each other in a circle.
        if (pick == moves.size()) pick = static_cast<std::size_t>(std::find(done.begin(), done.end(), false) - done.begin());
        done[pick] = true;
        order.push_back(pick);
    }
    return order;
}

}  // namespace

TransferResult CopyHardDiskSongToSlot(DropContext& context, DropState& state, const std::string& item, int slot) {
    const HardDiskItem song = SplitHardDiskItem(item);
    FolderNames& names = state.Source(song.folder);
    const auto songFile = names.WithExtensionNoCase(song.title, kSongExtension);
    if (!songFile) {
        context.prompter.ShowMessage(CopyFailedMessage(item + std::string(kSongExtension), "No such file"), "Error!",
                                     MessageIcon::None);
        return TransferResult::Failed;
    }
    if (!ConfirmOverwrite(context, slot)) return TransferResult::Skipped;
    const std::string songPath = JoinPath(song.folder, *songFile);
    std::optional<std::string> eventsPath;
    if (auto events = names.WithExtensionNoCase(song.title, kEventsExtension)) {
        eventsPath = JoinPath(song.folder, *events);
    }
    std::optional<FileContent> events;
    if (eventsPath) events = HostPath{*eventsPath};
    const TransferResult put = PutSongInSlot(context, state, slot, HostPath{songPath}, std::move(events), songPath);
    if (put != TransferResult::Copied) return put;

    state.MovedFiles.push_back({false, songPath});
    if (eventsPath) state.MovedFiles.push_back({false, *eventsPath});
    SlotRow& row = context.rows[static_cast<std::size_t>(slot)];
    // Cut to 17 bytes on a character boundary when the catalogue is written.
    row.title = Utf8ToCp932Lossy(song.title);
    row.comment.clear();
    if (auto comment = names.WithExtensionNoCase(song.title, kCommentExtension)) {
        const std::string commentPath = JoinPath(song.folder, *comment);
        row.comment = ReadCommentFile(commentPath);
        state.MovedFiles.push_back({false, commentPath});
    }
    state.changedSlots.insert(slot);
    return TransferResult::Copied;
}

TransferResult CopyFloppySongToSlot(DropContext& context, DropState& state, int source, int slot,
                                    const SlotRow& sourceRow, const SlotSong& song, const std::string& sourceRoot) {
    std::optional<FileContent> events;
    if (song.events) events = *song.events;
    const TransferResult put = PutSongInSlot(context, state, slot, song.song, std::move(events),
                                             (sourceRoot.empty() ? context.floppy->Root() : sourceRoot) +
                                                 SlotFile(source, kSongExtension));
    if (put != TransferResult::Copied) return put;
    SlotRow& row = context.rows[static_cast<std::size_t>(slot)];
    row.title = sourceRow.title;
    row.comment = sourceRow.comment;
    state.changedSlots.insert(slot);
    return TransferResult::Copied;
}

namespace {

// The titles and comments, then a move's deletions: a move takes nothing
// away until the titles and comments have arrived too. False when the
// catalogue could not be written.
bool FinishDrop(DropContext& context, const DropState& state, DropResult& result) {
    const bool catalogueWritten = WriteChangedSlots(context, state);
    if (context.move) {
        if (catalogueWritten) DeleteMovedFiles(context, state);
        result.refillHardDiskList = true;
    }
    result.rereadFloppy = state.Transferred || !state.changedSlots.empty();
    return catalogueWritten;
}

}  // namespace

DropResult DropOntoFloppyList(DropContext& context, std::optional<int> targetSlot, const ParsedPayload& payload) {
    DropResult result;
    if (!targetSlot || *targetSlot < 0 || *targetSlot >= kSlotCount || context.floppy == nullptr ||
        context.rows.size() < static_cast<std::size_t>(kSlotCount)) {
        result.taken = false;
        return result;
    }
    const std::string limitMessage = Say(texts::kTooManySongs, {std::to_string(kSlotCount)});
    DropState state;

    if (payload.type == kHardDiskType) {
        if (!TakeFreshRows(context)) {
            result.rereadFloppy = true;
            return result;
        }
        int slot = *targetSlot;
        std::size_t done = 0;
        for (const std::string& item : payload.items) {
            if (!IsHardDiskItem(item)) continue;
            if (!GoOn(context, done++, payload.items.size())) break;
            if (slot >= kSlotCount) {
                context.prompter.ShowMessage(limitMessage, "Error!", MessageIcon::None);
                break;
            }
            if (CopyHardDiskSongToSlot(context, state, item, slot) == TransferResult::DiskFull) break;
            ++slot;
        }
    } else if (payload.type == kFloppyType) {
        // Slots without a song name nothing to copy (text from elsewhere).
        std::vector<int> sources;
        for (int source : FloppyItems(payload.items)) {
            if (context.floppy->Exists(SlotFile(source, kSongExtension))) sources.push_back(source);
        }
        std::vector<SlotMove> moves;
        bool beyondLimit = false;
        for (std::size_t i = 0; i < sources.size(); ++i) {
            const int slot = *targetSlot + static_cast<int>(i);
            // A song dropped on its own slot: nothing happens, and no message.
            if (sources[i] == slot) {
                result.taken = false;
                return result;
            }
            if (slot >= kSlotCount) {
                beyondLimit = true;
                break;
            }
            moves.push_back({sources[i], slot, false});
        }
        if (!TakeFreshRows(context)) {
            result.rereadFloppy = true;
            return result;
        }
        // Every song is read before any slot is written, so a range that
        // overlaps its own slots copies each song as it was.
        std::map<int, SlotSong> songs;
        for (const SlotMove& move : moves) {
            auto song = ReadSlotSong(*context.floppy, move.source, context.prompter);
            if (!song) return result;
            songs.emplace(move.source, std::move(*song));
        }
        const std::vector<SlotRow> before = context.rows;
        // The questions come in slot order, about the slots as they are now.
        for (SlotMove& move : moves) move.skipped = !ConfirmOverwrite(context, move.slot);
        std::set<int> written;
        std::vector<int> arrived;
        bool diskFull = false;
        std::size_t done = 0;
        for (std::size_t i : SafeOrder(moves)) {
            const SlotMove& move = moves[i];
            if (move.skipped) continue;
            if (!GoOn(context, done++, moves.size())) break;
            const TransferResult r = CopyFloppySongToSlot(context, state, move.source, move.slot,
                                                          before[static_cast<std::size_t>(move.source)],
                                                          songs.at(move.source));
            if (r == TransferResult::DiskFull) {
                diskFull = true;
                break;
            }
            if (r == TransferResult::Copied) {
                written.insert(move.slot);
                arrived.push_back(move.source);
            }
        }
        if (beyondLimit && !diskFull) context.prompter.ShowMessage(limitMessage, "Error!", MessageIcon::None);
        if (context.move) {
            // A source slot that received another song in this drop keeps it.
            for (int source : arrived) {
                if (written.count(source) != 0) continue;
                state.MovedFiles.push_back({true, SlotFile(source, kSongExtension)});
                state.MovedFiles.push_back({true, SlotFile(source, kEventsExtension)});
                context.rows[static_cast<std::size_t>(source)].title.clear();
                context.rows[static_cast<std::size_t>(source)].comment.clear();
                state.changedSlots.insert(source);
            }
        }
    }

    FinishDrop(context, state, result);
    return result;
}

DropResult DropIntoFreeSlots(DropContext& context, const ParsedPayload& payload, std::vector<SongPlace>* placed,
                             FloppyVolume* source) {
    DropResult result;
    const bool fromFloppy = payload.type == kFloppyType && source != nullptr;
    if ((payload.type != kHardDiskType && !fromFloppy) || context.floppy == nullptr) {
        result.taken = false;
        return result;
    }
    // Floppy songs are read whole, with their rows, before anything is written.
    std::vector<std::pair<int, SlotSong>> songs;
    CatalogueReading sourceReading;
    if (fromFloppy) {
        sourceReading = ReadCatalogue(source);
        if (!sourceReading.readable) {
            context.prompter.ShowMessage(UnreadableFloppyMessage(source->Root()), "Error!", MessageIcon::Exclamation);
            return result;
        }
        for (int slot : FloppyItems(payload.items)) {
            if (sourceReading.rows[static_cast<std::size_t>(slot)].state == SlotState::EmptySlot) continue;
            auto song = ReadSlotSong(*source, slot, context.prompter);
            if (!song) return result;
            songs.emplace_back(slot, std::move(*song));
        }
    }
    if (!TakeFreshRows(context)) {
        result.rereadFloppy = true;
        return result;
    }
    DropState state;
    std::vector<int> arrived;   // source slots whose song is on the target
    int slot = 0;
    const auto nextFree = [&] {
        while (slot < kSlotCount && context.rows[static_cast<std::size_t>(slot)].state != SlotState::EmptySlot) ++slot;
        return slot;
    };
    const std::size_t count = fromFloppy ? songs.size() : payload.items.size();
    for (std::size_t i = 0; i < count; ++i) {
        const std::string item = fromFloppy ? std::to_string(songs[i].first) : payload.items[i];
        if (!fromFloppy && !IsHardDiskItem(item)) continue;
        if (!GoOn(context, i, count)) break;
        if (nextFree() >= kSlotCount) {
            context.prompter.ShowMessage(Say(texts::kTooManySongs, {std::to_string(kSlotCount)}), "Error!", MessageIcon::None);
            break;
        }
        const TransferResult r =
            fromFloppy ? CopyFloppySongToSlot(context, state, songs[i].first, slot,
                                              sourceReading.rows[static_cast<std::size_t>(songs[i].first)], songs[i].second,
                                              source->Root())
                       : CopyHardDiskSongToSlot(context, state, item, slot);
        if (r == TransferResult::DiskFull) break;
        if (r == TransferResult::Copied) {
            context.rows[static_cast<std::size_t>(slot)].state = SlotState::PartialSong;   // taken now
            if (placed != nullptr) placed->push_back({item, slot});
            if (fromFloppy) arrived.push_back(songs[i].first);
        }
        ++slot;
    }
    // A move off another floppy takes its songs away there, once they are whole here.
    const bool moveOff = fromFloppy && context.move;
    if (moveOff) context.move = false;
    const bool written = FinishDrop(context, state, result);
    if (moveOff) {
        context.move = true;
        if (written && !arrived.empty()) {
            if (Result gone = DeleteFloppySlots(*source, sourceReading.rows, arrived); !gone.ok()) {
                context.prompter.ShowMessage(gone.reason, "Error!", MessageIcon::Exclamation);
            }
        }
    }
    if (!written && placed != nullptr) placed->clear();
    return result;
}

}  // namespace tunecrate
