// SPDX-License-Identifier: MIT
#include "core/songs/FloppyBackup.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "core/disk/BlockDevice.h"
#include "core/disk/DiskStore.h"
#include "core/disk/FileOps.h"
#include "core/disk/FatImage.h"
#include "core/disk/ImageVolume.h"
#include "core/songs/FloppyCatalogue.h"
#include "core/text/Encoding.h"
#include "core/text/SongNames.h"
#include "core/Texts.h"

namespace tunecrate {

namespace {

std::string Hex(std::uint64_t value) {
    char text[32];
    std::snprintf(text, sizeof text, "0x%08llX", static_cast<unsigned long long>(value));
    return text;
}

// The slot whose file `name` is (MDR_03.B00 -> 3), or -1.
int SlotOfFile(const std::string& name) {
    const auto dot = name.find('.');
    const std::string stem = name.substr(0, dot);
    for (int slot = 0; slot < kProbedSlots; ++slot) {
        if (EqualsNoCase(stem, SlotName(slot))) return slot;
    }
    return -1;
}

// The disk to read for `source`, and how.
struct BackupSource {
    std::string path;
    bool exclusive = false;
};

Expected<BackupSource> ResolveSource(const std::string& source, const std::vector<MountEntry>& mounts) {
    BackupSource resolved;
    resolved.path = source;
    if (const std::optional<DrivePlace> drive = DriveAt(source, mounts)) {
        resolved.path = drive->device;
        if (!drive->mountPoint.empty()) {
            FlushMountedFolder(drive->mountPoint);   // the device must hold what the folder shows
        } else {
            resolved.exclusive = true;   // nothing may mount it while it is read
        }
    } else if (IsFolder(source)) {
        return Result::Refused(Translated(texts::kNotAFloppyDrive, {source}));
    }
    return resolved;
}

// The floppy's disk for a whole-disk copy, past the system's cache where the
// device allows, so that every read reaches the disk itself. A disk of another
// size is no floppy: a hard disk named by mistake is never read or written whole.
Expected<std::unique_ptr<ImageStore>> OpenFloppyDisk(const std::string& path, DiskAccess access,
                                                     const std::string& shown, const ImageStoreWrapper& wrap) {
    access.direct = true;
    Expected<OpenDisk> disk = OpenDiskAt(path, access);
    if (!disk) return disk.error();
    if (disk->bytes != kImageBytes) return Result::Refused(Translated(texts::kNotAFloppyDisk, {shown, std::to_string(disk->bytes)}));
    std::unique_ptr<ImageStore> store = std::move(disk->store);
    return wrap ? wrap(std::move(store)) : std::move(store);
}

}  // namespace

Expected<DiskReading> ReadFloppy(const std::string& source, const std::vector<MountEntry>& mounts, const CopyProgress& progress,
                                 const ImageStoreWrapper& wrap) {
    const Expected<BackupSource> from = ResolveSource(source, mounts);
    if (!from) return from.error();
    Expected<std::unique_ptr<ImageStore>> disk = OpenFloppyDisk(from->path, {.exclusive = from->exclusive}, source, wrap);
    if (!disk) return disk.error();
    return ReadWholeDisk(**disk, kImageBytes, progress);
}

Expected<DiskReading> RereadFloppy(const std::string& source, const std::vector<MountEntry>& mounts, DiskReading earlier,
                                   int passes, const CopyProgress& progress, const ImageStoreWrapper& wrap) {
    const Expected<BackupSource> from = ResolveSource(source, mounts);
    if (!from) return from.error();
    Expected<std::unique_ptr<ImageStore>> disk = OpenFloppyDisk(from->path, {.exclusive = from->exclusive}, source, wrap);
    if (!disk) return disk.error();
    // Progress counts the tries: at most one per sector and pass.
    const auto total = static_cast<std::uint32_t>(earlier.unreadable.size() * static_cast<std::size_t>(std::max(passes, 0)));
    std::uint32_t tried = 0;
    earlier.cancelled = !RereadSectors(**disk, earlier, passes, [&] { return !progress || progress(std::min(tried++, total), total); });
    if (progress && !earlier.cancelled) progress(total, total);
    return earlier;
}

std::vector<std::string> SongsOfFiles(FloppyVolume& floppy, const std::vector<std::string>& files) {
    std::vector<std::string> songs;
    const Expected<CatalogueReading> catalogue = ReadCatalogue(&floppy, CatalogueRepair::Never);
    for (const std::string& file : files) {
        const int slot = SlotOfFile(file);
        if (slot < 0) continue;
        std::string title;
        if (catalogue && slot < static_cast<int>(catalogue->rows.size())) title = catalogue->rows[slot].title;
        songs.push_back(std::to_string(slot + 1) + " " + Cp932ToUtf8(title) + " (" + file + ")");
    }
    return songs;
}

std::string BackupReport(const std::string& source, const std::string& imagePath, std::string_view image,
                         const std::vector<std::uint32_t>& unreadable) {
    std::string report = "# Tunecrate backup of " + source + " into " + imagePath + "\n";
    report += "# " + std::to_string(unreadable.size()) + " of " + std::to_string(image.size() / kImageSectorBytes) +
              " sectors could not be read (each tried " + std::to_string(kSectorRetries + 1) +
              " times); they are zeros in the image.\n";
    const std::vector<std::string> owners = SectorOwners(image, unreadable);
    for (std::size_t i = 0; i < unreadable.size(); ++i) {
        report += "# sector " + std::to_string(unreadable[i]) + " (byte " +
                  Hex(std::uint64_t{unreadable[i]} * kImageSectorBytes) + "): " + owners[i] + "\n";
    }
    // The map: whole ranges of read ("+") and unreadable ("-") bytes.
    report += "# current_pos  current_status  current_pass\n";
    report += Hex(image.size()) + "     +               1\n";
    report += "#      pos        size  status\n";
    const auto sectors = static_cast<std::uint32_t>(image.size() / kImageSectorBytes);
    std::size_t next = 0;
    for (std::uint32_t start = 0; start < sectors;) {
        const bool bad = next < unreadable.size() && unreadable[next] == start;
        std::uint32_t end = start + 1;
        if (bad) {
            ++next;
            while (next < unreadable.size() && unreadable[next] == end) ++next, ++end;
        } else {
            end = next < unreadable.size() ? unreadable[next] : sectors;
        }
        report += Hex(std::uint64_t{start} * kImageSectorBytes) + "  " +
                  Hex(std::uint64_t{end - start} * kImageSectorBytes) + "  " + (bad ? "-" : "+") + "\n";
        start = end;
    }
    return report;
}

BackupOutcome BackupFloppy(const std::string& source, const std::string& imagePath, bool replace,
                           const std::vector<MountEntry>& mounts, const CopyProgress& progress,
                           const ImageStoreWrapper& wrap) {
    BackupOutcome outcome;
    if (!replace && (FileSize(imagePath) || IsFolder(imagePath))) {
        outcome.result = Result{Status::TargetExists, EEXIST, Translated(texts::kImageExists, {imagePath})};
        return outcome;
    }
    Expected<DiskReading> read = ReadFloppy(source, mounts, progress, wrap);
    if (!read) {
        outcome.result = read.error();
        return outcome;
    }
    const DiskReading& reading = *read;
    if (reading.cancelled) {
        outcome.cancelled = true;
        return outcome;
    }
    const Result written = replace ? WriteFileBytes(imagePath, reading.bytes) : CreateFileBytes(imagePath, reading.bytes);
    if (!written.ok()) {
        outcome.result = Result{written.status, written.error, Translated(texts::kCannotWrite, {imagePath, written.reason})};
        return outcome;
    }
    outcome.unreadable = reading.unreadable;
    const std::string logPath = imagePath + ".log";
    if (reading.unreadable.empty()) {
        // A report left from an earlier backup under this name would now mislead.
        if (FileSize(logPath)) RemoveFile(logPath);
        return outcome;
    }
    outcome.filesHit = FilesAtSectors(reading.bytes, reading.unreadable);
    ImageVolume image(imagePath, {}, ImageAccess::ReadOnly);
    outcome.songsHit = SongsOfFiles(image, outcome.filesHit);
    const Result logged = WriteFileBytes(logPath, BackupReport(source, imagePath, reading.bytes, reading.unreadable));
    if (logged.ok()) {
        outcome.logPath = logPath;
    } else {
        outcome.result = Result::Notice(Translated(texts::kCannotWrite, {logPath, logged.reason}));
    }
    return outcome;
}

std::string BackupOutcome::Message(const std::string& source, const std::string& imagePath) const {
    if (cancelled) return Translated(texts::kBackupCancelled);
    if (!result.ok()) return result.reason;
    if (unreadable.empty()) return Translated(texts::kBackupDone, {source, imagePath});
    std::string text = Translated(texts::kBackupUnreadable, {source, imagePath, std::to_string(unreadable.size()),
                                                      logPath.empty() ? "-" : logPath});
    if (!songsHit.empty()) {
        // Appended piece by piece: GCC 12 warns falsely on "\n" + a string here.
        text += '\n';
        text += Translated(texts::kSongsHit);
        for (const std::string& song : songsHit) text += "\n  " + song;
    }
    std::string others;
    for (const std::string& file : filesHit) {
        if (SlotOfFile(file) < 0) others += "\n  " + file;
    }
    if (!others.empty()) {
        text += '\n';
        text += Translated(texts::kFilesHit);
        text += others;
    }
    if (!result.reason.empty()) text += "\n\n" + result.reason;
    return text;
}

Result CheckRestoreImage(const std::string& imagePath) {
    ImageVolume image(imagePath, {}, ImageAccess::ReadOnly);
    Result usable = image.Opened();
    if (usable.ok() && image.FileBytes() != kImageBytes) {
        usable = Result::Refused(Translated(texts::kImageHolds, {imagePath, std::to_string(image.FileBytes()), std::to_string(kImageBytes)}));
    }
    if (usable.ok()) return usable;
    return Result::Refused(Translated(texts::kNotAFloppyImage, {imagePath, usable.reason}));
}

RestoreOutcome RestoreFloppy(const std::string& imagePath, const std::string& device,
                             const std::vector<MountEntry>& mounts, const CopyProgress& progress,
                             const ImageStoreWrapper& wrap) {
    RestoreOutcome outcome;
    // The image first: nothing is written unless it is a floppy's whole.
    if (Result checked = CheckRestoreImage(imagePath); !checked.ok()) {
        outcome.result = std::move(checked);
        return outcome;
    }
    if (const std::optional<std::string> mountPoint = MountPointOf(device, mounts)) {
        outcome.result = Result::Refused(Translated(texts::kDeviceMounted, {device, *mountPoint}));
        return outcome;
    }
    const std::optional<std::string> bytes = ReadFileBytes(imagePath, kImageBytes + 1);
    if (!bytes || bytes->size() != kImageBytes) {
        outcome.result = Result::Refused(Translated(texts::kCannotRead, {imagePath, Result::FromErrno(errno).reason}));
        return outcome;
    }
    // Exclusive: a mount that the table did not show yet is refused here.
    Expected<std::unique_ptr<ImageStore>> disk = OpenFloppyDisk(device, {.write = true, .exclusive = true}, device, wrap);
    if (!disk) {
        outcome.result = disk.error();
        return outcome;
    }
    outcome.touched = true;
    outcome.writing = WriteWholeDisk(**disk, *bytes, progress);
    if (!outcome.writing.flush.ok()) {
        outcome.result = Result::FromErrno(EIO, Translated(texts::kCannotWrite, {device, outcome.writing.flush.reason}));
    }
    return outcome;
}

std::string RestoreOutcome::Message(const std::string& imagePath, const std::string& device) const {
    if (!touched) return result.reason;
    if (writing.cancelled) return Translated(texts::kRestoreCancelled, {device});
    std::string text;
    if (writing.differing.empty() && writing.unwritten.empty()) {
        text = Translated(texts::kRestoreDone, {imagePath, device});
    } else {
        std::string list;
        for (std::size_t i = 0; i < writing.differing.size() && i < 20; ++i) {
            list += (i == 0 ? "" : ", ") + std::to_string(writing.differing[i]);
        }
        if (writing.differing.size() > 20) list += ", ...";
        if (writing.differing.empty()) {
            for (std::uint32_t sector : writing.unwritten) list += (list.empty() ? "" : ", ") + std::to_string(sector);
        }
        text = Translated(texts::kRestoreDiffers, {imagePath, device,
                                           std::to_string(std::max(writing.differing.size(), writing.unwritten.size())), list});
    }
    if (!result.ok()) text += "\n\n" + result.reason;
    return text;
}

}  // namespace tunecrate
