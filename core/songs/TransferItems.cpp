// SPDX-License-Identifier: MIT
#include "core/songs/TransferItems.h"

#include "core/disk/FatImage.h"
#include "core/disk/FileOps.h"
#include "core/disk/FloppyVolume.h"
#include "core/text/SongNames.h"
#include "core/Texts.h"
#include "core/songs/SongRename.h"

namespace tunecrate {

Expected<SlotSong> ReadSlotSong(const FloppyVolume& floppy, int slot) {
    SlotSong copy;
    for (std::string_view extension : {kSongExtension, kEventsExtension}) {
        const std::string name = SlotName(slot) + std::string(extension);
        const bool isSong = extension == kSongExtension;
        if (!isSong && !floppy.Exists(name)) continue;
        // No floppy file is larger than a floppy; a folder standing in for one may hold anything.
        auto bytes = floppy.ReadFile(name, kImageBytes);
        if (!bytes || floppy.FileSize(name) != std::optional<std::uint64_t>(bytes->size())) {
            return Result::Refused(Translated(texts::kFloppyFileUnreadable, {floppy.Root() + name}));
        }
        (isSong ? copy.song : copy.events.emplace()) = std::move(*bytes);
    }
    return copy;
}

}  // namespace tunecrate
