// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/disk/FileOps.h"
#include "core/songs/SlotRow.h"

namespace tunecrate {

class FloppyVolume;

// What a reading of the floppy's catalogue found.
struct CatalogueReading {
    std::vector<SlotRow> rows;      // the five slots
    int FreePercent = 0;            // 0..100
    std::int64_t FreeBytes = 0;
};

// Whether a reading may write a missing catalogue file.
enum class CatalogueRepair { WhenMissing, Never };

// How much of each row a reading makes. A shelf lists titles, comments and
// which slots hold a song (and its size) for each of a thousand floppies;
// the window and the operations want each song's size text and stamp too.
enum class CatalogueDetail { Full, Listing };

// Reads the five slot rows and the free space of the floppy; `volume` may be
// null when there is no floppy. Creates a missing song.nam (only when slot
// files exist) and a missing comments.dat, as the instrument expects both;
// with CatalogueRepair::Never it reads them as blank instead. A floppy that
// cannot be read fails with why, when that is known (an image that cannot be
// opened, a catalogue file that was missing and could not be created), else
// with UnreadableFloppyMessage.
Expected<CatalogueReading> ReadCatalogue(FloppyVolume* volume, CatalogueRepair repair = CatalogueRepair::WhenMissing,
                                         CatalogueDetail detail = CatalogueDetail::Full);

// "Cannot open %ssong.nam.\nPlease insert valid floppy disk."
std::string UnreadableFloppyMessage(std::string_view floppyRoot);

// A failed reading of the floppy at `floppyRoot` as the window tells it:
// UnreadableFloppyMessage, then why, when that is known.
std::string UnreadableFloppyNotice(const Result& failure, std::string_view floppyRoot);

// The exact bytes of song.nam / comments.dat for these rows: 40 lines ending in
// CR LF, titles cut on a character boundary and padded to 17 bytes.
std::string TitlesFileBytes(const std::vector<SlotRow>& rows);
std::string CommentsFileBytes(const std::vector<SlotRow>& rows);

// A change of one slot's texts (CP932); what is not given stays as it is.
struct SlotText {
    int slot = 0;
    std::optional<std::string> title;
    std::optional<std::string> comment;
};

// Reads both catalogue files as they are now, puts these texts on their
// slots' lines (titles cut to 17 bytes on a character boundary and padded,
// CR LF) and keeps every other line byte for byte, whatever its length or
// line end (lines 6 to 40 as well: the instrument keeps songs there). A file
// of fewer than 40 lines gets blank ones up to 40. Both files change in one
// step; a file whose bytes would not change is not written. A failure names
// its file and changes nothing.
Result UpdateCatalogue(FloppyVolume& volume, const std::vector<SlotText>& changes);

// Changes one slot's title or comment on the floppy as it is now, so that an
// edit never undoes what another writer did meanwhile. `shown` is what the
// window showed: when that slot is no longer what it showed, nothing is
// written (Refused); when only other slots differ, the edit is made and the
// result is Ok with a reason to tell. Either way the window reads the floppy
// again.
Result EditSlotText(FloppyVolume& volume, const std::vector<SlotRow>& shown, const SlotText& change);

// True when the floppy's catalogue still holds what `shown` shows for `slots`
// (all five when empty): the same songs, titles and comments.
bool CatalogueStillShows(const std::vector<SlotRow>& now, const std::vector<SlotRow>& shown,
                         const std::vector<int>& slots = {});

// Tells the user that another program changed the floppy since the window
// read it; `applied`: the user's own change was made all the same.
std::string CatalogueChangedMessage(bool applied);

// The failure with its reason as "Cannot write <root><file>.\n<reason>".
Result CatalogueWriteFailure(std::string_view floppyRoot, std::string_view file, const Result& failure);

// "空き %4.2f kb" for the free-space text of the main window. A floppy folder
// on a large disk has a figure too long for its place: `coarser` steps give
// it in MB, GB and TB ("空き 84.5 GB"), for the window to take the first that fits.
inline constexpr int kCoarsestFreeSpaceUnit = 3;
std::string FreeSpaceText(std::int64_t freeBytes, int coarser = 0);
// Its figure alone ("1457.66" for kb), for every other place that shows free space.
std::string FreeSpaceFigure(std::int64_t freeBytes, int coarser = 0);

}  // namespace tunecrate
