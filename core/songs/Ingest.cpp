// SPDX-License-Identifier: MIT
#include "core/songs/Ingest.h"

#include <algorithm>
#include <cerrno>
#include <chrono>

#include "core/Texts.h"
#include "core/disk/FileOps.h"
#include "core/disk/FolderTree.h"
#include "core/disk/ImageVolume.h"
#include "core/disk/StickSlots.h"
#include "core/songs/FloppyBackup.h"
#include "core/songs/ShelfDuplicates.h"
#include "core/songs/ShelfImages.h"
#include "core/text/Encoding.h"

namespace tunecrate {

namespace {

constexpr std::size_t kLabelCharacters = 40;

bool Blank(const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c == ' ' || c == '\t' || c == '\0'; });
}

}  // namespace

std::string FileLabel(const std::string& utf8) {
    std::string label;
    std::size_t characters = 0;
    for (std::size_t i = 0; i < utf8.size() && characters < kLabelCharacters;) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        const std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
        const std::string character = utf8.substr(i, length);
        i += length;
        ++characters;
        // What a FAT file system or a shell makes trouble of becomes "_".
        if (length == 1 && (lead < 0x20 || lead == 0x7F || std::string_view("/\\:*?\"<>|").find(static_cast<char>(lead)) != std::string_view::npos)) {
            label += '_';
        } else {
            label += character;
        }
    }
    const std::size_t start = label.find_first_not_of(' ');
    if (start == std::string::npos) return {};
    label.erase(0, start);
    while (!label.empty() && (label.back() == ' ' || label.back() == '.')) label.pop_back();
    return label;
}

std::string LabelFromTitles(const std::array<std::string, kSlotCount>& utf8Titles) {
    for (const std::string& title : utf8Titles) {
        if (!Blank(title)) return FileLabel(title);
    }
    return {};
}

Expected<IngestShelf> IngestShelf::Open(const std::string& shelf, const std::function<bool()>& goOn) {
    IngestShelf opened;
    opened.m_shelf = shelf;
    const FloppiesAtPath at = FloppiesAt(shelf);
    if (!at.refusal.empty()) {
        // A blank stick is an empty shelf: its slots take the disks from 0 on.
        const Expected<std::shared_ptr<const StickHold>> hold = StickHold::Take(shelf);
        if (!hold || (*hold)->reading().layout != StickLayout::Blank) return Result::Refused(at.refusal);
        opened.m_folder = false;
        return opened;
    }
    if (at.floppyFolder) return Result::Refused(Translated(texts::kIngestNeedsShelf, {shelf}));
    opened.m_folder = !at.stick;
    ShelfReader reader(at.folder);
    for (const ShelfEntry& entry : at.images) {
        if (goOn && !goOn()) break;
        if (!entry.IsImage()) continue;
        const ShelfRow row = reader.Read(entry);
        if (row.emptySlot || !row.catalogueRead) continue;
        opened.m_images.push_back(entry.file);
        opened.m_hashes.push_back(HashShelfImage(at.folder, entry.file, row.holdsSong));
    }
    return opened;
}

FloppySongHashes IngestShelf::Look(IngestedDisk& disk, const std::string& bytes, const std::string& drive) const {
    FloppySongHashes hashes;
    disk.filesHit = FilesAtSectors(bytes, disk.unreadable);
    const MemoryFile memory(bytes);
    if (memory.path().empty()) return hashes;
    ImageVolume volume(memory.path(), {}, ImageAccess::ReadOnly);
    const ShelfRow row = ReadShelfFloppy(volume, "", drive);
    for (std::size_t slot = 0; slot < kSlotCount; ++slot) disk.titles[slot] = Cp932ToUtf8(row.titles[slot]);
    disk.songs = row.songs;
    disk.songsHit = SongsOfFiles(volume, disk.filesHit);
    if (!row.catalogueRead) return hashes;
    hashes = HashFloppySongs(volume, row.holdsSong);
    // A song with an unreadable sector is not the song it was: it matches nothing.
    for (int slot = 0; slot < kSlotCount; ++slot) {
        const std::string stem = SlotName(slot) + ".";
        for (const std::string& file : disk.filesHit) {
            if (file.size() > stem.size() && EqualsNoCase(std::string_view(file).substr(0, stem.size()), stem)) {
                hashes.hashes[static_cast<std::size_t>(slot)].reset();
            }
        }
    }
    return hashes;
}

void IngestShelf::Report(IngestedDisk& disk, const std::string& drive, const std::string& bytes) const {
    disk.logPath.clear();
    // A slot has no file beside it: its report is the table's row.
    if (!m_folder || !disk.written()) return;
    const std::string image = JoinPath(m_shelf, disk.image);
    const std::string log = image + ".log";
    if (disk.unreadable.empty()) {
        if (FileSize(log)) RemoveFile(log);
        return;
    }
    const Result logged = WriteFileBytes(log, BackupReport(drive, image, bytes, disk.unreadable));
    if (logged.ok()) {
        disk.logPath = log;
    } else {
        disk.result = Result::Notice(Translated(texts::kCannotWrite, {log, logged.reason}));
    }
}

