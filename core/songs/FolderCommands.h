// SPDX-License-Identifier: MIT
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tunecrate {

// The folder commands of the folder tree: make, rename and delete folders.

inline constexpr std::string_view kNewFolderName = "新規ディレクトリ";

// Makes folder + "/新規ディレクトリ"; its path, or nullopt when it cannot be made
// (it exists already, the parent is gone, no right to write).
std::optional<std::string> MakeNewFolder(std::string_view folder);

enum class RenameOutcome {
    Renamed,
    Unchanged,    // the new name is the old one, or empty (a cancelled edit)
    Failed,       // taken, not a valid name, or the file system refused
};

// Renames the folder in place. A name with "/", "." or ".." is refused, and an
// existing entry of the new name is never replaced.
RenameOutcome RenameFolder(std::string_view folder, std::string_view newName);

// Why a deletion removed nothing at all.
enum class DeleteRefusal {
    None,
    NoFolder,     // an empty path
    Protected,    // the root folder, the home folder, a protected folder or a folder that holds one
    MountRoot,    // the folder is where a volume is mounted: it would empty the whole volume
};

// What a deletion could not remove, or why it did not start.
struct DeleteReport {
    DeleteRefusal refusal = DeleteRefusal::None;
    std::vector<std::string> leftovers;   // paths that are still there
    bool complete() const { return refusal == DeleteRefusal::None && leftovers.empty(); }
};

// Whether DeleteFolderTree would refuse the folder. The path is made canonical
// first ("a/..", "/.", links on the way), except that a final link stays the
// link. The root folder, $HOME and `protectedFolders` are refused, and so is
// every folder that holds one of them and every folder where a volume or a
// bind mount is mounted.
DeleteRefusal CheckFolderDeletion(std::string_view folder, const std::vector<std::string>& protectedFolders = {});

// Removes the folder with everything below it, unless CheckFolderDeletion
// refuses it (then nothing is touched). The walk never leaves the folder's
// own mount: a volume or bind mount below it is left whole and reported, and
// symbolic links are removed as links, never followed. An entry that cannot
// be removed is left and reported; the deletion goes on with the rest.
DeleteReport DeleteFolderTree(std::string_view folder, const std::vector<std::string>& protectedFolders = {});

// The message for a refused deletion; empty for DeleteRefusal::None.
std::string DeleteRefusalMessage(std::string_view folder, DeleteRefusal refusal);

// "ディレクトリ"<path>" と、全ての下位ディレクトリのデータは消去されます。"
std::string DeleteFolderQuestion(std::string_view folder);

}  // namespace tunecrate
