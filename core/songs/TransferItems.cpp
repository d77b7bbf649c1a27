// SPDX-License-Identifier: MIT
#include "core/songs/TransferItems.h"

#include <algorithm>

#include "core/disk/FatImage.h"
#include "core/disk/FileOps.h"
#include "core/disk/FloppyVolume.h"
#include "core/songs/Prompter.h"
#include "core/text/SongNames.h"
#include "core/Texts.h"
#include "core/songs/SongRename.h"

namespace tunecrate {

bool IsHardDiskItem(const std::string& item) {
    if (item.empty() || item.front() != '/') return false;
    return IsFileTitle(item.substr(item.rfind('/') + 1));
}

HardDiskItem SplitHardDiskItem(const std::string& item) {
    const auto slash = item.rfind('/');
    if (slash == std::string::npos) return {"", item};
    return {slash == 0 ? "/" : item.substr(0, slash), item.substr(slash + 1)};
}

std::vector<int> FloppyItems(const std::vector<std::string>& items) {
    std::vector<int> slots;
    for (const std::string& item : items) {
        if (item.size() == 1 && item[0] >= '0' && item[0] < '0' + kSlotCount) slots.push_back(item[0] - '0');
    }
    std::sort(slots.begin(), slots.end());
    return slots;
}

std::optional<SlotSong> ReadSlotSong(const FloppyVolume& floppy, int slot, Prompter& prompter) {
    SlotSong copy;
    for (std::string_view extension : {kSongExtension, kEventsExtension}) {
        const std::string name = SlotName(slot) + std::string(extension);
        const bool isSong = extension == kSongExtension;
        if (!isSong && !floppy.Exists(name)) continue;
        // No floppy file is larger than a floppy; a folder standing in for one may hold anything.
        auto bytes = floppy.ReadFile(name, kImageBytes);
        if (!bytes || floppy.FileSize(name) != std::optional<std::uint64_t>(bytes->size())) {
            prompter.ShowMessage(Translated(texts::kFloppyFileUnreadable, {floppy.Root() + name}), Translated(texts::kErrorCaption),
                                 MessageIcon::None);
            return std::nullopt;
        }
        (isSong ? copy.song : copy.events.emplace()) = std::move(*bytes);
    }
    return copy;
}

}  // namespace tunecrate