IngestedDisk IngestShelf::Take(const std::string& drive, const std::vector<MountEntry>& mounts, const IngestOptions& options,
                               const CopyProgress& progress, const ImageStoreWrapper& wrap) {
    const auto started = std::chrono::steady_clock::now();
    IngestedDisk disk;
    m_last = {};
    m_lastReading = {};
    Expected<DiskReading> reading = ReadFloppy(drive, mounts, progress, wrap);
    if (!reading) {
        disk.result = reading.error();
        return disk;
    }
    if (reading->cancelled) {
        disk.cancelled = true;
        return disk;
    }
    disk.unreadable = reading->unreadable;
    FloppySongHashes hashes = Look(disk, reading->bytes, drive);
    disk.label = options.label.empty() ? LabelFromTitles(disk.titles) : FileLabel(options.label);

    std::vector<FloppySongHashes> rows = m_hashes;
    rows.push_back(hashes);
    const std::optional<std::size_t> sameAs = FindShelfDuplicates(rows).back().sameAs;
    if (sameAs) disk.copyOf = m_images[*sameAs];
    if (!sameAs || options.keepCopies) {
        const ImageOutcome added = AddShelfImage(m_shelf, reading->bytes, disk.label, options.numbers);
        if (!added.result.ok()) {
            disk.result = added.result;
        } else {
            disk.image = added.to;
            disk.number = ShelfEntryNumber(added.to);
            m_images.push_back(added.to);
            m_hashes.push_back(hashes);
            Report(disk, drive, reading->bytes);
        }
    }
    disk.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    m_last = disk;
    m_lastReading = std::move(*reading);
    return disk;
}

IngestedDisk IngestShelf::Retry(const std::string& drive, const std::vector<MountEntry>& mounts, int passes,
                                const CopyProgress& progress, const ImageStoreWrapper& wrap) {
    IngestedDisk disk = m_last;
    if (!disk.written() || disk.unreadable.empty()) return disk;
    const auto started = std::chrono::steady_clock::now();
    Expected<DiskReading> reading = RereadFloppy(drive, mounts, m_lastReading, passes, progress, wrap);
    if (!reading) {
        disk.result = reading.error();
        return disk;
    }
    disk.seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    // A stopped retry still keeps what it read.
    disk.cancelled = reading->cancelled;
    if (reading->unreadable.size() < disk.unreadable.size()) {
        const ImageOutcome rewritten = RewriteShelfImage(m_shelf, disk.image, reading->bytes);
        if (!rewritten.result.ok()) {
            disk.result = rewritten.result;
            return disk;
        }
        disk.unreadable = reading->unreadable;
        const FloppySongHashes hashes = Look(disk, reading->bytes, drive);
        if (const auto at = std::find(m_images.begin(), m_images.end(), disk.image); at != m_images.end()) {
            m_hashes[static_cast<std::size_t>(at - m_images.begin())] = hashes;
        }
        disk.result = {};
        Report(disk, drive, reading->bytes);
        m_lastReading = std::move(*reading);
    }
    m_last = disk;
    return disk;
}

Expected<IngestedDisk> IngestShelf::Relabel(const IngestedDisk& disk, const std::string& label) {
    IngestedDisk relabelled = disk;
    relabelled.label = FileLabel(label);
    if (!disk.written()) return relabelled;
    const ImageOutcome renamed = RelabelShelfImage(m_shelf, disk.image, relabelled.label);
    if (!renamed.result.ok()) return renamed.result;
    relabelled.image = renamed.to;
    if (!disk.logPath.empty() && renamed.to != disk.image) {
        const std::string log = JoinPath(m_shelf, renamed.to) + ".log";
        if (RenameNoReplace(disk.logPath, log).ok()) relabelled.logPath = log;
    }
    std::replace(m_images.begin(), m_images.end(), disk.image, relabelled.image);
    if (m_last.image == disk.image) m_last = relabelled;
    return relabelled;
}

std::string IngestLine(const IngestedDisk& disk) {
    if (disk.cancelled && !disk.written()) return Translated(texts::kIngestCancelled);
    std::string line = disk.number ? std::to_string(*disk.number) : std::string("-");
    line += "  " + (disk.written() ? disk.image : Translated(texts::kIngestNotWritten));
    line += "  " + Translated(texts::kIngestSongs, {std::to_string(disk.songs)});
    line += "  " + Translated(texts::kIngestSeconds, {std::to_string(static_cast<long>(disk.seconds + 0.5))});
    if (!disk.copyOf.empty()) line += "  " + Translated(texts::kIngestCopyOf, {disk.copyOf});
    if (!disk.unreadable.empty()) {
        line += "  " + Translated(texts::kIngestUnreadable, {std::to_string(disk.unreadable.size())});
        for (const std::string& song : disk.songsHit) line += " [" + song + "]";
    }
    if (!disk.result.ok()) line += "  " + disk.result.reason;
    return line;
}

std::string IngestCsv(const std::vector<IngestedDisk>& disks) {
    std::string csv = "\xEF\xBB\xBF" + Translated(texts::kIngestCsvHeader) + "\r\n";
    for (const IngestedDisk& disk : disks) {
        if (disk.number) csv += std::to_string(*disk.number);
        csv += ',';
        csv += CsvField(disk.image);
        csv += ',';
        csv += CsvField(disk.label);
        for (const std::string& title : disk.titles) {
            csv += ',';
            csv += CsvField(title);
        }
        csv += ',';
        csv += std::to_string(disk.songs);
        csv += ',';
        csv += std::to_string(disk.unreadable.size());
        std::string hit;
        for (const std::string& song : disk.songsHit) hit += (hit.empty() ? "" : "; ") + song;
        csv += ',';
        csv += CsvField(hit);
        csv += ',';
        csv += CsvField(disk.copyOf);
        csv += ',';
        csv += std::to_string(static_cast<long>(disk.seconds + 0.5));
        csv += ',';
        csv += CsvField(disk.cancelled ? Translated(texts::kIngestCancelled) : disk.result.reason);
        csv += "\r\n";
    }
    return csv;
}

}  // namespace tunecrate
