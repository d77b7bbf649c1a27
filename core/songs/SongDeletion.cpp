// SPDX-License-Identifier: MIT
#include "core/songs/SongDeletion.h"

#include "core/songs/FloppyCatalogue.h"
#include "core/disk/FloppyVolume.h"
#include "core/text/SongNames.h"

namespace tunecrate {

namespace {

Result CannotDelete(std::string_view path, Result result) {
    result.reason = "Cannot delete " + std::string(path) + ".\n" + result.reason;
    return result;
}

}  // namespace

Result DeleteFloppySlots(FloppyVolume& volume, const std::vector<SlotRow>& shown, const std::vector<int>& selected) {
    const CatalogueReading now = ReadCatalogue(&volume);
    if (!now.readable) return Result::Refused(now.failure.empty() ? UnreadableFloppyMessage(volume.Root()) : now.failure);
    std::vector<int> slots;
    for (int slot : selected) {
        if (slot >= 0 && slot < static_cast<int>(now.rows.size())) slots.push_back(slot);
    }
    if (!CatalogueStillShows(now.rows, shown, slots)) return Result::Refused(CatalogueChangedMessage(false));
    Result result;
    std::vector<SlotText> emptied;
    for (int slot : slots) {
        const std::string base = SlotName(slot);
        Result removed = volume.Apply({FileChange{base + std::string(kSongExtension), std::nullopt},
                                           FileChange{base + std::string(kEventsExtension), std::nullopt}},
                                          Room::Songs);
        if (!removed.ok()) {
            // The song is still there: its title and comment stay with it.
            result.Include(CannotDelete(volume.Root() + base + std::string(kSongExtension), removed));
            continue;
        }
        emptied.push_back(SlotText{slot, std::string(), std::string()});
    }
    result.Include(UpdateCatalogue(volume, emptied));
    return result;
}

Result DeleteHardDiskSongs(std::string_view folder, const std::vector<std::string>& titles) {
    Result result;
    if (folder.empty()) return result;   // never without a folder the user chose
    for (const std::string& title : titles) {
        // A song's files go together, or none of them (a folder in a file's
        // name refuses the whole song).
        std::vector<FileChange> files;
        for (std::string_view extension : {kSongExtension, kEventsExtension, kCommentExtension}) {
            files.push_back(FileChange{title + std::string(extension), std::nullopt});
        }
        if (Result r = ReplaceFiles(std::string(folder), files, NameCase::Extension); !r.ok()) {
            result.Include(CannotDelete(JoinPath(folder, files.front().name), r));
        }
    }
    return result;
}

}  // namespace tunecrate
