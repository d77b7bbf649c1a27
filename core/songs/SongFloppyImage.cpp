// SPDX-License-Identifier: MIT
#include "core/songs/SongFloppyImage.h"

#include <cerrno>
#include <ctime>
#include <unistd.h>

#include "core/disk/FatImage.h"
#include "core/disk/ImageVolume.h"
#include "core/songs/FloppyCatalogue.h"
#include "core/text/SongNames.h"

namespace tunecrate {

Result CreateSongFloppyImage(const std::string& path) {
    const auto volumeId = static_cast<std::uint32_t>(std::time(nullptr)) ^ (static_cast<std::uint32_t>(::getpid()) << 16);
    Result created = CreateFileBytes(path, BlankFloppyImage(volumeId));
    if (!created.ok()) return created;
    Result written;
    {
        ImageVolume volume(path);
        if (!volume.Problem().empty()) written = Result::FromErrno(EIO, volume.Problem());
        if (written.ok()) {
            written = volume.Apply({FileChange{std::string(kTitlesFile), TitlesFileBytes({})},
                                    FileChange{std::string(kCommentsFile), CommentsFileBytes({})}},
                                   Room::Catalogue);
        }
    }
    // Half a floppy is no floppy: only a whole one is left behind.
    if (!written.ok()) ::unlink(path.c_str());
    return written;
}

}  // namespace tunecrate
