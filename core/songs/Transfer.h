// SPDX-License-Identifier: MIT
#pragma once

#include <map>
#include <optional>
#include <set>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "core/Result.h"
#include "core/disk/FileOps.h"
#include "core/songs/SlotRow.h"

namespace tunecrate {

class FloppyVolume;
class Prompter;

// A source file that a move deletes once its song has arrived.
struct MovedFile {
    bool onFloppy = false;   // a name on the floppy, else a path on the hard disk
    std::string name;
};

// The state of one drop: what it copied and whether anything arrived.
struct DropState {
    std::vector<MovedFile> MovedFiles;
    bool Transferred = false;
    // Songs (folder + "/" + title) this drop wrote on the hard disk: a second
    // song of the same title never replaces one that the drop itself just brought.
    std::vector<std::string> written;
    // Slots whose title or comment the rows hold otherwise than the floppy:
    // written with the drop's next catalogue write.
    std::set<int> changedSlots;
    // What stopped the drop, as the user was told; empty while it goes on.
    std::string failure;
    // The names of the folders the drop takes hard-disk songs from, each
    // read at most once however many songs come from it.
    std::map<std::string, FolderNames> sources;
    // The user's answer for all the songs still to come: whether a song
    // already there is replaced, asked no more in this drop.
    std::optional<bool> replaceAll;
    FolderNames& Source(const std::string& folder) { return sources.try_emplace(folder, folder).first->second; }
};

// What a drop works with: the floppy (null when there is none), its slot rows
// as the window shows them, the user, and whether the drop moves. A drop that
// involves the floppy first reads it again; when it no longer holds what the
// rows show, nothing is transferred and the window reads it again.
struct DropContext {
    FloppyVolume* floppy = nullptr;
    std::vector<SlotRow>& rows;
    Prompter& prompter;
    bool move = false;
    // Told before each song how many of how many are done; false stops the
    // drop there, between two songs, as a full disk does.
    std::function<bool(std::size_t done, std::size_t total)> progress = {};
    std::size_t arrived = 0;   // songs that arrived: a drop the user stops says how many
};

// Where a song of a drop went, or why it stayed where it was.
struct SongPlace {
    std::string item;       // the song: a hard-disk base name, or a slot index
    int slot = -1;          // -1: it stayed
    std::string reason;     // why it stayed
    bool noFreeSlot = false;   // it stayed for want of a free slot alone
};

// What the windows must refresh after a drop. A drop runs once the drag has
// ended (its questions need the pointer), so it has no say in the drag's answer.
struct DropResult {
    bool rereadFloppy = false;        // ReadCatalogue, reporting an unreadable floppy
    bool refillHardDiskList = false;
    // Drops into free slots: every song, where it went or why it stayed.
    std::vector<SongPlace> places;
};

// How one song's transfer ended: Ok when it arrived, TargetExists when the
// song there was kept (the user said no, or this drop brought it), DiskFull
// or Failed (the user was told) when the drop stops.
bool DropContinuesAfter(const Result& song);

// Asks `question` before a song already there is replaced, unless an earlier
// answer was for all; "to all" is offered while `remaining` (this song and
// those after it) is more than one. True to replace it.
bool ConfirmReplace(DropContext& context, DropState& state, const std::string& question, std::size_t remaining);

// Error messages that several drops share.
// The floppy is full: with how much a song may use there.
std::string FloppyFullMessage(const FloppyVolume& floppy);
std::string CopyFailedMessage(const std::string& file, const std::string& reason);

// Reads the floppy's catalogue into context.rows when it still shows what the
// window showed; refused, with the reason, otherwise. Reading writes nothing,
// even where a catalogue file is missing.
Result TakeFreshRows(DropContext& context);

// Whether the slot still holds what context.rows say it holds, read anew
// from the floppy; refused with the reason otherwise. A question may stay
// open for long: its answer counts only for the song the user was shown.
Result SlotStillShown(DropContext& context, int slot);

// Whether the floppy would take a change of these files (and of its
// catalogue), asked before the drop writes anything, so that a refused drop
// changes nothing.
Result FloppyTakesChange(DropContext& context, std::vector<std::string> names);

// Both: fresh rows, then a floppy that takes the change.
Result ReadyForChange(DropContext& context, std::vector<std::string> names);

// Shows the user what a step of the drop came to, when there is something to
// tell, and keeps a failure as the drop's failure; gives the step's result back.
Result Told(DropContext& context, DropState& state, Result step);

// Tells the user that a change of the floppy did not go through and keeps it
// as the drop's failure: a full disk, a full root folder, or the reason.
void ReportPutFailure(DropContext& context, DropState& state, const Result& put, const std::string& shownSource);

// Tells the progress how many songs are done; false when the user stopped the
// drop there.
bool ReportProgress(DropContext& context, std::size_t done, std::size_t total);

// Writes the titles and comments of the changed slots, which are then the
// floppy's: the catalogue's writing, with a notice it brings or why it failed.
Result WriteChangedSlots(DropContext& context, DropState& state);

// Deletes the files of a move, in order; failures are reported.
void DeleteMovedFiles(const DropContext& context, const DropState& state);

}  // namespace tunecrate
