// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <string_view>

#include "core/disk/FileOps.h"

namespace tunecrate {

// Renaming a hard-disk song: its .B00, .EVT and .cmt files take the new title.

enum class RenameSongOutcome {
    TitleChanged,
    NameTaken,    // <new>.B00 exists already (the unchanged title included)
    Failed,       // a step failed; every file is back under the old title
};

struct RenameSongResult {
    RenameSongOutcome outcome = RenameSongOutcome::TitleChanged;
    FileResult failure;   // for Failed: the step that failed
    std::string file;     // for Failed: the file it failed on
};

// Renames the song's files in place. The song file is never replaced; an
// events or comment file of the new title that has no song file is replaced by
// the song's own, where it has one. If any step fails, the renames already
// made are undone, so the song keeps all its files under one title.
RenameSongResult RenameHardDiskSong(std::string_view folder, std::string_view oldTitle, std::string_view newTitle);

}  // namespace tunecrate
