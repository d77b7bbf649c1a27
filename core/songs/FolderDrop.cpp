// SPDX-License-Identifier: MIT
#include "core/songs/FolderDrop.h"

#include <algorithm>
#include <variant>

#include "core/text/CommentFile.h"
#include "core/text/Encoding.h"
#include "core/disk/FileOps.h"
#include "core/songs/FloppyCatalogue.h"
#include "core/songs/HardDiskSongs.h"
#include "core/disk/FloppyVolume.h"
#include "core/songs/Prompter.h"
#include "core/text/SongNames.h"
#include "core/songs/TransferItems.h"
#include "core/Texts.h"

namespace tunecrate {

namespace {

void Report(DropContext& context, const std::string& text, MessageIcon icon = MessageIcon::None) {
    context.prompter.ShowMessage(text, Translated(texts::kErrorCaption), icon);
}

// The base name a song of this title takes in the folder: a song already
// there whose name shows as the title (named in Shift-JIS by Windows) is the
// one to ask about and replace, under its own name.
std::string TargetTitle(DropState& state, const std::string& folder, const std::string& title) {
    const auto real = FindSongFile(state.Source(folder), title, kSongExtension);
    return real ? real->substr(0, real->size() - kSongExtension.size()) : title;
}

// Asks before a song of the same title is replaced; a song this drop brought
// is never replaced by a second one of its title. `remaining` songs, this one
// included, are still to come.
std::optional<Result> ConfirmSongTarget(DropContext& context, DropState& state, const std::string& folder,
                                        const std::string& title, std::size_t remaining) {
    const std::string base = JoinPath(folder, FileNameText(title));
    // Songs of the drop wait to go together: one of this title may not be there yet.
    if (std::find(state.written.begin(), state.written.end(), base) != state.written.end()) {
        Report(context, Translated(texts::kSameTitleTwice, {base}));
        return Result{Status::TargetExists, 0, {}};
    }
    const auto taken = NameVariants(folder, title + std::string(kSongExtension), NameCase::Extension);
    if (taken.empty()) return std::nullopt;
    // A folder or a link of that name is no song to replace: no question.
    for (const std::string& name : taken) {
        if (Result refused = TargetRefusal(JoinPath(folder, name)); !refused.ok()) {
            return Told(context, state, Result{Status::Failed, refused.error, CopyFailedMessage(base, refused.reason)});
        }
    }
    if (!ConfirmReplace(context, state, Translated(texts::kFileTaken, {base}), remaining)) {
        return Result{Status::TargetExists, 0, {}};
    }
    return std::nullopt;
}

// A song on its way into the folder, waiting to go with the drop's others.
struct FolderSong {
    std::string title;
    std::optional<FileContent> song, events, comment;
    std::string shownSource;          // the source as messages name it
    std::vector<MovedFile> sources;   // what a move takes away once the song is there
    int slot = -1;                    // the floppy slot it comes from, whose texts a move clears
};

// The songs a drop brings into one folder, put there together.
struct FolderQueue {
    std::string folder;
    std::vector<FolderSong> songs;
};

// The changes that put a song's files into the folder together, replacing
// the variants of their names that are there; a file the song lacks goes,
// so that no song is left with another song's companions.
void AddSongChanges(std::vector<FileChange>& changes, const FolderSong& song) {
    changes.push_back(FileChange{song.title + std::string(kSongExtension), song.song});
    changes.push_back(FileChange{song.title + std::string(kEventsExtension), song.events});
    changes.push_back(FileChange{song.title + std::string(kCommentExtension), song.comment});
}

void Arrived(DropContext& context, DropState& state, FolderSong& song) {
    state.Transferred = true;
    ++context.arrived;
    state.MovedFiles.insert(state.MovedFiles.end(), song.sources.begin(), song.sources.end());
    if (context.move && song.slot >= 0) {
        SlotRow& row = context.rows[static_cast<std::size_t>(song.slot)];
        row.title.clear();
        row.comment.clear();
        state.changedSlots.insert(song.slot);
    }
}

// Puts the waiting songs into the folder in one change, so that many songs
// cost the flushes of one. Where that change fails, each goes on its own, as
// a drop of one song does: a failure is told for its song, and a full disk
// stops the drop there. On failure a song's folder is as it was.
Result PutQueuedSongs(DropContext& context, DropState& state, FolderQueue& queue) {
    std::vector<FolderSong> songs = std::exchange(queue.songs, {});
    if (songs.size() > 1) {
        std::vector<FileChange> changes;
        for (const FolderSong& song : songs) AddSongChanges(changes, song);
        if (ReplaceFiles(queue.folder, changes, NameCase::Extension).ok()) {
            for (FolderSong& song : songs) Arrived(context, state, song);
            return {};
        }
    }
    for (FolderSong& song : songs) {
        std::vector<FileChange> changes;
        AddSongChanges(changes, song);
        const Result put = ReplaceFiles(queue.folder, changes, NameCase::Extension);
        if (put.status == Status::DiskFull) {
            Report(context, Translated(texts::kDiskFull) + "\n" + Translated(texts::kFolderFull, {queue.folder}), MessageIcon::Exclamation);
            return put;
        }
        if (!put.ok()) {
            Report(context, CopyFailedMessage(song.shownSource, put.reason));
            continue;
        }
        Arrived(context, state, song);
    }
    return {};
}

// Before a song of `title` is looked for in the folder: a waiting song of
// that title in other letter cases, which a disk that ignores case takes for
// the same, goes first, so that the folder shows what it would have shown.
void SendCaseTwins(DropContext& context, DropState& state, FolderQueue& queue, const std::string& title) {
    if (std::any_of(queue.songs.begin(), queue.songs.end(), [&](const FolderSong& song) { return EqualsNoCase(song.title, title); })) {
        PutQueuedSongs(context, state, queue);
    }
}

void QueueSong(DropState& state, FolderQueue& queue, FolderSong song) {
    state.written.push_back(JoinPath(queue.folder, FileNameText(song.title)));
    queue.songs.push_back(std::move(song));
}

std::optional<FileContent> HostFile(FolderNames& names, const std::string& title, std::string_view extension) {
    if (auto real = FindSongFile(names, title, extension)) return HostPath{JoinPath(names.folder(), *real)};
    return std::nullopt;
}

}  // namespace

std::string FolderNameForTitle(const std::string& cp932Title, int slot) {
    std::string name = Cp932ToUtf8(cp932Title);
    // Trailing blanks, tabs and full-width blanks (U+3000) are not part of a name.
    for (;;) {
        if (!name.empty() && (name.back() == ' ' || name.back() == '\t')) {
            name.pop_back();
        } else if (name.size() >= 3 && name.compare(name.size() - 3, 3, "\xE3\x80\x80") == 0) {
            name.resize(name.size() - 3);
        } else {
            break;
        }
    }
    // A title never becomes a path.
    std::string safe;
    for (char c : name) {
        if (c == '/') {
            safe += "\xEF\xBC\x8F";   // FULLWIDTH SOLIDUS
        } else if (c != '\0') {
            safe += c;
        }
    }
    if (safe.empty() || safe == "." || safe == "..") return SlotName(slot);
    return safe;
}

namespace {

Result CopyHardDiskSongToFolder(DropContext& context, DropState& state, const HardDiskItem& song,
                                FolderQueue& queue, std::size_t remaining) {
    const std::string& folder = queue.folder;
    FolderNames& names = state.Source(song.folder);
    const std::optional<FileContent> songFile = HostFile(names, song.title, kSongExtension);
    if (!songFile) {
        const std::string failure = CopyFailedMessage(HardDiskBaseName(song.folder, song.title) + std::string(kSongExtension),
                                                      Translated(texts::kNoSuchFile));
        Report(context, failure);
        return Result{Status::Failed, 0, failure};
    }
    // A name from Windows in Shift-JIS arrives as the text it shows as.
    const std::string shown = FileNameText(song.title);
    SendCaseTwins(context, state, queue, shown);
    const std::string title = TargetTitle(state, folder, shown);
    if (auto ended = ConfirmSongTarget(context, state, folder, title, remaining)) return *ended;
    FolderSong coming{title, songFile, HostFile(names, song.title, kEventsExtension), HostFile(names, song.title, kCommentExtension),
                      std::get<HostPath>(*songFile).path, {}, -1};
    for (const auto& file : {coming.song, coming.events, coming.comment}) {
        if (file) coming.sources.push_back({false, std::get<HostPath>(*file).path});
    }
    QueueSong(state, queue, std::move(coming));
    return {};
}

// One floppy song whose slot holds a song file into the folder.
Result CopyFloppySongToFolder(DropContext& context, DropState& state, int slot, FolderQueue& queue,
                              std::size_t remaining) {
    const std::string& folder = queue.folder;
    FloppyVolume& floppy = *context.floppy;
    const SlotRow& row = context.rows[static_cast<std::size_t>(slot)];
    const std::string shown = FolderNameForTitle(row.title, slot);
    SendCaseTwins(context, state, queue, shown);
    const std::string title = TargetTitle(state, folder, shown);
    const std::string source = SlotName(slot);
    if (auto ended = ConfirmSongTarget(context, state, folder, title, remaining)) return *ended;
    Expected<SlotSong> song = ReadSlotSong(floppy, slot);
    if (!song) return Told(context, state, song.error());
    std::optional<FileContent> events;
    if (song->events) events = *song->events;
    // The comment travels as its bytes, whole with the song or not at all.
    QueueSong(state, queue, FolderSong{title, std::move(song->song), std::move(events), row.comment,
                                       floppy.Root() + source + std::string(kSongExtension),
                                       {{true, source + std::string(kSongExtension)}, {true, source + std::string(kEventsExtension)}}, slot});
    return {};
}

// The floppy songs, copied into a folder one by one; refused (and told) when
// the floppy no longer holds what the window showed or would refuse a move.
Result CopyFloppySongsToFolder(DropContext& context, DropState& state, const std::vector<int>& slots,
                               const std::string& folder) {
    FolderQueue queue{folder, {}};
    if (const Result fresh = Told(context, state, TakeFreshRows(context)); !fresh.ok()) return fresh;
    // A move takes the songs off the floppy at its end: a floppy that would
    // refuse that is found before anything is copied.
    std::vector<std::string> sources;
    for (int slot : slots) {
        for (std::string_view extension : {kSongExtension, kEventsExtension}) sources.push_back(SlotName(slot) + std::string(extension));
    }
    if (context.move) {
        if (const Result takes = Told(context, state, FloppyTakesChange(context, sources)); !takes.ok()) return takes;
    }
    for (std::size_t i = 0; i < slots.size(); ++i) {
        const int slot = slots[i];
        if (slot >= static_cast<int>(context.rows.size())) continue;
        if (!ReportProgress(context, i, slots.size())) break;
        // A slot without a song file has nothing to copy.
        if (!context.floppy->Exists(SlotName(slot) + std::string(kSongExtension))) continue;
        CopyFloppySongToFolder(context, state, slot, queue, slots.size() - i);
    }
    PutQueuedSongs(context, state, queue);
    return {};
}

// A move empties and deletes the floppy sources only once their titles and
// comments are gone from the catalogue as well.
void FinishFloppyMove(DropContext& context, DropState& state) {
    if (!context.move || !state.Transferred) return;
    if (Told(context, state, WriteChangedSlots(context, state)).ok()) DeleteMovedFiles(context, state);
}

// The slots of a floppy source when they are the drop's floppy's; none otherwise.
const std::vector<int>* OwnFloppySlots(const DropContext& context, const SongSource& songs) {
    const auto* onFloppy = std::get_if<SongsOnFloppy>(&songs);
    if (onFloppy == nullptr || context.floppy == nullptr ||
        (onFloppy->volume != nullptr && onFloppy->volume != context.floppy)) {
        return nullptr;
    }
    return &onFloppy->indices;
}

}  // namespace

DropResult DropIntoFolder(DropContext& context, const std::string& folder, const SongSource& songs) {
    DropResult result;
    if (folder.empty()) return result;   // no folder under the drop point
    DropState state;
    if (const auto* fromHardDisk = std::get_if<SongsOnHardDisk>(&songs)) {
        const std::vector<HardDiskItem>& items = fromHardDisk->songs;
        for (const HardDiskItem& item : items) {
            if (SameFile(item.folder, folder)) {
                // Copying a song onto itself, or moving it where it is, could
                // only lose it.
                Report(context, Translated(texts::kAlreadyInFolder, {folder}));
                return result;
            }
        }
        FolderQueue queue{folder, {}};
        for (std::size_t i = 0; i < items.size(); ++i) {
            if (!ReportProgress(context, i, items.size())) break;
            CopyHardDiskSongToFolder(context, state, items[i], queue, items.size() - i);
        }
        PutQueuedSongs(context, state, queue);
        if (context.move) DeleteMovedFiles(context, state);
        result.refillHardDiskList = state.Transferred;
    } else if (const std::vector<int>* slots = OwnFloppySlots(context, songs)) {
        if (!CopyFloppySongsToFolder(context, state, *slots, folder).ok()) {
            result.rereadFloppy = true;
            return result;
        }
        FinishFloppyMove(context, state);
        result.rereadFloppy = context.move && state.Transferred;
        result.refillHardDiskList = state.Transferred;
    }
    return result;
}

DropResult DropOntoHardDiskList(DropContext& context, const std::string& folder, const SongSource& songs) {
    DropResult result;
    if (folder.empty()) return result;
    // Songs of another folder (files a file manager dropped) come into the
    // list's folder as into a folder of the tree; the list's own songs stay.
    const auto* fromHardDisk = std::get_if<SongsOnHardDisk>(&songs);
    if (fromHardDisk != nullptr && !fromHardDisk->songs.empty() &&
        std::none_of(fromHardDisk->songs.begin(), fromHardDisk->songs.end(),
                     [&](const HardDiskItem& item) { return SameFile(item.folder, folder); })) {
        return DropIntoFolder(context, folder, songs);
    }
    DropState state;
    if (const std::vector<int>* slots = OwnFloppySlots(context, songs)) {
        if (!CopyFloppySongsToFolder(context, state, *slots, folder).ok()) {
            result.rereadFloppy = true;
            return result;
        }
        // A copy leaves the catalogue as it is: it changed nothing there.
        FinishFloppyMove(context, state);
    }
    result.rereadFloppy = context.move;
    result.refillHardDiskList = state.Transferred;
    return result;
}

}  // namespace tunecrate
