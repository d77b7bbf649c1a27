// SPDX-License-Identifier: MIT
#include "core/songs/FolderCommands.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "core/disk/FileOps.h"
#include "core/disk/FolderTree.h"
#include "core/Texts.h"

namespace tunecrate {

namespace {

std::string ParentOf(std::string_view path) {
    auto slash = path.rfind('/');
    if (slash == std::string_view::npos) return {};
    return std::string(path.substr(0, slash + 1));
}

// The message for a refused deletion; empty for TreeRefusal::None.
std::string RefusalMessage(std::string_view folder, TreeRefusal refusal) {
    switch (refusal) {
        case TreeRefusal::None:
            return {};
        case TreeRefusal::NoFolder:
            return Translated(texts::kNoFolderChosen);
        case TreeRefusal::Protected:
            return Translated(texts::kProtectedFolder, {folder});
        case TreeRefusal::MountRoot:
            return Translated(texts::kMountedFolder, {folder});
    }
    return {};
}

Result Refusal(std::string_view folder, TreeRefusal refusal) {
    if (refusal == TreeRefusal::None) return {};
    return Result::Refused(RefusalMessage(folder, refusal));
}

}  // namespace

std::string NewFolderPath(std::string_view folder) { return JoinPath(folder, Translated(texts::kNewFolderName)); }

Result MakeNewFolder(std::string_view folder) {
    const Result made = folder.empty() ? Result::FromErrno(ENOENT) : MakeFolder(NewFolderPath(folder));
    if (made.ok()) return {};
    return Result::FromErrno(made.error, Translated(texts::kCannotMakeFolder));
}

Result RenameFolder(std::string_view folder, std::string_view newName) {
    const Result taken = Result::FromErrno(EEXIST, Translated(texts::kFolderNameTaken));
    const std::string parent = ParentOf(folder);
    const std::string_view oldName = folder.substr(parent.size());
    if (newName.empty() || newName == oldName) return {};
    if (parent.empty() || oldName.empty() || newName.find('/') != std::string_view::npos || newName == "." ||
        newName == ".." || newName.find('\0') != std::string_view::npos) {
        return taken;
    }
    // A plain rename would silently replace an empty folder of the new name.
    const Result renamed = RenameNoReplace(parent + std::string(oldName), parent + std::string(newName));
    if (renamed.ok()) return {};
    // Only a name that is taken or not a name is told as taken; a folder gone
    // or a read-only disk is told as what it is.
    if (renamed.error == EEXIST || renamed.error == ENOTEMPTY) return taken;
    return Result::FromErrno(renamed.error, Translated(texts::kCannotRenameFolder, {std::strerror(renamed.error)}));
}

Result CheckFolderDeletion(std::string_view folder, const std::vector<std::string>& protectedFolders) {
    return Refusal(folder, CheckTreeRemoval(folder, protectedFolders));
}

Result DeleteFolderTree(std::string_view folder, const std::vector<std::string>& protectedFolders) {
    const TreeRemoval removal = RemoveTree(folder, protectedFolders);
    if (removal.refusal != TreeRefusal::None) return Refusal(folder, removal.refusal);
    const std::vector<std::string>& leftovers = removal.leftovers;
    if (leftovers.empty()) return {};
    std::string text = Translated(texts::kFolderLeftovers, {folder});
    const std::size_t shown = std::min<std::size_t>(leftovers.size(), 10);
    for (std::size_t i = 0; i < shown; ++i) text += "\n" + leftovers[i];
    if (leftovers.size() > shown) text += "\n…";
    return Result::FromErrno(EBUSY, text);
}

std::string DeleteFolderQuestion(std::string_view folder) {
    return Translated(texts::kDeleteFolderQuestion, {folder});
}

}  // namespace tunecrate
