// SPDX-License-Identifier: MIT
#include "core/songs/FloppyDrop.h"

#include <algorithm>
#include <map>
#include <variant>

#include "core/text/CommentFile.h"
#include "core/text/Encoding.h"
#include "core/disk/FileOps.h"
#include "core/songs/FloppyCatalogue.h"
#include "core/songs/HardDiskSongs.h"
#include "core/disk/FloppyVolume.h"
#include "core/songs/Prompter.h"
#include "core/songs/SongDeletion.h"
#include "core/text/SongNames.h"
#include "core/Texts.h"
#include "core/songs/TransferItems.h"

namespace tunecrate {

namespace {

std::string SlotFile(int slot, std::string_view extension) { return SlotName(slot) + std::string(extension); }

bool ConfirmOverwrite(DropContext& context, DropState& state, int slot, std::size_t remaining) {
    if (!context.floppy->Exists(SlotFile(slot, kSongExtension))) return true;
    return ConfirmReplace(context, state, Translated(texts::kSlotTaken, {std::to_string(slot + 1)}), remaining);
}

// The files of the slots from `first`, `count` of them, as a change names them.
std::vector<std::string> SlotFiles(int first, int count) {
    std::vector<std::string> names;
    for (int slot = first; slot < first + count && slot < kSlotCount; ++slot) {
        names.push_back(SlotFile(slot, kSongExtension));
        names.push_back(SlotFile(slot, kEventsExtension));
    }
    return names;
}

// A song on its way into a slot: its files and the texts the slot takes.
struct IncomingSong {
    FileContent song;
    std::optional<FileContent> events;   // none: the slot keeps no events file of an earlier song
    std::string title, comment;
    std::string shownSource;             // the source as messages name it
};

// Puts a song into a slot so that at no moment, a crash included, does the
// slot show another song's title or comment: texts of the slot's old song go
// first, then the files change together, and the song's own texts follow
// with the drop's next catalogue write. On a failure the slot keeps its song
// and (with that next write) its texts.
Result PutSongInSlot(DropContext& context, DropState& state, int slot, IncomingSong in) {
    SlotRow& row = context.rows[static_cast<std::size_t>(slot)];
    const SlotRow old = row;
    const bool blankFirst = (!row.title.empty() || !row.comment.empty()) && (row.title != in.title || row.comment != in.comment);
    if (blankFirst) {
        row.title.clear();
        row.comment.clear();
        state.changedSlots.insert(slot);
        if (const Result blanked = Told(context, state, WriteChangedSlots(context, state)); !blanked.ok()) {
            return Result{Status::Failed, 0, blanked.reason};
        }
    }
    const std::vector<std::string> files = SlotFiles(slot, 1);
    const auto looksBefore = context.floppy->LookAt(files);
    const Result put = context.floppy->Apply(
        {FileChange{files[0], std::move(in.song)}, FileChange{files[1], std::move(in.events)}}, CatalogueReserve::Keep);
    if (!put.ok()) {
        // What the disk holds decides: the old song keeps its texts, and a
        // new one whose change the disk would not confirm gets its own.
        const bool changed = context.floppy->LookAt(files) != looksBefore;
        if (blankFirst || changed) {
            row.title = changed ? in.title : old.title;
            row.comment = changed ? in.comment : old.comment;
            state.changedSlots.insert(slot);
        }
        state.Transferred = state.Transferred || changed;
        ReportPutFailure(context, state, put, in.shownSource);
        return Result{put.status == Status::DiskFull ? Status::DiskFull : Status::Failed, put.error, state.failure};
    }
    // Done, with something to tell (the old space could not be freed).
    if (!put.reason.empty()) context.prompter.ShowMessage(put.reason, Translated(texts::kErrorCaption), MessageIcon::None);
    state.Transferred = true;
    ++context.arrived;
    row.title = std::move(in.title);
    row.comment = std::move(in.comment);
    row.state = SlotState::PartialSong;   // taken now; the next reading tells the rest
    state.changedSlots.insert(slot);
    return {};
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

// A hard-disk song as a slot takes it, with the files a move takes away once
// it is there; or why it cannot come, told.
struct HardDiskSong {
    IncomingSong in;
    std::vector<std::string> files;
};

Expected<HardDiskSong> ReadyHardDiskSong(DropContext& context, DropState& state, const HardDiskItem& song) {
    FolderNames& names = state.Source(song.folder);
    const auto songFile = FindSongFile(names, song.title, kSongExtension);
    if (!songFile) {
        return Told(context, state, Result{Status::Failed, 0, CopyFailedMessage(HardDiskBaseName(song.folder, song.title) + std::string(kSongExtension),
                                                                                Translated(texts::kNoSuchFile))});
    }
    const std::string songPath = JoinPath(song.folder, *songFile);
    std::optional<std::string> eventsPath, commentPath;
    if (auto events = FindSongFile(names, song.title, kEventsExtension)) eventsPath = JoinPath(song.folder, *events);
    if (auto comment = FindSongFile(names, song.title, kCommentExtension)) commentPath = JoinPath(song.folder, *comment);
    HardDiskSong ready{IncomingSong{HostPath{songPath}, std::nullopt, Utf8ToCp932Lossy(FileNameText(song.title)), {}, songPath}, {}};
    if (eventsPath) ready.in.events = HostPath{*eventsPath};
    // Cut to 17 bytes on a character boundary when the catalogue is written.
    if (commentPath) ready.in.comment = ReadCommentFile(*commentPath);
    for (const auto& path : {std::optional(songPath), eventsPath, commentPath}) {
        if (path) ready.files.push_back(*path);
    }
    return ready;
}

// One hard-disk song into a slot, asking before it replaces the song there;
// `remaining` songs, this one included, may still come into slots.
Result CopyHardDiskSongToSlot(DropContext& context, DropState& state, const HardDiskItem& song, int slot,
                              std::size_t remaining) {
    Expected<HardDiskSong> ready = ReadyHardDiskSong(context, state, song);
    if (!ready) return ready.error();
    const bool taken = context.floppy->Exists(SlotFile(slot, kSongExtension));
    if (!ConfirmOverwrite(context, state, slot, remaining)) return Result{Status::TargetExists, 0, {}};
    if (taken) {
        if (const Result shown = Told(context, state, SlotStillShown(context, slot)); !shown.ok()) return shown;
    }
    Result put = PutSongInSlot(context, state, slot, std::move(ready->in));
    if (!put.ok()) return put;
    for (const std::string& path : ready->files) state.MovedFiles.push_back({false, path});
    return put;
}

// One floppy song, read beforehand, into another slot; the caller has asked
// before replacing the song there. `sourceRoot` names the floppy it comes
// from in messages, when that is another floppy.
Result CopyFloppySongToSlot(DropContext& context, DropState& state, int source, int slot, const SlotRow& sourceRow,
                            const SlotSong& song, const std::string& sourceRoot = {}) {
    IncomingSong in{song.song, std::nullopt, sourceRow.title, sourceRow.comment,
                    (sourceRoot.empty() ? context.floppy->Root() : sourceRoot) + SlotFile(source, kSongExtension)};
    if (song.events) in.events = *song.events;
    return PutSongInSlot(context, state, slot, std::move(in));
}

// The texts still to write (a move's sources blanked among them), then a
// move's deletions: a move takes nothing away until the titles and comments
// have arrived too. Gives the catalogue's writing.
Result FinishDrop(DropContext& context, DropState& state, DropResult& result) {
    const bool textsPending = !state.changedSlots.empty();
    const Result catalogue = Told(context, state, WriteChangedSlots(context, state));
    if (context.move) {
        if (catalogue.ok()) DeleteMovedFiles(context, state);
        result.refillHardDiskList = true;
    }
    result.rereadFloppy = state.Transferred || textsPending;
    return catalogue;
}

}  // namespace

DropResult DropOntoFloppyList(DropContext& context, std::optional<int> targetSlot, const SongSource& songs) {
    DropResult result;
    const auto* fromFloppy = std::get_if<SongsOnFloppy>(&songs);
    // Slots of another floppy are not this list's to take.
    if (!targetSlot || *targetSlot < 0 || *targetSlot >= kSlotCount || context.floppy == nullptr ||
        context.rows.size() < static_cast<std::size_t>(kSlotCount) ||
        (fromFloppy != nullptr && fromFloppy->volume != nullptr && fromFloppy->volume != context.floppy)) {
        return result;
    }
    const std::string limitMessage = Translated(texts::kTooManySongs, {std::to_string(kSlotCount)});
    DropState state;

    if (const auto* fromHardDisk = std::get_if<SongsOnHardDisk>(&songs)) {
        const std::vector<HardDiskItem>& items = fromHardDisk->songs;
        const int count = static_cast<int>(items.size());
        if (!Told(context, state, ReadyForChange(context, SlotFiles(*targetSlot, count))).ok()) {
            result.rereadFloppy = true;
            return result;
        }
        int slot = *targetSlot;
        for (std::size_t done = 0; done < items.size(); ++done) {
            if (!ReportProgress(context, done, items.size())) break;
            if (slot >= kSlotCount) {
                context.prompter.ShowMessage(limitMessage, Translated(texts::kErrorCaption), MessageIcon::None);
                break;
            }
            const std::size_t remaining = std::min(items.size() - done, static_cast<std::size_t>(kSlotCount - slot));
            if (!DropContinuesAfter(CopyHardDiskSongToSlot(context, state, items[done], slot, remaining))) break;
            ++slot;
        }
    } else {
        // Slots without a song name nothing to copy (text from elsewhere).
        std::vector<int> sources;
        for (int source : fromFloppy->indices) {
            if (context.floppy->Exists(SlotFile(source, kSongExtension))) sources.push_back(source);
        }
        std::vector<SlotMove> moves;
        bool beyondLimit = false;
        for (std::size_t i = 0; i < sources.size(); ++i) {
            const int slot = *targetSlot + static_cast<int>(i);
            // A song dropped on its own slot: nothing happens, and no message.
            if (sources[i] == slot) return result;
            if (slot >= kSlotCount) {
                beyondLimit = true;
                break;
            }
            moves.push_back({sources[i], slot, false});
        }
        // Everything the drop may touch: the targets, and a move's sources.
        std::vector<std::string> touched = SlotFiles(*targetSlot, static_cast<int>(moves.size()));
        for (const SlotMove& move : context.move ? moves : std::vector<SlotMove>{}) {
            for (const std::string& name : SlotFiles(move.source, 1)) touched.push_back(name);
        }
        if (!Told(context, state, ReadyForChange(context, touched)).ok()) {
            result.rereadFloppy = true;
            return result;
        }
        // Every song is read before any slot is written, so a range that
        // overlaps its own slots copies each song as it was.
        std::map<int, SlotSong> read;
        for (const SlotMove& move : moves) {
            Expected<SlotSong> song = ReadSlotSong(*context.floppy, move.source);
            if (!song) {
                Told(context, state, song.error());
                return result;
            }
            read.emplace(move.source, std::move(*song));
        }
        const std::vector<SlotRow> before = context.rows;
        // The questions come in slot order, about the slots as they are now.
        bool asked = false;
        for (std::size_t i = 0; i < moves.size(); ++i) {
            asked = asked || context.floppy->Exists(SlotFile(moves[i].slot, kSongExtension));
            moves[i].skipped = !ConfirmOverwrite(context, state, moves[i].slot, moves.size() - i);
        }
        // The answers count only for the floppy the user was shown: nothing is written yet, so the
        // whole catalogue must be as it was before the questions.
        if (asked && !Told(context, state, TakeFreshRows(context)).ok()) {
            result.rereadFloppy = true;
            return result;
        }
        std::set<int> written;
        std::vector<int> arrived;
        bool stopped = false;
        std::size_t done = 0;
        for (std::size_t i : SafeOrder(moves)) {
            const SlotMove& move = moves[i];
            if (move.skipped) continue;
            if (!ReportProgress(context, done++, moves.size())) {
                stopped = true;
                break;
            }
            const Result r = CopyFloppySongToSlot(context, state, move.source, move.slot,
                                                  before[static_cast<std::size_t>(move.source)], read.at(move.source));
            if (!DropContinuesAfter(r)) {
                stopped = true;
                break;
            }
            written.insert(move.slot);
            arrived.push_back(move.source);
        }
        if (beyondLimit && !stopped) context.prompter.ShowMessage(limitMessage, Translated(texts::kErrorCaption), MessageIcon::None);
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

// A song bound for a free slot, waiting to go onto the floppy with the others.
struct QueuedSong {
    std::size_t item = 0;
    int slot = 0;
    IncomingSong in;
    std::vector<std::string> files;   // the hard-disk files a move takes away once it is there
};

// The queued songs onto the floppy in one change, so that filling a floppy
// costs the flushes of one song. Where that change fails, each goes on its
// own, so that a full disk still takes those that fit and a failure is told
// for its song. Gives the items that arrived; `failed` the one whose failure
// ended the drop.
std::vector<std::size_t> PutQueuedSongs(DropContext& context, DropState& state, std::vector<QueuedSong>& queued,
                                        std::optional<std::size_t>& failed) {
    std::vector<std::size_t> arrived;
    std::vector<FileChange> changes;
    for (const QueuedSong& q : queued) {
        const std::vector<std::string> files = SlotFiles(q.slot, 1);
        changes.push_back(FileChange{files[0], q.in.song});
        changes.push_back(FileChange{files[1], q.in.events});
    }
    if (queued.size() > 1) {
        if (const Result put = context.floppy->Apply(changes, CatalogueReserve::Keep); put.ok()) {
            if (!put.reason.empty()) context.prompter.ShowMessage(put.reason, Translated(texts::kErrorCaption), MessageIcon::None);
            for (QueuedSong& q : queued) {
                SlotRow& row = context.rows[static_cast<std::size_t>(q.slot)];
                row.title = std::move(q.in.title);
                row.comment = std::move(q.in.comment);
                row.state = SlotState::PartialSong;   // taken now; the next reading tells the rest
                state.changedSlots.insert(q.slot);
                for (const std::string& path : q.files) state.MovedFiles.push_back({false, path});
                arrived.push_back(q.item);
            }
            state.Transferred = true;
            context.arrived += queued.size();
            queued.clear();
            return arrived;
        }
    }
    for (QueuedSong& q : queued) {
        const Result put = PutSongInSlot(context, state, q.slot, std::move(q.in));
        if (!put.ok()) {
            failed = q.item;
            break;
        }
        for (const std::string& path : q.files) state.MovedFiles.push_back({false, path});
        arrived.push_back(q.item);
    }
    queued.clear();
    return arrived;
}

DropResult DropIntoFreeSlots(DropContext& context, const SongSource& songSource) {
    DropResult result;
    if (context.floppy == nullptr) return result;
    const auto* floppySongs = std::get_if<SongsOnFloppy>(&songSource);
    const bool fromFloppy = floppySongs != nullptr;
    FloppyVolume* source = fromFloppy && floppySongs->volume != nullptr ? floppySongs->volume : context.floppy;
    std::vector<SongPlace>& told = result.places;   // every song, placed or not
    DropState state;
    // Floppy songs are read whole, with their rows, before anything is written.
    std::vector<std::pair<int, SlotSong>> songs;
    std::vector<SlotRow> sourceRows;
    if (fromFloppy) {
        Expected<CatalogueReading> sourceReading = ReadCatalogue(source, CatalogueRepair::Never);
        if (!sourceReading) {
            context.prompter.ShowMessage(UnreadableFloppyMessage(source->Root()), Translated(texts::kErrorCaption), MessageIcon::Exclamation);
            return result;
        }
        sourceRows = std::move(sourceReading->rows);
        for (int slot : floppySongs->indices) {
            if (sourceRows[static_cast<std::size_t>(slot)].state == SlotState::EmptySlot) continue;
            Expected<SlotSong> song = ReadSlotSong(*source, slot);
            if (!song) {
                Told(context, state, song.error());
                return result;
            }
            songs.emplace_back(slot, std::move(*song));
        }
    }
    std::vector<std::string> items;
    for (const auto& [slot, song] : songs) items.push_back(std::to_string(slot));
    const std::vector<HardDiskItem> noSongs;
    const std::vector<HardDiskItem>& hardDiskSongs = fromFloppy ? noSongs : std::get<SongsOnHardDisk>(songSource).songs;
    for (const HardDiskItem& song : hardDiskSongs) items.push_back(HardDiskBaseName(song.folder, song.title));
    for (const std::string& item : items) told.push_back(SongPlace{item, -1, {}, false});
    if (const Result ready = Told(context, state, ReadyForChange(context, {})); !ready.ok()) {
        for (SongPlace& place : told) place.reason = ready.reason;
        result.rereadFloppy = true;
        return result;
    }
    std::vector<int> arrived;   // source slots whose song is on the target
    std::vector<int> slotOf(items.size(), -1), slotFor(items.size(), -1);
    int slot = 0;
    // The next slot without a song whose files a song may take; a slot whose
    // name a folder or the like holds is passed over, and the user told.
    const auto nextFree = [&] {
        for (; slot < kSlotCount; ++slot) {
            if (context.rows[static_cast<std::size_t>(slot)].state != SlotState::EmptySlot) continue;
            const Result refused = context.floppy->CheckChange(SlotFiles(slot, 1));
            if (refused.ok()) break;
            context.prompter.ShowMessage(Translated(texts::kSlotUnusable, {std::to_string(slot + 1), refused.reason}), Translated(texts::kErrorCaption),
                                         MessageIcon::None);
        }
        return slot;
    };
    // A slot that shows no title or comment needs none blanked first: its
    // song waits to go with the others in one change.
    std::vector<QueuedSong> queued;
    std::size_t i = 0;
    for (; i < items.size(); ++i) {
        if (!ReportProgress(context, i, items.size())) break;
        if (nextFree() >= kSlotCount) {
            context.prompter.ShowMessage(Translated(texts::kTooManySongs, {std::to_string(kSlotCount)}), Translated(texts::kErrorCaption), MessageIcon::None);
            for (; i < items.size(); ++i) told[i] = {items[i], -1, Translated(texts::kNoFreeSlot, {context.floppy->Root()}), true};
            break;
        }
        const SlotRow& row = context.rows[static_cast<std::size_t>(slot)];
        const bool blank = row.title.empty() && row.comment.empty() && !context.floppy->Exists(SlotFile(slot, kSongExtension));
        Result r;
        slotFor[i] = slot;
        if (blank && fromFloppy) {
            IncomingSong in{songs[i].second.song, songs[i].second.events, sourceRows[static_cast<std::size_t>(songs[i].first)].title,
                            sourceRows[static_cast<std::size_t>(songs[i].first)].comment, source->Root() + SlotFile(songs[i].first, kSongExtension)};
            queued.push_back(QueuedSong{i, slot, std::move(in), {}});
        } else if (blank) {
            Expected<HardDiskSong> ready = ReadyHardDiskSong(context, state, hardDiskSongs[i]);
            if (ready) {
                queued.push_back(QueuedSong{i, slot, std::move(ready->in), std::move(ready->files)});
            } else {
                r = ready.error();
            }
        } else {
            r = fromFloppy ? CopyFloppySongToSlot(context, state, songs[i].first, slot,
                                                  sourceRows[static_cast<std::size_t>(songs[i].first)], songs[i].second,
                                                  source->Root())
                           : CopyHardDiskSongToSlot(context, state, hardDiskSongs[i], slot, items.size() - i);
            if (r.ok()) {
                slotOf[i] = slot;
                if (fromFloppy) arrived.push_back(songs[i].first);
            }
        }
        if (!DropContinuesAfter(r)) {
            told[i].reason = state.failure;
            break;
        }
        ++slot;
    }
    // The songs queued before a stop came before it, and go.
    std::optional<std::size_t> failed;
    for (const std::size_t k : PutQueuedSongs(context, state, queued, failed)) {
        slotOf[k] = slotFor[k];
        if (fromFloppy) arrived.push_back(songs[k].first);
    }
    if (failed) told[*failed].reason = state.failure;
    // A move off another floppy takes its songs away there, once they are whole here.
    const bool moveOff = fromFloppy && context.move;
    if (moveOff) context.move = false;
    const bool written = FinishDrop(context, state, result).ok();
    if (moveOff) {
        context.move = true;
        if (written && !arrived.empty()) {
            if (Result gone = DeleteFloppySlots(*source, sourceRows, arrived); !gone.ok()) {
                context.prompter.ShowMessage(gone.reason, Translated(texts::kErrorCaption), MessageIcon::Exclamation);
            }
        }
    }
    // A song counts as placed once its title is on the floppy too; one the
    // drop never came to stayed because it stopped before.
    for (std::size_t k = 0; k < items.size(); ++k) {
        if (slotOf[k] >= 0 && written) {
            told[k].slot = slotOf[k];
        } else if (told[k].reason.empty()) {
            told[k].reason = slotOf[k] >= 0 ? state.failure : Translated(texts::kDropStopped);
        }
    }
    return result;
}

}  // namespace tunecrate
