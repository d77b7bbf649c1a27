// SPDX-License-Identifier: MIT
#include "core/songs/SongHash.h"

#include <cerrno>
#include <vector>

#include "core/disk/FatImage.h"
#include "core/disk/FloppyVolume.h"

namespace tunecrate {

namespace {

constexpr std::array<std::string_view, 3> kSongFileExtensions = {kSongExtension, kEventsExtension, kCommentExtension};

// Whether the file is there, then its length (8 bytes, lowest first) and its bytes.
void Frame(Sha256& hash, const std::optional<std::string>& file) {
    hash.Update(file ? std::string_view("\1", 1) : std::string_view("\0", 1));
    if (!file) return;
    char length[8];
    for (std::size_t i = 0; i < 8; ++i) length[i] = static_cast<char>(static_cast<std::uint64_t>(file->size()) >> (8 * i));
    hash.Update(std::string_view(length, sizeof length));
    hash.Update(*file);
}

// The file as `look` found it, read whole (nullopt when it is not there);
// a failure when it is there but cannot be read as it was seen.
Expected<std::optional<std::string>> ReadWholeFile(const FloppyVolume& floppy, const std::optional<FileLook>& look) {
    if (!look) return std::optional<std::string>();
    if (!look->size) return Result::FromErrno(EINVAL);   // a folder, a FIFO: no song's file
    // No floppy file is larger than a floppy; a folder standing in for one may hold anything.
    if (*look->size > kImageBytes) return Result::FromErrno(EFBIG);
    // One byte more than it had tells a file that grew since it was looked at.
    std::optional<std::string> bytes = floppy.ReadFile(look->name, static_cast<std::size_t>(*look->size) + 1);
    if (!bytes || bytes->size() != *look->size) return Result::FromErrno(EIO);
    return bytes;
}

}  // namespace

SongHash HashSong(const SongContent& files) {
    Sha256 hash;
    Frame(hash, files.song);
    Frame(hash, files.events);
    Frame(hash, files.comment);
    return hash.Final();
}

bool FloppySongHashes::AllRead() const {
    for (std::size_t slot = 0; slot < kSlotCount; ++slot) {
        if (holdsSong[slot] && !hashes[slot]) return false;
    }
    return true;
}

FloppySongHashes HashFloppySongs(const FloppyVolume& floppy, const std::array<bool, kSlotCount>& holdsSong) {
    FloppySongHashes found;
    found.holdsSong = holdsSong;
    // One look for every file: a folder is listed at most once.
    std::vector<std::string> names;
    for (std::size_t slot = 0; slot < kSlotCount; ++slot) {
        if (!holdsSong[slot]) continue;
        for (std::string_view extension : kSongFileExtensions) names.push_back(SlotName(static_cast<int>(slot)) + std::string(extension));
    }
    if (names.empty()) return found;
    const std::vector<std::optional<FileLook>> looks = floppy.LookAt(names);
    std::size_t firstLook = 0;
    for (std::size_t slot = 0; slot < kSlotCount; ++slot) {
        if (!holdsSong[slot]) continue;
        std::array<std::optional<std::string>, kSongFileExtensions.size()> read;
        bool whole = true;
        for (std::size_t file = 0; whole && file < read.size(); ++file) {
            Expected<std::optional<std::string>> bytes = ReadWholeFile(floppy, looks[firstLook + file]);
            if ((whole = bytes.has_value())) read[file] = std::move(*bytes);
        }
        firstLook += read.size();
        // Without its song file the slot no longer holds the song its row shows.
        if (whole && read[0]) found.hashes[slot] = HashSong({std::move(read[0]), std::move(read[1]), std::move(read[2])});
    }
    return found;
}

}  // namespace tunecrate
