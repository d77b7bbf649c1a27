// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/Result.h"

namespace tunecrate {

// Folders as wholes: made, renamed, and removed with everything below them.

// Why a folder's removal removes nothing at all.
enum class TreeRefusal {
    None,
    NoFolder,     // an empty path
    Protected,    // the root folder, the home folder, a protected folder or a folder that holds one
    MountRoot,    // the folder is where a volume is mounted: it would empty the whole volume
};

// Whether RemoveTree would refuse the folder. The path is made canonical
// first ("a/..", "/.", links on the way), except that a final link stays the
// link. The root folder, $HOME and `protectedFolders` are refused, and so is
// every folder that holds one of them and every folder where a volume or a
// bind mount is mounted.
TreeRefusal CheckTreeRemoval(std::string_view folder, const std::vector<std::string>& protectedFolders);

struct TreeRemoval {
    TreeRefusal refusal = TreeRefusal::None;   // not None: nothing was touched
    std::vector<std::string> leftovers;        // what could not be removed
};
// Removes the folder with everything below it, unless CheckTreeRemoval
// refuses it. The walk never leaves the folder's own mount: a volume or bind
// mount below it is left whole, and symbolic links are removed as links,
// never followed. An entry that cannot be removed is left, and the removal
// goes on with the rest. A folder already gone is no leftover.
TreeRemoval RemoveTree(std::string_view folder, const std::vector<std::string>& protectedFolders);

// Makes one folder (mkdir, mode 0777 less the umask).
Result MakeFolder(const std::string& path);

// Renames a file or folder, never replacing anything of the new name (a
// name that is taken fails with EEXIST); on file systems that cannot rename
// without replacing, it checks first.
Result RenameNoReplace(const std::string& from, const std::string& to);

}  // namespace tunecrate
