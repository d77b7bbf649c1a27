// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <vector>

#include "core/songs/SongSource.h"

namespace tunecrate {

// What files dropped from another program (a file manager) are to the window.
struct DroppedFiles {
    enum class Kind { Nothing, Songs, Image };
    Kind kind = Kind::Nothing;
    SongsOnHardDisk songs;   // Songs: one per song
    std::string image;     // Image: the floppy image to open
};

// Songs when every file is a song file or a companion of one (.B00, .EVT,
// .cmt in any case) whose .B00 lies beside it; an image when the one file is
// a floppy image (.img or .ima in any case); else nothing, so that a drop
// mixing songs and other files is refused whole rather than done in part.
DroppedFiles ReadDroppedFiles(const std::vector<std::string>& paths);

}  // namespace tunecrate
