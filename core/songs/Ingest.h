// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/Result.h"
#include "core/disk/DiskCopy.h"
#include "core/disk/FloppyFinder.h"
#include "core/songs/Shelf.h"
#include "core/songs/SongHash.h"

namespace tunecrate {

// A box of floppies taken onto a shelf, disk after disk: each disk read
// whole from its drive (with the retries of a backup) and put on the shelf
// as a new image under the next free number, labelled from its first title.
// A disk whose songs the shelf holds already is, by default, not written.

// How a disk is taken.
struct IngestOptions {
    NewNumbers numbers = NewNumbers::AfterHighest;
    bool keepCopies = false;   // write a disk whose songs the shelf holds already
    std::string label;         // the disk's label, typed before it was read; else its first title
};

// One disk taken, as the session's table shows it.
struct IngestedDisk {
    Result result;                // why it was not taken; a cancelled disk is no failure
    bool cancelled = false;
    std::string image;            // its name on the shelf ("DSKA0004 Wedding.IMG", "@004"); empty when not written
    std::optional<int> number;
    std::string label;            // UTF-8
    std::array<std::string, kSlotCount> titles;   // UTF-8
    int songs = 0;
    std::vector<std::uint32_t> unreadable;   // sectors that stay zeros in the image
    std::vector<std::string> songsHit;       // songs that hold one: "2 Blues (MDR_01.B00)"
    std::vector<std::string> filesHit;       // every file that holds one
    std::string copyOf;           // the shelf's image that holds the same songs
    std::string logPath;          // the report beside a folder's image with unreadable sectors
    double seconds = 0;           // reading and writing
    bool written() const { return !image.empty(); }
};

// The label a disk's image takes from its titles: the first title that is
// not blank, made fit for a file name on any stick (no / \ : * ? " < > |
// nor control characters, no spaces or dots at the end, at most 40 characters).
std::string LabelFromTitles(const std::array<std::string, kSlotCount>& utf8Titles);
// The same rules for a label the user types.
std::string FileLabel(const std::string& utf8);

// A shelf that disks are taken onto: it knows its songs by content, and
// learns each disk it takes.
class IngestShelf {
public:
    // Reads the songs of every image of `shelf` (a folder or a factory
    // stick); `goOn` may stop it (then nothing is known of the rest).
    static Expected<IngestShelf> Open(const std::string& shelf, const std::function<bool()>& goOn = {});

    const std::string& shelf() const { return m_shelf; }

    // Reads the floppy in `drive` whole and puts it on the shelf. Nothing is
    // written for a disk that cannot be read as a 1.44 MB disk, a cancelled
    // one, or (unless `options` keep copies) one whose songs an image of the
    // shelf holds, as many times each: `copyOf` names it.
    IngestedDisk Take(const std::string& drive, const std::vector<MountEntry>& mounts, const IngestOptions& options,
                      const CopyProgress& progress, const ImageStoreWrapper& wrap = {});

    // Reads the unreadable sectors of the disk just taken again, `passes`
    // times each, one at a time; the image (and its report) is written anew
    // when more was read. The disk must still be in `drive`.
    IngestedDisk Retry(const std::string& drive, const std::vector<MountEntry>& mounts, int passes,
                       const CopyProgress& progress, const ImageStoreWrapper& wrap = {});

    // Gives the image of a disk taken another label (a folder's image is
    // renamed, its report with it); the disk's row as it is now.
    Expected<IngestedDisk> Relabel(const IngestedDisk& disk, const std::string& label);

private:
    // Fills in what the disk's bytes hold: titles, songs, what the unreadable
    // sectors hit, and the songs' hashes (none for a song that is hit).
    FloppySongHashes Look(IngestedDisk& disk, const std::string& bytes, const std::string& drive) const;
    // Writes the report of a folder's image, or takes an old one away.
    void Report(IngestedDisk& disk, const std::string& drive, const std::string& bytes) const;

    std::string m_shelf;
    bool m_folder = true;
    std::vector<std::string> m_images;          // each image whose songs are known, in shelf order
    std::vector<FloppySongHashes> m_hashes;     // and their songs
    // The disk just taken: what a retry reads again.
    IngestedDisk m_last;
    DiskReading m_lastReading;
};

// The table of a session as CSV (UTF-8 with a byte order mark, CRLF).
std::string IngestCsv(const std::vector<IngestedDisk>& disks);

// One line for a disk: its number and name, songs, what was unreadable, the
// time taken; or why it was not written.
std::string IngestLine(const IngestedDisk& disk);

}  // namespace tunecrate
