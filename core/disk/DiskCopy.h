// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/Result.h"
#include "core/disk/ImageVolume.h"

namespace tunecrate {

// Whole-disk copies between a floppy and an image: a track at a time, the
// way a drive reads fastest; sector by sector, with retries, where a track fails.
inline constexpr std::uint32_t kTrackSectors = 18;
inline constexpr int kSectorRetries = 3;

// Gets the sectors done and the sectors in all; false stops the copy.
using CopyProgress = std::function<bool(std::uint32_t done, std::uint32_t total)>;

// The seconds a copy still needs at the speed it has had so far; none until
// it has run a second and done something.
std::optional<int> SecondsLeft(double secondsSoFar, std::uint64_t done, std::uint64_t total);
// "about 1 min 20 s left", in the user's language.
std::string TimeLeftText(int seconds);

struct DiskReading {
    std::string bytes;                       // every sector; an unreadable one is zeros
    std::vector<std::uint32_t> unreadable;   // sector numbers, rising
    bool cancelled = false;
};
// Reads the first `bytes` of the disk (whole sectors): every track first,
// then the sectors of the tracks that failed one by one. A sector is
// unreadable when its first read and kSectorRetries more all fail.
DiskReading ReadWholeDisk(ImageStore& disk, std::uint64_t bytes, const CopyProgress& progress);

// Tries the unreadable sectors of `reading` again, one at a time, in up to
// `passes` passes over those still unreadable; what is read takes the place
// of their zeros. False (the reading as far as it got) once `goOn` says stop.
bool RereadSectors(ImageStore& disk, DiskReading& reading, int passes, const std::function<bool()>& goOn);

struct DiskWriting {
    std::vector<std::uint32_t> unwritten;   // sectors whose writes failed
    std::vector<std::uint32_t> differing;   // read back unlike the image, or unreadable
    bool cancelled = false;                 // the disk holds only part of the image
    Result flush;                           // the final flush's failure
    bool ok() const { return unwritten.empty() && differing.empty() && !cancelled && flush.ok(); }
};
// Writes `image` over the disk, flushes, then reads every sector back and
// compares. Progress counts both passes.
DiskWriting WriteWholeDisk(ImageStore& disk, std::string_view image, const CopyProgress& progress);

// What holds each sector of a FAT12 floppy's bytes: "boot sector", "FAT 1",
// "FAT 2", "root folder" (with the entries it holds), a file's path, or
// "free space". Without a readable boot sector every answer says so.
std::vector<std::string> SectorOwners(std::string_view image, const std::vector<std::uint32_t>& sectors);

// The paths of the files that hold any of `sectors` (in the root and in folders), each once.
std::vector<std::string> FilesAtSectors(std::string_view image, const std::vector<std::uint32_t>& sectors);

}  // namespace tunecrate
