// SPDX-License-Identifier: MIT
#include "core/songs/ShelfDuplicates.h"

#include <algorithm>
#include <map>

#include "core/disk/ImageVolume.h"
#include "core/songs/Shelf.h"

namespace tunecrate {

FloppySongHashes HashShelfImage(const std::string& folder, const std::string& file, const std::array<bool, kSlotCount>& holdsSong) {
    FloppySongHashes none;
    none.holdsSong = holdsSong;
    // Most rows of a stick hold no song: nothing to open.
    if (std::none_of(holdsSong.begin(), holdsSong.end(), [](bool holds) { return holds; })) return none;
    // As the shelf reads its rows: a locked image is passed over, not waited for.
    const ImageVolume volume(ShelfEntryPath(folder, file), {}, ImageAccess::ReadOnly);
    if (!volume.Opened().ok()) return none;
    return HashFloppySongs(volume, holdsSong);
}

std::vector<ShelfCopies> FindShelfDuplicates(const std::vector<FloppySongHashes>& rows) {
    std::vector<ShelfCopies> copies(rows.size());
    std::map<SongHash, ShelfSongPlace> firstSongs;
    // A row's songs sorted, so that slots do not matter and a song held twice counts twice.
    std::map<std::vector<SongHash>, std::size_t> firstFloppies;
    for (std::size_t row = 0; row < rows.size(); ++row) {
        std::vector<SongHash> songs;
        for (int slot = 0; slot < kSlotCount; ++slot) {
            const std::optional<SongHash>& hash = rows[row].hashes[static_cast<std::size_t>(slot)];
            if (!hash) continue;
            songs.push_back(*hash);
            const auto [first, isFirst] = firstSongs.try_emplace(*hash, ShelfSongPlace{row, slot});
            if (!isFirst) copies[row].songSameAs[static_cast<std::size_t>(slot)] = first->second;
        }
        // A song that could not be read might be anything: such a floppy is no known copy, nor known copied.
        if (songs.empty() || !rows[row].AllRead()) continue;
        std::sort(songs.begin(), songs.end());
        const auto [first, isFirst] = firstFloppies.try_emplace(std::move(songs), row);
        if (!isFirst) copies[row].sameAs = first->second;
    }
    return copies;
}

}  // namespace tunecrate
