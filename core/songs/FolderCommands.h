// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/Result.h"

namespace tunecrate {

// The folder commands of the folder tree: make, rename and delete folders.


// folder + "/新規ディレクトリ".
std::string NewFolderPath(std::string_view folder);

// Makes NewFolderPath(folder); fails with "ディレクトリを作成できません！" when it
// cannot be made (it exists already, the parent is gone, no right to write).
Result MakeNewFolder(std::string_view folder);

// Renames the folder in place; a new name that is empty (a cancelled edit) or
// the old one changes nothing and is no failure. A name with "/", "." or ".."
// is refused, and an existing entry of the new name is never replaced: both
// fail with "同名のファイルが存在します。".
Result RenameFolder(std::string_view folder, std::string_view newName);

// Whether DeleteFolderTree would refuse the folder (Refused, with the reason).
// The path is made canonical first ("a/..", "/.", links on the way), except
// that a final link stays the link. The root folder, $HOME and
// `protectedFolders` are refused, and so is every folder that holds one of
// them and every folder where a volume or a bind mount is mounted.
Result CheckFolderDeletion(std::string_view folder, const std::vector<std::string>& protectedFolders = {});

// Removes the folder with everything below it, unless CheckFolderDeletion
// refuses it (then nothing is touched). The walk never leaves the folder's
// own mount: a volume or bind mount below it is left whole and reported, and
// symbolic links are removed as links, never followed. An entry that cannot
// be removed is left, the deletion goes on with the rest, and the result
// (Failed) names what is left.
Result DeleteFolderTree(std::string_view folder, const std::vector<std::string>& protectedFolders = {});

// "ディレクトリ"<path>" と、全ての下位ディレクトリのデータは消去されます。"
std::string DeleteFolderQuestion(std::string_view folder);

}  // namespace tunecrate
