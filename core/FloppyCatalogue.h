// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/FileOps.h"
#include "core/SlotRow.h"

namespace tunecrate {

class FloppyVolume;

// What a reading of the floppy's catalogue found.
struct CatalogueReading {
    bool readable = false;          // false: the unreadable-floppy ending
    std::vector<SlotRow> rows;      // five rows when readable, none otherwise
    int FreePercent = -1;           // 0..100, -1 without a reading
    std::int64_t FreeBytes = 0;
    // Why the floppy could not be used, when known: an image that cannot be
    // opened, or a catalogue file that was missing and could not be created.
    std::string failure;
};

// Longest line piece kept per catalogue line; the rest of the line is skipped.
inline constexpr std::size_t kCatalogueLineBytes = 254;

// Reads the five slot rows and the free space of the floppy; `volume` may be
// null when there is no floppy. Creates a missing song.nam (only when slot
// files exist) and a missing comments.dat, as the instrument expects both.
CatalogueReading ReadCatalogue(FloppyVolume* volume);

// "Cannot open %ssong.nam.\nPlease insert valid floppy disk."
std::string UnreadableFloppyMessage(std::string_view floppyRoot);

// The exact bytes of song.nam / comments.dat for these rows: 40 lines ending in
// CR LF, titles cut on a character boundary and padded to 17 bytes.
std::string TitlesFileBytes(const std::vector<SlotRow>& rows);
std::string CommentsFileBytes(const std::vector<SlotRow>& rows);

// Rewrite one or both catalogue files from the rows.
FileResult WriteTitles(FloppyVolume& volume, const std::vector<SlotRow>& rows);
FileResult WriteComments(FloppyVolume& volume, const std::vector<SlotRow>& rows);

// Both halves, titles first; each failure comes back as a message naming its file.
std::vector<std::string> WriteCatalogue(FloppyVolume& volume, const std::vector<SlotRow>& rows);

// "Cannot write <root><file>.\n<reason>"
std::string CatalogueWriteMessage(std::string_view floppyRoot, std::string_view file, const FileResult& result);

// "空き %4.2f kb" for the free-space text of the main window.
std::string FreeSpaceText(std::int64_t freeBytes);

}  // namespace tunecrate
