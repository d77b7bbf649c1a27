// SPDX-License-Identifier: MIT
#include "core/disk/DiskCopy.h"

#include <algorithm>
#include <cmath>
#include <cerrno>
#include <cstring>
#include <map>
#include <set>

#include "core/Result.h"
#include "core/disk/FatImage.h"
#include "core/Texts.h"

namespace tunecrate {

namespace {

// Reads `count` sectors from `first`; false when any of them fails.
bool ReadSectors(ImageStore& disk, std::uint32_t first, std::uint32_t count, char* into) {
    return disk.Read(std::uint64_t{first} * kImageSectorBytes, into, std::size_t{count} * kImageSectorBytes);
}

// The files and folders of the image, each cluster to the path that holds it.
struct ClusterMap {
    std::map<std::uint16_t, std::string> owner;
    std::map<std::uint32_t, std::string> rootSlot;   // root slot -> entry name
};

std::string EntryName(const FatEntry& entry) { return entry.longName.empty() ? entry.shortName : entry.longName; }

void MapFolder(const FatImage& fat, std::string_view image, const std::vector<FatEntry>& entries,
               const std::string& prefix, ClusterMap& map, std::set<std::uint16_t>& seenFolders, int depth) {
    for (const FatEntry& entry : entries) {
        const std::string path = prefix + EntryName(entry);
        // As far as the chain goes: a folder's entry gives no size.
        const FatImage::TracedChain traced = fat.TraceChain(entry.firstCluster, entry.size);
        for (std::uint16_t cluster : traced.clusters) map.owner.emplace(cluster, path);
        if (!entry.IsFolder() || depth > 16 || !seenFolders.insert(entry.firstCluster).second) continue;
        std::string bytes;
        for (std::uint16_t cluster : traced.clusters) {
            const std::uint64_t at = fat.ClusterOffset(cluster);
            if (at + kImageSectorBytes <= image.size()) bytes.append(image.substr(at, kImageSectorBytes));
        }
        MapFolder(fat, image, FatImage::ParseEntries(bytes), path + "/", map, seenFolders, depth + 1);
    }
}

std::optional<FatImage> ParseImage(std::string_view image) {
    if (image.size() < kImageBytes) return std::nullopt;
    Expected<FatImage> fat = FatImage::Parse(image.substr(0, kImageSectorBytes));
    if (!fat) return std::nullopt;
    const std::uint64_t rootBytes = std::uint64_t{kImageRootEntries} * kDirEntryBytes;
    if (!fat->Load(image.substr(fat->FatOffset(0), fat->FatUsedBytes()), image.substr(fat->RootOffset(), rootBytes)).ok()) {
        return std::nullopt;
    }
    return std::move(*fat);
}

ClusterMap MapClusters(const FatImage& fat, std::string_view image) {
    ClusterMap map;
    std::set<std::uint16_t> seen;
    MapFolder(fat, image, fat.Entries(), "", map, seen, 0);
    for (const FatEntry& entry : fat.Entries()) {
        for (std::uint32_t slot = entry.firstSlot; slot <= entry.slot; ++slot) map.rootSlot[slot] = EntryName(entry);
    }
    return map;
}

}  // namespace

std::optional<int> SecondsLeft(double secondsSoFar, std::uint64_t done, std::uint64_t total) {
    if (secondsSoFar < 1.0 || done == 0 || done > total) return std::nullopt;
    return static_cast<int>(std::ceil(secondsSoFar * static_cast<double>(total - done) / static_cast<double>(done)));
}

std::string TimeLeftText(int seconds) {
    if (seconds < 60) return Translated(texts::kTimeLeftSeconds, {std::to_string(seconds)});
    return Translated(texts::kTimeLeftMinutes, {std::to_string(seconds / 60), std::to_string(seconds % 60)});
}

DiskReading ReadWholeDisk(ImageStore& disk, std::uint64_t bytes, const CopyProgress& progress) {
    DiskReading reading;
    const auto sectors = static_cast<std::uint32_t>(bytes / kImageSectorBytes);
    reading.bytes.assign(std::size_t{sectors} * kImageSectorBytes, '\0');
    // First every track whole, passing over those that fail: the good data
    // of a failing disk is safe before its bad areas are ground at.
    std::vector<std::uint32_t> failed;
    for (std::uint32_t first = 0; first < sectors; first += kTrackSectors) {
        if (progress && !progress(first, sectors)) {
            reading.cancelled = true;
            return reading;
        }
        const std::uint32_t count = std::min(kTrackSectors, sectors - first);
        if (ReadSectors(disk, first, count, reading.bytes.data() + std::size_t{first} * kImageSectorBytes)) continue;
        for (std::uint32_t sector = first; sector < first + count; ++sector) failed.push_back(sector);
    }
    // Then the failed tracks sector by sector, and what still fails kSectorRetries more times.
    reading.unreadable = std::move(failed);
    if (!RereadSectors(disk, reading, 1 + kSectorRetries, [&] { return !progress || progress(sectors, sectors); })) {
        reading.cancelled = true;
        return reading;
    }
    if (progress) progress(sectors, sectors);
    return reading;
}

bool RereadSectors(ImageStore& disk, DiskReading& reading, int passes, const std::function<bool()>& goOn) {
    for (int pass = 0; pass < passes && !reading.unreadable.empty(); ++pass) {
        // Every other pass goes backwards, as a drive may read a sector coming from the other side.
        if (pass % 2 == 1) std::reverse(reading.unreadable.begin(), reading.unreadable.end());
        std::vector<std::uint32_t> still;
        for (std::uint32_t sector : reading.unreadable) {
            if (goOn && !goOn()) return false;
            char* into = reading.bytes.data() + std::size_t{sector} * kImageSectorBytes;
            if (!ReadSectors(disk, sector, 1, into)) {
                std::memset(into, 0, kImageSectorBytes);
                still.push_back(sector);
            }
        }
        reading.unreadable = std::move(still);
        std::sort(reading.unreadable.begin(), reading.unreadable.end());
    }
    return true;
}

DiskWriting WriteWholeDisk(ImageStore& disk, std::string_view image, const CopyProgress& progress) {
    DiskWriting writing;
    const auto sectors = static_cast<std::uint32_t>(image.size() / kImageSectorBytes);
    for (std::uint32_t first = 0; first < sectors; first += kTrackSectors) {
        if (progress && !progress(first, 2 * sectors)) {
            writing.cancelled = true;
            disk.Flush();
            return writing;
        }
        const std::uint32_t count = std::min(kTrackSectors, sectors - first);
        const auto at = [&](std::uint32_t sector) { return std::uint64_t{sector} * kImageSectorBytes; };
        if (disk.Write(at(first), image.substr(at(first), count * kImageSectorBytes))) continue;
        for (std::uint32_t sector = first; sector < first + count; ++sector) {
            if (!disk.Write(at(sector), image.substr(at(sector), kImageSectorBytes))) writing.unwritten.push_back(sector);
        }
    }
    if (!disk.Flush()) writing.flush = Result::FromErrno(errno);
    // The read-back: through the same exclusive handle, so nothing mounts the
    // disk in between, and past the cache, so it is the disk that answers.
    const DiskReading back = ReadWholeDisk(disk, image.size(), [&](std::uint32_t done, std::uint32_t) {
        return !progress || progress(sectors + done, 2 * sectors);
    });
    if (back.cancelled) {
        writing.cancelled = true;
        return writing;
    }
    std::set<std::uint32_t> differing(back.unreadable.begin(), back.unreadable.end());
    for (std::uint32_t sector = 0; sector < sectors; ++sector) {
        const std::size_t at = std::size_t{sector} * kImageSectorBytes;
        if (back.bytes.compare(at, kImageSectorBytes, image, at, kImageSectorBytes) != 0) differing.insert(sector);
    }
    writing.differing.assign(differing.begin(), differing.end());
    if (progress) progress(2 * sectors, 2 * sectors);
    return writing;
}

std::vector<std::string> SectorOwners(std::string_view image, const std::vector<std::uint32_t>& sectors) {
    const std::optional<FatImage> fat = ParseImage(image);
    if (!fat) return std::vector<std::string>(sectors.size(), "unknown: the boot sector or a FAT is unreadable");
    const ClusterMap map = MapClusters(*fat, image);
    const std::uint64_t fatBytes = fat->FatUsedBytes();
    const std::uint64_t rootEnd = fat->RootOffset() + std::uint64_t{kImageRootEntries} * kDirEntryBytes;
    std::vector<std::string> owners;
    for (std::uint32_t sector : sectors) {
        const std::uint64_t at = std::uint64_t{sector} * kImageSectorBytes;
        std::string owner;
        if (at < fat->FatOffset(0)) {
            owner = "boot sector";
        } else if (at < fat->RootOffset() && at >= fat->FatOffset(1)) {
            owner = at < fat->FatOffset(1) + fatBytes ? "FAT 2" : "FAT 2 (unused part)";
        } else if (at < fat->RootOffset()) {
            owner = at < fat->FatOffset(0) + fatBytes ? "FAT 1" : "FAT 1 (unused part)";
        } else if (at < rootEnd) {
            owner = "root folder";
            const auto firstSlot = static_cast<std::uint32_t>((at - fat->RootOffset()) / kDirEntryBytes);
            std::set<std::string> names;
            for (std::uint32_t slot = firstSlot; slot < firstSlot + kImageSectorBytes / kDirEntryBytes; ++slot) {
                if (auto it = map.rootSlot.find(slot); it != map.rootSlot.end()) names.insert(it->second);
            }
            std::string list;
            for (const std::string& name : names) list += (list.empty() ? "" : ", ") + name;
            if (!list.empty()) owner += " (entries of " + list + ")";
        } else {
            const auto cluster = static_cast<std::uint16_t>(2 + (at - fat->ClusterOffset(2)) / kImageSectorBytes);
            const auto it = map.owner.find(cluster);
            owner = it != map.owner.end() ? it->second : cluster < fat->ClusterCount() + 2 ? "free space" : "past the last cluster";
        }
        owners.push_back(owner);
    }
    return owners;
}

std::vector<std::string> FilesAtSectors(std::string_view image, const std::vector<std::uint32_t>& sectors) {
    std::vector<std::string> files;
    const std::optional<FatImage> fat = ParseImage(image);
    if (!fat) return files;
    const ClusterMap map = MapClusters(*fat, image);
    for (std::uint32_t sector : sectors) {
        const std::uint64_t at = std::uint64_t{sector} * kImageSectorBytes;
        if (at < fat->ClusterOffset(2)) continue;
        const auto cluster = static_cast<std::uint16_t>(2 + (at - fat->ClusterOffset(2)) / kImageSectorBytes);
        const auto it = map.owner.find(cluster);
        if (it != map.owner.end() && std::find(files.begin(), files.end(), it->second) == files.end()) {
            files.push_back(it->second);
        }
    }
    return files;
}

}  // namespace tunecrate
