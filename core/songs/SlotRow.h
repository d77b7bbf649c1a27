// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <string>

namespace tunecrate {

// The state of a floppy slot; also the row's image index.
enum class SlotState : int {
    PartialSong = 0,   // the .B00 file exists, the .EVT file does not
    FullSong = 1,      // both song files exist
    EmptySlot = 2,     // no .B00 file, whatever the .EVT file
};

// One row of the floppy list: the in-memory form of one slot of the catalogue.
// Title and comment are the catalogue's CP932 bytes, kept exactly as read so
// that a row that is not edited is written back unchanged.
struct SlotRow {
    int number = 0;                 // song number, slot index + 1
    std::string title;              // CP932, trailing white space removed
    std::string sizeText;           // "%dkb" or "----"
    std::string comment;            // CP932, trailing white space removed
    SlotState state = SlotState::EmptySlot;
    // What tells the slot's song files from others of the same size: their
    // identity and time as the floppy gives them. Not shown; it lets an
    // operation see that another writer changed the song since it was read.
    std::string stamp;
    std::uint64_t songBytes = 0;    // the song file's, when the slot holds one

    bool operator==(const SlotRow&) const = default;
};

}  // namespace tunecrate
