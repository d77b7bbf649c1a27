// SPDX-License-Identifier: MIT
#include "core/SongDeletion.h"

#include "core/FloppyCatalogue.h"
#include "core/FloppyVolume.h"
#include "core/SongNames.h"

namespace tunecrate {

namespace {

std::string CannotDelete(std::string_view path, const FileResult& result) {
    return "Cannot delete " + std::string(path) + ".\n" + result.Reason();
}

}  // namespace

std::vector<std::string> DeleteFloppySlots(FloppyVolume& volume, std::vector<SlotRow>& rows,
                                           const std::vector<int>& slots) {
    std::vector<std::string> failures;
    for (int slot : slots) {
        if (slot < 0 || slot >= static_cast<int>(rows.size())) continue;
        const std::string base = SlotName(slot);
        const std::string song = base + std::string(kSongExtension);
        const std::string events = base + std::string(kEventsExtension);
        FileResult removed = volume.Remove(song);
        if (!removed.ok()) {
            // The song is still there: its title and comment stay with it.
            failures.push_back(CannotDelete(volume.Root() + song, removed));
            continue;
        }
        if (FileResult r = volume.Remove(events); !r.ok()) failures.push_back(CannotDelete(volume.Root() + events, r));
        rows[static_cast<std::size_t>(slot)].title.clear();
        rows[static_cast<std::size_t>(slot)].comment.clear();
    }
    for (std::string& failure : WriteCatalogue(volume, rows)) failures.push_back(std::move(failure));
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
