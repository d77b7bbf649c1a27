// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/disk/FileOps.h"

namespace tunecrate {

// Whether a change may use the catalogue's reserve, the space that a fresh
// copy of song.nam and comments.dat needs: song data keeps clear of it, so
// that the catalogue can always be rewritten beside its old copy, even on a
// floppy full of songs; the catalogue files may use it.
enum class CatalogueReserve { Keep, Use };

// song.nam is always 40 lines of 17 bytes and CR LF; comments.dat at most 40
// lines of the longest comment kept and CR LF (the catalogue checks both).
inline constexpr std::uint64_t kLargestTitlesFile = 40 * (17 + 2);
inline constexpr std::uint64_t kLargestCommentsFile = 40 * (254 + 2);

// That reserve in bytes, for a disk that allocates in units of `unitBytes`.
std::uint64_t CatalogueReserveBytes(std::uint64_t unitBytes);

// What one look at a file of the floppy tells.
struct FileLook {
    std::string name;                    // a name that reaches it: its real one in a folder
    std::optional<std::uint64_t> size;   // as FileSize gives it
    std::string stamp;                   // as Stamp gives it

    bool operator==(const FileLook&) const = default;
};

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
    // Changes whenever the file is written or replaced (its identity, size and
    // time); empty when there is no such file.
    virtual std::string Stamp(std::string_view name) const = 0;
    // Looks at several files at once (nullopt where none answers to its name);
    // a folder is read at most once for all of them.
    virtual std::vector<std::optional<FileLook>> LookAt(const std::vector<std::string>& names) const;
    // Reads several files as ReadFile reads each; an image reads neighbouring
    // files (a catalogue's two) in one go.
    virtual std::vector<std::optional<std::string>> ReadFiles(const std::vector<std::string_view>& names, std::size_t maxBytes) const;
    // Puts every change on the floppy, or none: a failure leaves every file
    // as it was. A new content is written beside the old one and switched to
    // only when all of it is there; a name replaces the case variant that is
    // there, and the other variants go. Everything is durable on return.
    // Song data never takes the catalogue's reserve (CatalogueReserve::Keep).
    virtual Result Apply(const std::vector<FileChange>& changes, CatalogueReserve reserve) = 0;
    // A catalogue file replaced whole; it may use the catalogue's reserve.
    Result WriteFile(std::string_view name, std::string_view bytes) {
        return Apply({FileChange{std::string(name), std::string(bytes)}}, CatalogueReserve::Use);
    }
    // Removes every case variant of the file; a missing file is no failure.
    Result Remove(std::string_view name) { return Apply({FileChange{std::string(name), std::nullopt}}, CatalogueReserve::Keep); }
    // Why a change of the files `names` would be refused, told before anything
    // is written, so that an operation of many steps fails at its start and not
    // half-way: the floppy cannot be written at all, or a name is a folder, a
    // link, a read-only file or (on an image) a file whose chain is damaged.
    // Ok when such a change may go ahead, room aside. Apply refuses the same.
    virtual Result CheckChange(const std::vector<std::string>& names) const;
    // Makes everything written so far durable, so the disk can be taken out.
    virtual void Flush() = 0;
    // How opening the floppy ended: Ok when it can be used, else why it
    // cannot be used at all (naming it).
    virtual Result Opened() const { return {}; }
    // What tells this disk from another that may be in the same place since:
    // where the volume reads the file system itself (an image, a slot, a
    // drive's disk), a digest of its boot sector (with the volume serial),
    // FAT and root as they are now; empty for a mounted folder, whose mount
    // tells. Rows read from a disk of another mark do not describe this one.
    virtual std::string Mark() const { return {}; }
};

// The floppy at `location`: an image file or a drive's block device used
// without mounting, else a folder.
std::unique_ptr<FloppyVolume> OpenFloppyVolume(const std::string& location);
bool IsFloppyImageFile(const std::string& location);

// Ok when the floppy at `location` (as OpenFloppyVolume takes it) may be
// written; else why not, in plain words: a write-protected disk, a floppy
// mounted read-only, an image file that cannot be written. Asks the system,
// never the disk, so that a gesture can refuse before it asks anything.
Result WriteProtection(const std::string& location);

}  // namespace tunecrate
