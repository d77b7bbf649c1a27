// SPDX-License-Identifier: MIT
#include "core/TransferItems.h"

#include <cstdlib>
#include <filesystem>

#include "core/FileOps.h"
#include "core/FloppyVolume.h"
#include "core/Prompter.h"
#include "core/SongNames.h"
#include "core/SongRename.h"

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
    return slots;
}

StagedSlots::StagedSlots(FloppyVolume& floppy, const std::vector<int>& slots, Prompter& prompter) {
    std::error_code error;
    std::string pattern = (std::filesystem::temp_directory_path(error) / "tunecrate-drop-XXXXXX").string();
    if (error || ::mkdtemp(pattern.data()) == nullptr) {
        prompter.ShowMessage("Cannot make a folder for the songs in " + pattern + ".", "Error!", MessageIcon::None);
        return;
    }
    m_folder = pattern;
    for (int slot : slots) {
        for (std::string_view extension : {kSongExtension, kEventsExtension}) {
            const std::string name = SlotName(slot) + std::string(extension);
            if (!floppy.Exists(name)) continue;
            FileResult copied = floppy.CopyToHost(name, Base(slot) + std::string(extension), false);
            if (!copied.ok()) {
                prompter.ShowMessage("Cannot read " + floppy.Root() + name + ".\n" + copied.Reason(), "Error!",
                                     MessageIcon::None);
                return;
            }
        }
    }
    m_ok = true;
}

StagedSlots::~StagedSlots() {
    std::error_code ignored;
    if (!m_folder.empty()) std::filesystem::remove_all(m_folder, ignored);
}

std::string StagedSlots::Base(int slot) const {
    return JoinPath(m_folder, SlotName(slot));
}

}  // namespace tunecrate
