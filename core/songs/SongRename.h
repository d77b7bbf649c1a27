// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <string_view>

#include "core/disk/FileOps.h"

namespace tunecrate {

// Renaming a hard-disk song: its .B00, .EVT and .cmt files take the new title.

// Renames the song's files in place. The song file is never replaced: a
// title whose .B00 file exists (the unchanged title included) is TargetExists.
// An events or comment file of the new title that has no song file is
// replaced by the song's own, where it has one. The files move together
// under a change record: a failure before the song file moved leaves the
// song as it was, and a change cut short after it (by a failing disk or a
// crash) is finished when the folder is next listed, so the song keeps all
// its files under one title. The reasons are the user's messages.
Result RenameHardDiskSong(std::string_view folder, std::string_view oldTitle, std::string_view newTitle);

}  // namespace tunecrate
