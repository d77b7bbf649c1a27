// SPDX-License-Identifier: MIT
#include "core/FloppyDrop.h"

#include <cstdlib>
#include <filesystem>
#include <set>

#include "core/CommentFile.h"
#include "core/Encoding.h"
#include "core/FileOps.h"
#include "core/FloppyCatalogue.h"
#include "core/FloppyVolume.h"
#include "core/Prompter.h"
#include "core/SongNames.h"
#include "core/TransferItems.h"

namespace tunecrate {

namespace {

std::string SlotFile(int slot, std::string_view extension) { return SlotName(slot) + std::string(extension); }

// A song that did not arrive whole leaves nothing in its slot (a partial copy
// would pass for a song), and a move keeps that song's sources.
void EmptySlotAfterFailure(DropContext& context, DropState& state, int slot, std::size_t movedBefore) {
    context.floppy->Remove(SlotFile(slot, kSongExtension));
    context.floppy->Remove(SlotFile(slot, kEventsExtension));
    context.rows[static_cast<std::size_t>(slot)].title.clear();
    context.rows[static_cast<std::size_t>(slot)].comment.clear();
    state.MovedFiles.resize(movedBefore);
    state.Transferred = true;   // the slot changed
}

// The floppy ran full: the drop stops after this song.
TransferResult SlotDiskFull(DropContext& context, DropState& state, int slot, std::size_t movedBefore) {
    context.prompter.ShowMessage("ディスクがいっぱいです！", "Error!", MessageIcon::Exclamation);
    EmptySlotAfterFailure(context, state, slot, movedBefore);
    return TransferResult::DiskFull;
}

// Any other failure after the slot was written: the drop goes on.
TransferResult SlotFailed(DropContext& context, DropState& state, int slot, std::size_t movedBefore,
                          const std::string& file, const FileResult& result) {
    context.prompter.ShowMessage(CopyFailedMessage(file, result.Reason()), "Error!", MessageIcon::None);
    EmptySlotAfterFailure(context, state, slot, movedBefore);
    return TransferResult::Failed;
}

// Copies the song file (a host file) into the slot, asking before it replaces
// a song there. nullopt: copied, go on with the events file.
std::optional<TransferResult> CopySongFileToSlot(DropContext& context, DropState& state, const std::string& source,
                                                 int slot, std::size_t movedBefore) {
    const std::string target = SlotFile(slot, kSongExtension);
    FileResult copied = context.floppy->CopyFromHost(source, target, true);
    if (copied.status == FileStatus::TargetExists) {
        const std::string question = "曲番号" + std::to_string(slot + 1) + " はすでに存在します。上書きしますか？";
        if (!context.prompter.AskYesNo(question, "Overwrite?")) {
            state.MovedFiles.resize(movedBefore);
            return TransferResult::Skipped;
        }
        copied = context.floppy->CopyFromHost(source, target, false);
        if (copied.status == FileStatus::DiskFull) return SlotDiskFull(context, state, slot, movedBefore);
        if (!copied.ok()) return SlotFailed(context, state, slot, movedBefore, source, copied);
    } else if (copied.status == FileStatus::DiskFull) {
        return SlotDiskFull(context, state, slot, movedBefore);
    } else if (!copied.ok()) {
        // Nothing was written: the slot stays as it was.
        context.prompter.ShowMessage(CopyFailedMessage(source, copied.Reason()), "Error!", MessageIcon::None);
        state.MovedFiles.resize(movedBefore);
        return TransferResult::Failed;
    }
    state.Transferred = true;
    return std::nullopt;
}

// The events file follows the song file; without one the slot keeps none of
// an earlier song's.
std::optional<TransferResult> CopyEventsFileToSlot(DropContext& context, DropState& state,
                                                   const std::optional<std::string>& source, int slot,
                                                   std::size_t movedBefore) {
    const std::string target = SlotFile(slot, kEventsExtension);
    if (!source) {
        context.floppy->Remove(target);
        return std::nullopt;
    }
    FileResult copied = context.floppy->CopyFromHost(*source, target, false);
    if (copied.status == FileStatus::DiskFull) return SlotDiskFull(context, state, slot, movedBefore);
    if (!copied.ok()) return SlotFailed(context, state, slot, movedBefore, *source, copied);
    return std::nullopt;
}

}  // namespace

TransferResult CopyHardDiskSongToSlot(DropContext& context, DropState& state, const std::string& item, int slot) {
    const HardDiskItem song = SplitHardDiskItem(item);
    const auto songFile = FindWithExtensionNoCase(song.folder, song.title, kSongExtension);
    if (!songFile) {
        context.prompter.ShowMessage(CopyFailedMessage(item + std::string(kSongExtension), "No such file"), "Error!",
                                     MessageIcon::None);
        return TransferResult::Failed;
    }
    const std::size_t movedBefore = state.MovedFiles.size();
    const std::string songPath = JoinPath(song.folder, *songFile);
    state.MovedFiles.push_back({false, songPath});
    if (auto ended = CopySongFileToSlot(context, state, songPath, slot, movedBefore)) return *ended;

    std::optional<std::string> eventsPath;
    if (auto events = FindWithExtensionNoCase(song.folder, song.title, kEventsExtension)) {
        eventsPath = JoinPath(song.folder, *events);
    }
    if (auto ended = CopyEventsFileToSlot(context, state, eventsPath, slot, movedBefore)) return *ended;
    if (eventsPath) state.MovedFiles.push_back({false, *eventsPath});

    SlotRow& row = context.rows[static_cast<std::size_t>(slot)];
    // Cut to 17 bytes on a character boundary when the catalogue is written.
    row.title = Utf8ToCp932Lossy(song.title);
    row.comment.clear();
    if (auto comment = FindWithExtensionNoCase(song.folder, song.title, kCommentExtension)) {
        const std::string commentPath = JoinPath(song.folder, *comment);
        row.comment = ReadCommentFile(commentPath);
        state.MovedFiles.push_back({false, commentPath});
    }
    return TransferResult::Copied;
}

TransferResult CopyFloppySongToSlot(DropContext& context, DropState& state, int source, int slot,
                                    const SlotRow& sourceRow, const std::string& stagedBase) {
    if (stagedBase.empty()) {
        StagedSlots staged(*context.floppy, {source}, context.prompter);
        if (!staged.ok()) return TransferResult::Failed;
        return CopyFloppySongToSlot(context, state, source, slot, sourceRow, staged.Base(source));
    }
    const std::size_t movedBefore = state.MovedFiles.size();
    state.MovedFiles.push_back({true, SlotFile(source, kSongExtension)});
    if (auto ended = CopySongFileToSlot(context, state, stagedBase + std::string(kSongExtension), slot, movedBefore)) {
        return *ended;
    }
    std::optional<std::string> eventsPath;
    if (FileSize(stagedBase + std::string(kEventsExtension))) eventsPath = stagedBase + std::string(kEventsExtension);
    if (auto ended = CopyEventsFileToSlot(context, state, eventsPath, slot, movedBefore)) return *ended;
    if (eventsPath) state.MovedFiles.push_back({true, SlotFile(source, kEventsExtension)});

    SlotRow& row = context.rows[static_cast<std::size_t>(slot)];
    row.title = sourceRow.title;
    row.comment = sourceRow.comment;
    return TransferResult::Copied;
}

DropResult DropOntoFloppyList(DropContext& context, std::optional<int> targetSlot, const ParsedPayload& payload) {
    DropResult result;
    if (!targetSlot || *targetSlot < 0 || *targetSlot >= kSlotCount || context.floppy == nullptr ||
        context.rows.size() < static_cast<std::size_t>(kSlotCount)) {
        result.taken = false;
        return result;
    }
    const std::string limitMessage = std::to_string(kSlotCount) + "個以上のファイルは格納できません。";
    DropState state;
    std::set<int> written;                 // slots that received a song in this drop
    std::vector<int> movedSources;         // floppy slots whose songs arrived elsewhere

    if (payload.type == kHardDiskType) {
        int slot = *targetSlot;
        for (const std::string& item : payload.items) {
            if (!IsHardDiskItem(item)) continue;
            if (slot >= kSlotCount) {
                context.prompter.ShowMessage(limitMessage, "Error!", MessageIcon::None);
                break;
            }
            const TransferResult r = CopyHardDiskSongToSlot(context, state, item, slot);
            if (r == TransferResult::DiskFull) break;
            ++slot;
        }
    } else if (payload.type == kFloppyType) {
        // Slots without a song name nothing to copy (text from elsewhere).
        std::vector<int> sources;
        for (int source : FloppyItems(payload.items)) {
            if (context.floppy->Exists(SlotFile(source, kSongExtension))) sources.push_back(source);
        }
        // A song dropped on its own slot: nothing happens, and no message.
        for (std::size_t i = 0; i < sources.size(); ++i) {
            const int slot = *targetSlot + static_cast<int>(i);
            if (slot < kSlotCount && sources[i] == slot) {
                result.taken = false;
                return result;
            }
        }
        // Every source is put aside before any slot is written, so a range
        // that overlaps its own slots copies each song as it was.
        StagedSlots staged(*context.floppy, sources, context.prompter);
        if (!staged.ok()) return result;
        const std::vector<SlotRow> before = context.rows;
        int slot = *targetSlot;
        for (int source : sources) {
            if (slot >= kSlotCount) {
                context.prompter.ShowMessage(limitMessage, "Error!", MessageIcon::None);
                break;
            }
            const TransferResult r = CopyFloppySongToSlot(context, state, source, slot,
                                                          before[static_cast<std::size_t>(source)], staged.Base(source));
            if (r == TransferResult::DiskFull) break;
            if (r == TransferResult::Copied) {
                written.insert(slot);
                movedSources.push_back(source);
            }
            ++slot;
        }
        if (context.move) {
            // A source slot that received another song in this drop keeps it.
            std::erase_if(state.MovedFiles, [&](const MovedFile& file) {
                return file.onFloppy && written.count(std::atoi(file.name.substr(4, 2).c_str())) != 0;
            });
            for (int source : movedSources) {
                if (written.count(source) != 0) continue;
                context.rows[static_cast<std::size_t>(source)].title.clear();
                context.rows[static_cast<std::size_t>(source)].comment.clear();
                state.Transferred = true;
            }
        }
    }

    if (state.Transferred) {
        for (const std::string& failure : WriteCatalogue(*context.floppy, context.rows)) {
            context.prompter.ShowMessage(failure, "Error!", MessageIcon::None);
        }
    }
    if (context.move) {
        DeleteMovedFiles(context, state);
        result.refillHardDiskList = true;
    }
    context.floppy->Flush();
    result.rereadFloppy = state.Transferred;
    return result;
}

}  // namespace tunecrate
