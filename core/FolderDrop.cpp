// SPDX-License-Identifier: MIT
#include "core/FolderDrop.h"

#include <algorithm>
#include <sys/stat.h>

#include "core/CommentFile.h"
#include "core/Encoding.h"
#include "core/FileOps.h"
#include "core/FloppyCatalogue.h"
#include "core/FloppyVolume.h"
#include "core/Prompter.h"
#include "core/SongNames.h"
#include "core/TransferItems.h"

namespace tunecrate {

namespace {

bool SameFolder(const std::string& a, const std::string& b) {
    struct stat x {}, y {};
    return ::stat(a.c_str(), &x) == 0 && ::stat(b.c_str(), &y) == 0 && x.st_dev == y.st_dev && x.st_ino == y.st_ino;
}

void Report(DropContext& context, const std::string& text, MessageIcon icon = MessageIcon::None) {
    context.prompter.ShowMessage(text, "Error!", icon);
}

// Copies a song file into the folder, asking before it replaces a song there.
// nullopt: copied, go on with the other files.
template <typename Copy>
std::optional<TransferResult> CopySongFileToFolder(DropContext& context, DropState& state, const std::string& target,
                                                   std::size_t movedBefore, const std::string& shownSource, Copy copy) {
    FileResult copied = copy(true);
    if (copied.status == FileStatus::TargetExists &&
        std::find(state.written.begin(), state.written.end(), target) != state.written.end()) {
        Report(context, "同じ題名の曲が二つあります。\n" + target + " には先の曲が入りました。");
        state.MovedFiles.resize(movedBefore);
        return TransferResult::Skipped;
    }
    if (copied.status == FileStatus::TargetExists) {
        const std::string base = target.substr(0, target.size() - kSongExtension.size());
        if (!context.prompter.AskYesNo("ファイル " + base + " はすでに存在します。上書きしますか？", "Overwrite?")) {
            state.MovedFiles.resize(movedBefore);
            return TransferResult::Skipped;
        }
        copied = copy(false);
    }
    if (copied.status == FileStatus::DiskFull) {
        Report(context, "ディスクがいっぱいです！", MessageIcon::Exclamation);
        state.MovedFiles.resize(movedBefore);
        return TransferResult::DiskFull;
    }
    if (!copied.ok()) {
        // A move keeps the sources of a song that did not arrive.
        Report(context, CopyFailedMessage(shownSource, copied.Reason()));
        state.MovedFiles.resize(movedBefore);
        return TransferResult::Failed;
    }
    state.Transferred = true;
    state.written.push_back(target);
    return std::nullopt;
}

// A companion file that could not follow its song: reported, and a move
// leaves all of that song's sources where they are.
void CompanionFailed(DropContext& context, DropState& state, std::size_t movedBefore, const std::string& source,
                     const FileResult& result) {
    Report(context, CopyFailedMessage(source, result.Reason()));
    state.MovedFiles.resize(movedBefore);
}

}  // namespace

std::string FolderNameForTitle(const std::string& cp932Title, int slot) {
    std::string name = Cp932ToUtf8(cp932Title);
    // Trailing blanks, tabs and full-width blanks (U+3000) are not part of a name.
    for (;;) {
        if (!name.empty() && (name.back() == ' ' || name.back() == '\t')) {
            name.pop_back();
        } else if (name.size() >= 3 && name.compare(name.size() - 3, 3, "\xE3\x80\x80") == 0) {
            name.resize(name.size() - 3);
        } else {
            break;
        }
    }
    // A title never becomes a path.
    std::string safe;
    for (char c : name) {
        if (c == '/') {
            safe += "\xEF\xBC\x8F";   // FULLWIDTH SOLIDUS
        } else if (c != '\0') {
            safe += c;
        }
    }
    if (safe.empty() || safe == "." || safe == "..") return SlotName(slot);
    return safe;
}

TransferResult CopyHardDiskSongToFolder(DropContext& context, DropState& state, const std::string& item,
                                        const std::string& folder) {
    const HardDiskItem song = SplitHardDiskItem(item);
    const auto songFile = FindWithExtensionNoCase(song.folder, song.title, kSongExtension);
    if (!songFile) {
        Report(context, CopyFailedMessage(item + std::string(kSongExtension), "No such file"));
        return TransferResult::Failed;
    }
    const std::string target = JoinPath(folder, song.title);
    const std::size_t movedBefore = state.MovedFiles.size();
    const std::string songPath = JoinPath(song.folder, *songFile);
    state.MovedFiles.push_back({false, songPath});
    if (auto ended = CopySongFileToFolder(context, state, target + std::string(kSongExtension), movedBefore, songPath,
                                          [&](bool failIfExists) {
                                              return CopyFile(songPath, target + std::string(kSongExtension),
                                                              failIfExists);
                                          })) {
        return *ended;
    }
    for (std::string_view extension : {kEventsExtension, kCommentExtension}) {
        auto companion = FindWithExtensionNoCase(song.folder, song.title, extension);
        if (!companion) continue;
        const std::string from = JoinPath(song.folder, *companion);
        FileResult copied = CopyFile(from, target + std::string(extension), false);
        if (!copied.ok()) {
            CompanionFailed(context, state, movedBefore, from, copied);
            return copied.status == FileStatus::DiskFull ? TransferResult::DiskFull : TransferResult::Failed;
        }
        state.MovedFiles.push_back({false, from});
    }
    return TransferResult::Copied;
}

TransferResult CopyFloppySongToFolder(DropContext& context, DropState& state, int slot, const std::string& folder) {
    FloppyVolume& floppy = *context.floppy;
    SlotRow& row = context.rows[static_cast<std::size_t>(slot)];
    const std::string target = JoinPath(folder, FolderNameForTitle(row.title, slot));
    const std::string source = SlotName(slot);
    const std::size_t movedBefore = state.MovedFiles.size();
    state.MovedFiles.push_back({true, source + std::string(kSongExtension)});
    if (auto ended = CopySongFileToFolder(context, state, target + std::string(kSongExtension), movedBefore,
                                          floppy.Root() + source + std::string(kSongExtension),
                                          [&](bool failIfExists) {
                                              return floppy.CopyToHost(source + std::string(kSongExtension),
                                                                       target + std::string(kSongExtension),
                                                                       failIfExists);
                                          })) {
        return *ended;
    }
    const std::string events = source + std::string(kEventsExtension);
    if (floppy.Exists(events)) {
        FileResult copied = floppy.CopyToHost(events, target + std::string(kEventsExtension), false);
        if (!copied.ok()) {
            CompanionFailed(context, state, movedBefore, floppy.Root() + events, copied);
            return copied.status == FileStatus::DiskFull ? TransferResult::DiskFull : TransferResult::Failed;
        }
        state.MovedFiles.push_back({true, events});
    }
    // The comment travels as its bytes; without the file the song still arrives.
    const std::string commentPath = target + std::string(kCommentExtension);
    if (FileResult written = WriteCommentFile(commentPath, row.comment); !written.ok()) {
        Report(context, "Cannot write " + commentPath + ".\n" + written.Reason());
    }
    if (context.move && state.MovedFiles.size() > movedBefore) {
        row.title.clear();
        row.comment.clear();
        row.sizeText.clear();
    }
    return TransferResult::Copied;
}

namespace {

// The floppy songs of a payload, copied into a folder one by one.
void CopyFloppySongsToFolder(DropContext& context, DropState& state, const ParsedPayload& payload,
                             const std::string& folder) {
    if (context.floppy == nullptr) return;
    for (int slot : FloppyItems(payload.items)) {
        if (slot >= static_cast<int>(context.rows.size())) continue;
        if (CopyFloppySongToFolder(context, state, slot, folder) == TransferResult::DiskFull) break;
    }
}

void WriteCatalogueReporting(DropContext& context) {
    if (context.floppy == nullptr) return;
    for (const std::string& failure : WriteCatalogue(*context.floppy, context.rows)) Report(context, failure);
}

}  // namespace

DropResult DropIntoFolder(DropContext& context, const std::string& folder, const ParsedPayload& payload) {
    DropResult result;
    if (folder.empty()) {
        result.taken = false;   // no folder under the drop point
        return result;
    }
    DropState state;
    if (payload.type == kHardDiskType) {
        std::vector<std::string> items;
        for (const std::string& item : payload.items) {
            if (IsHardDiskItem(item)) items.push_back(item);
        }
        for (const std::string& item : items) {
            if (SameFolder(SplitHardDiskItem(item).folder, folder)) {
                // Copying a song onto itself, or moving it where it is, could
                // only lose it.
                Report(context, "曲はすでにこのフォルダにあります。\n" + folder);
                return result;
            }
        }
        for (const std::string& item : items) {
            if (CopyHardDiskSongToFolder(context, state, item, folder) == TransferResult::DiskFull) break;
        }
        if (context.move) DeleteMovedFiles(context, state);
        result.refillHardDiskList = state.Transferred;
    } else if (payload.type == kFloppyType) {
        CopyFloppySongsToFolder(context, state, payload, folder);
        if (context.move && state.Transferred) {
            WriteCatalogueReporting(context);
            DeleteMovedFiles(context, state);
            result.rereadFloppy = true;
        }
        result.refillHardDiskList = state.Transferred;
    }
    return result;
}

DropResult DropOntoHardDiskList(DropContext& context, const std::string& folder, const ParsedPayload& payload) {
    DropResult result;
    if (folder.empty()) {
        result.taken = false;
        return result;
    }
    DropState state;
    if (payload.type == kFloppyType) CopyFloppySongsToFolder(context, state, payload, folder);
    if (state.Transferred) WriteCatalogueReporting(context);
    if (context.move) {
        DeleteMovedFiles(context, state);
        result.rereadFloppy = true;
    }
    result.refillHardDiskList = state.Transferred;
    return result;
}

}  // namespace tunecrate
