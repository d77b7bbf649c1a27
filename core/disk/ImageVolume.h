// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "core/disk/FatImage.h"
#include "core/disk/FloppyVolume.h"

namespace tunecrate {

class ImageFile;
class StickHold;
struct ImageChains;

// Where the bytes of an image live. The volume reads and writes them only
// through this, so that a test can record every write and flush, or fail one.
class ImageStore {
public:
    virtual ~ImageStore() = default;
    // Each returns false, with errno set, when it fails.
    virtual bool Read(std::uint64_t offset, char* data, std::size_t size) = 0;
    // The same, past any cache of the system's: what the disk itself holds
    // now, even when it was swapped without the kernel noticing.
    virtual bool ReadFromDisk(std::uint64_t offset, char* data, std::size_t size) { return Read(offset, data, size); }
    virtual bool Write(std::uint64_t offset, std::string_view bytes) = 0;
    // Every write before it is durable before any write after it begins.
    virtual bool Flush() = 0;
};

// Puts a store of its own around the image file's (for tests).
using ImageStoreWrapper = std::function<std::unique_ptr<ImageStore>(std::unique_ptr<ImageStore>)>;

// How an image is opened: to read and write it (only to read it where the
// file or disk refuses writing), waiting a little for another program that
// holds it; or only to read it, taking turns with other readers and never
// waiting for a writer (a list of many images must not stall on one).
enum class ImageAccess { ReadWrite, ReadOnly };

// A floppy that is a 1.44 MB FAT12 image file, used without mounting: the
// songs live in the image's root folder. The image is opened, checked and
// locked (flock) for as long as this object lives.
//
// Every change survives a crash at any point, with the writes of each step
// reordered or cut at any sector: the image then holds every file with its
// old or its new content, and at worst lost clusters. A change is written in
// steps with a flush after each: new contents into free clusters; both FATs
// linking them; the directory entries switched to them; the old clusters
// freed. A change that would free a damaged chain (one that loops, leaves
// the disk or is shared with another file), or replace a read-only file, is
// refused, and so is any change to an image whose FAT copies differ, so that
// a damaged image never loses more. After a failed write the volume writes
// nothing more.

class ImageVolume final : public FloppyVolume {
public:
    explicit ImageVolume(std::string imagePath, const ImageStoreWrapper& wrap = {}, ImageAccess access = ImageAccess::ReadWrite);
    // Slot `slot` of a stick held already, only to read it, as a shelf reads
    // a thousand: through the hold's descriptor, with no path looked up and
    // nothing opened; `shownPath` names it in messages. `reader` is the
    // slot's reader taken already (null: taken here), and `boot`
    // its first sector if read through it, so that it is not read twice.
    ImageVolume(const std::shared_ptr<const StickHold>& hold, int slot, std::string shownPath,
                std::unique_ptr<ImageStore> reader = nullptr, std::string_view boot = {});
    ~ImageVolume() override;
    ImageVolume(const ImageVolume&) = delete;
    ImageVolume& operator=(const ImageVolume&) = delete;

    // The image's path followed by "/", so "Cannot open %ssong.nam." reads
    // as a file inside the image.
    std::string Root() const override { return m_imagePath + "/"; }
    std::optional<SpaceInfo> Space() const override;
    bool Exists(std::string_view name) const override;
    std::optional<std::uint64_t> FileSize(std::string_view name) const override;
    std::optional<std::string> ReadFile(std::string_view name, std::size_t maxBytes) const override;
    std::vector<std::optional<std::string>> ReadFiles(const std::vector<std::string_view>& names, std::size_t maxBytes) const override;
    std::string Stamp(std::string_view name) const override;
    std::vector<std::optional<FileLook>> LookAt(const std::vector<std::string>& names) const override;
    Result Apply(const std::vector<FileChange>& changes, CatalogueReserve reserve) override;
    Result CheckChange(const std::vector<std::string>& names) const override;
    void Flush() override;
    Result Opened() const override { return m_opened; }
    std::string Mark() const override;
    // Every problem a disk checker would find in the image's file system, in
    // plain words (see ImageProblems); empty when there is none, and when the
    // image cannot be used at all (Opened() says why). Reads the image's
    // subfolders and nothing else that opening it did not read.
    std::vector<std::string> Damage() const;
    // The image file's size when it was opened.
    std::uint64_t FileBytes() const { return m_fileBytes; }
    // Not opened because its boot sector is all one byte: never written
    // (a stick's unused slot), rather than something that is no floppy.
    bool Blank() const { return m_blank; }

private:
    Result Refusal() const;
    // Opening failed on a read: errno, with the image named.
    Result ReadFailure() const;
    // Locking failed: in use elsewhere (EWOULDBLOCK), or errno, with the image named.
    Result LockFailure() const;
    // Reads the boot sector, FATs and root of a file opened and locked.
    void Load(std::unique_ptr<ImageFile> file, bool slot, bool device, std::uint64_t openSize, const ImageStoreWrapper& wrap,
              std::string_view knownBoot = {});
    // Refused when the boot sector or the root's first sector no longer hold
    // what this volume knows they hold: another disk in the drive, or the
    // image rewritten by another program, since it was opened.
    Result SameDiskAsOpened() const;
    // The one answer of CheckChange and Apply: why a change of `names` would
    // be refused, room aside.
    Result ChangeRefusal(const std::vector<std::string>& names, const ImageChains& chains) const;
    // The root's entry named `name` in any case, in the image's own list.
    const FatEntry* FindFile(std::string_view name) const;
    std::string m_imagePath;
    Result m_opened;
    std::uint64_t m_fileBytes = 0;
    bool m_blank = false;
    std::unique_ptr<ImageFile> m_image;   // null when the image cannot be used
};

}  // namespace tunecrate
