// SPDX-License-Identifier: MIT
#include "core/songs/SongDeletion.h"

#include "core/songs/FloppyCatalogue.h"
#include "core/disk/FloppyVolume.h"
#include "core/text/SongNames.h"

namespace tunecrate {

namespace {

std::string CannotDelete(std::string_view path, const FileResult& result) {
    return "Cannot delete " + std::string(path) + ".\n" + result.Reason();
}

}  // namespace

std::vector<std::string> DeleteFloppySlots(FloppyVolume& volume, const std::vector<SlotRow>& shown,
                                           const std::vector<int>& selected) {
    const CatalogueReading now = ReadCatalogue(&volume);
    if (!now.readable) return {now.failure.empty() ? UnreadableFloppyMessage(volume.Root()) : now.failure};
    std::vector<int> slots;
    for (int slot : selected) {
        if (slot >= 0 && slot < static_cast<int>(now.rows.size())) slots.push_back(slot);
    }
    if (!CatalogueStillShows(now.rows, shown, slots)) return {CatalogueChangedMessage(false)};
    std::vector<std::string> failures;
    std::vector<SlotText> emptied;
    for (int slot : slots) {
        const std::string base = SlotName(slot);
        FileResult removed = volume.Apply({FileChange{base + std::string(kSongExtension), std::nullopt},
                                           FileChange{base + std::string(kEventsExtension), std::nullopt}},
                                          Room::Songs);
        if (!removed.ok()) {
            // The song is still there: its title and comment stay with it.
            failures.push_back(CannotDelete(volume.Root() + base + std::string(kSongExtension), removed));
            continue;
        }
        emptied.push_back(SlotText{slot, std::string(), std::string()});
    }
    for (std::string& failure : UpdateCatalogue(volume, emptied)) failures.push_back(std::move(failure));
    return failures;
}

std::vector<std::string> DeleteHardDiskSongs(std::string_view folder, const std::vector<std::string>& titles) {
    std::vector<std::string> failures;
    if (folder.empty()) return failures;   // never without a folder the user chose
    for (const std::string& title : titles) {
        for (std::string_view extension : {kSongExtension, kEventsExtension, kCommentExtension}) {
            if (FileResult r = RemoveWithExtensionNoCase(folder, title, extension); !r.ok()) {
                failures.push_back(CannotDelete(JoinPath(folder, title + std::string(extension)), r));
            }
        }
    }
    return failures;
}

}  // namespace tunecrate
