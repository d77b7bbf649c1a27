// SPDX-License-Identifier: MIT
#include "core/songs/SongDeletion.h"

#include "core/songs/FloppyCatalogue.h"
#include "core/disk/FloppyVolume.h"
#include "core/text/SongNames.h"
#include "core/Texts.h"
#include "core/Result.h"

namespace tunecrate {

namespace {

Result CannotDelete(std::string_view path, Result result) {
    result.reason = Translated(texts::kCannotDelete, {path, result.reason});
    return result;
}

}  // namespace

Result DeleteFloppySlots(FloppyVolume& volume, const std::vector<SlotRow>& shown, const std::vector<int>& selected) {
    const Expected<CatalogueReading> now = ReadCatalogue(&volume);
    if (!now) return Result::Refused(now.error().reason);
    std::vector<int> slots;
    std::vector<std::string> names = {std::string(kTitlesFile), std::string(kCommentsFile)};
    for (int slot : selected) {
        if (slot < 0 || slot >= static_cast<int>(now->rows.size())) continue;
        slots.push_back(slot);
        names.push_back(SlotName(slot) + std::string(kSongExtension));
        names.push_back(SlotName(slot) + std::string(kEventsExtension));
    }
    if (!CatalogueStillShows(now->rows, shown, slots)) return Result::Refused(CatalogueChangedMessage(false));
    if (Result refused = volume.CheckChange(names); !refused.ok()) return refused;
    // The titles and comments go before the files, so that no moment shows a
    // slot's title without its song; a floppy too full even for that gets its
    // room from the files, which then go first.
    std::vector<SlotText> emptied;
    for (int slot : slots) emptied.push_back(SlotText{slot, std::string(), std::string()});
    Result blanked = UpdateCatalogue(volume, emptied);
    const bool textsFirst = blanked.ok();
    if (!textsFirst && blanked.status != Status::DiskFull) return blanked;
    Result result;
    std::vector<SlotText> kept, gone;
    for (int slot : slots) {
        const std::string base = SlotName(slot);
        Result removed = volume.Apply({FileChange{base + std::string(kSongExtension), std::nullopt},
                                       FileChange{base + std::string(kEventsExtension), std::nullopt}},
                                      CatalogueReserve::Keep);
        if (!removed.ok()) result.Include(CannotDelete(volume.Root() + base + std::string(kSongExtension), removed));
        // A song still there keeps its title and comment; one gone, even
        // where the disk would not confirm it, keeps none.
        if (!removed.ok() && volume.Exists(base + std::string(kSongExtension))) {
            const SlotRow& row = now->rows[static_cast<std::size_t>(slot)];
            kept.push_back(SlotText{slot, row.title, row.comment});
            continue;
        }
        gone.push_back(SlotText{slot, std::string(), std::string()});
    }
    result.Include(UpdateCatalogue(volume, textsFirst ? kept : gone));
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
