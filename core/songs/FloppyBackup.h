// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/Result.h"
#include "core/disk/DiskCopy.h"
#include "core/disk/FloppyFinder.h"

namespace tunecrate {

// Saving a whole floppy into an image file, and writing an image back onto
// a floppy: for disks that are old and failing, read once, kept for good.

class FloppyVolume;

// Reads the whole floppy at `source` (as BackupFloppy names it), with the
// retries of ReadWholeDisk. Refused when it is no 1.44 MB disk.
Expected<DiskReading> ReadFloppy(const std::string& source, const std::vector<MountEntry>& mounts, const CopyProgress& progress,
                                 const ImageStoreWrapper& wrap = {});

// Reads the unreadable sectors of `earlier` (a reading of the same disk)
// again, one at a time, `passes` times each; cancelled says it was stopped.
Expected<DiskReading> RereadFloppy(const std::string& source, const std::vector<MountEntry>& mounts, DiskReading earlier,
                                   int passes, const CopyProgress& progress, const ImageStoreWrapper& wrap = {});

// The songs among `files` (paths on the floppy), as the user knows them:
// "2 Blues (MDR_01.B00)", the slot's number and title from the catalogue.
std::vector<std::string> SongsOfFiles(FloppyVolume& floppy, const std::vector<std::string>& files);

struct BackupOutcome {
    Result result;                           // a failure writes no image
    bool cancelled = false;                  // stopped by the user: no image either
    std::vector<std::uint32_t> unreadable;   // sectors filled with zeros
    std::vector<std::string> filesHit;       // files that hold an unreadable sector
    std::vector<std::string> songsHit;       // those that are songs: "2 Blues (MDR_01.B00)"
    std::string logPath;                     // the report, when a sector was unreadable
    // What to tell the user, in their language.
    std::string Message(const std::string& source, const std::string& imagePath) const;
};

// Reads the floppy at `source` into the image file `imagePath`: a drive's
// device that is not mounted (opened exclusively, so it cannot be mounted
// meanwhile), or a mounted floppy (its folder or its device), flushed first
// and read through its device. An existing image is replaced only when
// `replace` says so, and only once the whole disk has been read. Sectors
// that stay unreadable are zeros in the image and listed, with what they
// belong to, in `imagePath` + ".log"; an old report of that name goes when
// every sector was read.
BackupOutcome BackupFloppy(const std::string& source, const std::string& imagePath, bool replace,
                           const std::vector<MountEntry>& mounts, const CopyProgress& progress,
                           const ImageStoreWrapper& wrap = {});

struct RestoreOutcome {
    Result result;            // refused or failed before the disk was touched, or the flush failed
    DiskWriting writing;
    bool touched = false;     // something was written to the disk
    std::string Message(const std::string& imagePath, const std::string& device) const;
};

// Whether the image file `imagePath` may be written onto a floppy: Refused,
// naming it, when it is no 1.44 MB FAT12 floppy.
Result CheckRestoreImage(const std::string& imagePath);

// Writes the image file `imagePath` over the whole floppy in the drive
// `device`, then reads it all back and compares. Refuses a device that is
// mounted or is not a 1.44 MB disk, and an image that is not a 1.44 MB
// FAT12 floppy.
RestoreOutcome RestoreFloppy(const std::string& imagePath, const std::string& device,
                             const std::vector<MountEntry>& mounts, const CopyProgress& progress,
                             const ImageStoreWrapper& wrap = {});

// The report beside a backup: what was read and what was not, as a map of
// byte ranges that rescue tools read ("+" read, "-" unreadable), with the
// owner of every unreadable sector as comments.
std::string BackupReport(const std::string& source, const std::string& imagePath, std::string_view image,
                         const std::vector<std::uint32_t>& unreadable);

}  // namespace tunecrate
