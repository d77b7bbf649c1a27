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

// What a deletion could not remove.
struct DeleteReport {
    std::vector<std::string> leftovers;   // paths that are still there
    bool complete() const { return leftovers.empty(); }
};

// Removes the folder with everything below it. Symbolic links are removed as
// links and never followed; an entry that cannot be removed is left and the
// deletion goes on with the rest. The root folder and an empty path are refused.
DeleteReport DeleteFolderTree(std::string_view folder);

// "ディレクトリ"<path>" と、全ての下位ディレクトリのデータは消去されます。"
std::string DeleteFolderQuestion(std::string_view folder);

}  // namespace tunecrate
