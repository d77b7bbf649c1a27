// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "core/FileOps.h"

namespace tunecrate {

// The root folder of a song floppy. Every floppy operation goes through this,
// so that a floppy may be a mounted disk, a plain folder or an image file.
// Names are matched without regard to ASCII case, as on the floppy's own FAT.
class FloppyVolume {
public:
    virtual ~FloppyVolume() = default;

    // The floppy's root as shown to the user ("/media/user/FLOPPY/").
    virtual std::string Root() const = 0;
    virtual std::optional<SpaceInfo> Space() const = 0;
    virtual bool Exists(std::string_view name) const = 0;
    virtual std::optional<std::uint64_t> FileSize(std::string_view name) const = 0;
    virtual std::optional<std::string> ReadFile(std::string_view name, std::size_t maxBytes) const = 0;
    // Writes the whole file, under the real name of an existing case variant.
    virtual FileResult WriteFile(std::string_view name, std::string_view bytes) = 0;
    // Removes every case variant of the file; a missing file is no failure.
    virtual FileResult Remove(std::string_view name) = 0;
    // Copies a file of the hard disk onto the floppy and back. With
    // `failIfExists` any case variant of the target counts as existing; a full
    // floppy gives DiskFull and leaves no partial file.
    virtual FileResult CopyFromHost(const std::string& hostPath, std::string_view name, bool failIfExists) = 0;
    virtual FileResult CopyToHost(std::string_view name, const std::string& hostPath, bool failIfExists) = 0;
    // Makes everything written so far durable, so the disk can be taken out.
    virtual void Flush() = 0;
    // Why this floppy cannot be used at all (naming it); empty when it can.
    virtual std::string Problem() const { return {}; }
};

// The floppy at `location`: an image file when it names a regular file, else a folder.
std::unique_ptr<FloppyVolume> OpenFloppyVolume(const std::string& location);
bool IsFloppyImageFile(const std::string& location);

}  // namespace tunecrate
