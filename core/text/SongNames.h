// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tunecrate {

// The naming, size and title rules shared by both media.

inline constexpr std::size_t kTitleBytes = 17;     // width of a title in song.nam
inline constexpr int kSlotCount = 5;               // slots the program manages
inline constexpr int kCatalogueLines = 40;         // lines of song.nam / comments.dat
inline constexpr int kProbedSlots = 40;            // MDR_00 .. MDR_39 make a song floppy
inline constexpr std::size_t kCatalogueLineBytes = 254;   // longest piece kept of a catalogue line

inline constexpr std::string_view kSongExtension = ".B00";
inline constexpr std::string_view kEventsExtension = ".EVT";
inline constexpr std::string_view kCommentExtension = ".cmt";
inline constexpr std::string_view kTitlesFile = "song.nam";
inline constexpr std::string_view kCommentsFile = "comments.dat";

// "MDR_00" for slot index 0; the slot's files are this plus an extension.
std::string SlotName(int slotIndex);

// The path of a song's files on the hard disk without extension:
// folder + "/" + title, without doubling the slash of the root folder.
std::string HardDiskBaseName(std::string_view folder, std::string_view title);

// True when a title can name files in a folder: not empty, no "/", not "."
// or "..", no NUL byte.
bool IsFileTitle(std::string_view title);

// A title fits when it has at most 17 CP932 bytes.
bool TitleFits(std::string_view cp932Title);

// "%dkb" of the song's size in whole kilobytes.
std::string SizeText(std::uint64_t songBytes, std::uint64_t eventsBytes, bool eventsExist);

// The size text of a floppy slot without its song file.
inline constexpr std::string_view kEmptySizeText = "----";

}  // namespace tunecrate
