// SPDX-License-Identifier: MIT
#include "core/songs/SongSource.h"

#include <algorithm>

#include "core/songs/SlotRow.h"
#include "core/text/DragPayload.h"
#include "core/text/SongNames.h"

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

std::vector<int> SlotsWithSongs(const std::vector<SlotRow>& rows, const std::vector<int>& chosen) {
    std::vector<int> withSongs;
    for (int slot : chosen) {
        if (slot >= 0 && static_cast<std::size_t>(slot) < rows.size() &&
            rows[static_cast<std::size_t>(slot)].state != SlotState::EmptySlot) {
            withSongs.push_back(slot);
        }
    }
    return withSongs;
}

std::vector<int> SlotsWithSongs(const std::vector<SlotRow>& rows) {
    std::vector<int> all;
    for (int slot = 0; slot < static_cast<int>(rows.size()); ++slot) all.push_back(slot);
    return SlotsWithSongs(rows, all);
}

std::optional<SongSource> ReadSongPayload(std::string_view bytes) {
    const ParsedPayload payload = ParsePayload(bytes);
    if (payload.type == kFloppyType) return SongsOnFloppy{nullptr, FloppyItems(payload.items)};
    if (payload.type != kHardDiskType) return std::nullopt;
    SongsOnHardDisk songs;
    for (const std::string& item : payload.items) {
        if (IsHardDiskItem(item)) songs.songs.push_back(SplitHardDiskItem(item));
    }
    return songs;
}

}  // namespace tunecrate
