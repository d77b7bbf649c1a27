// SPDX-License-Identifier: MIT
#pragma once

#include <cerrno>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "core/Result.h"
#include "core/disk/Handles.h"
#include "core/disk/ImageVolume.h"

namespace tunecrate {

// What a flush of a verifying store fails with when the disk gives back
// other bytes than were written to it.
inline constexpr int kReadBackDiffers = EBADMSG;

// The bytes of a disk or an image file through its descriptor. Without the
// system's cache (O_DIRECT) transfers must start and end on sector bounds
// from memory aligned to a page; they go through a buffer of our own that is.
// A verifying store keeps what it wrote since the last flush, and each flush
// reads it back past the cache and compares (writes on sector bounds only):
// a drive may take a write, say it is done, and never put it on the disk.
class DiskStore final : public ImageStore {
public:
    DiskStore(Fd fd, bool direct, bool verify);
    ~DiskStore() override;
    DiskStore(const DiskStore&) = delete;
    DiskStore& operator=(const DiskStore&) = delete;

    bool Read(std::uint64_t offset, char* data, std::size_t size) override;
    // On a device, through the same descriptor past the cache.
    bool ReadFromDisk(std::uint64_t offset, char* data, std::size_t size) override;
    bool Write(std::uint64_t offset, std::string_view bytes) override;
    bool Flush() override;
    // For fstat and flock; closing the store releases the lock.
    int fd() const { return m_fd.get(); }
    // The descriptor, kept open by the caller from now on; the store can no longer be used.
    int ReleaseFd() { return m_fd.release(); }

private:
    template <typename Step>
    bool Move(std::uint64_t offset, std::size_t size, Step step);
    bool ReadBack();
    // Reads from the disk itself into the aligned buffer (at most its size):
    // the descriptor switched past the cache for the read, or the cache's
    // clean copies dropped first where the device refuses that.
    ssize_t ReadPastCache(std::uint64_t offset, std::size_t size);
    Fd m_fd;
    bool m_direct;
    bool m_verify;
    char* m_buffer = nullptr;
    std::map<std::uint64_t, std::string> m_unverified;   // by the offset of each sector written since the last flush
};

// How OpenDisk opens a drive's block device or an image file.
struct DiskAccess {
    bool write = false;              // for reading and writing; else for reading
    bool readOnlyFallback = false;   // a write-protected disk or read-only file opens for reading instead
    bool exclusive = false;          // a device: O_EXCL, so nothing mounts it while we work (a mounted one is refused)
    bool direct = false;             // a device: past the system's cache where the device allows, so the disk answers
    bool verify = false;             // a device: each flush reads back what was written since the last (see DiskStore)
    bool nonBlocking = false;        // a FIFO given by mistake must not hang us
};

struct OpenDisk {
    std::unique_ptr<DiskStore> store;
    std::uint64_t bytes = 0;   // the file's size, or the device's
    bool device = false;
    unsigned mode = 0;         // the type and permissions of what was opened (fstat's st_mode)
    bool readOnly = false;     // opened for reading only (asked, fallen back, or a read-only device)
};
// Opens `path` as `access` says; the failure's reason names it.
Expected<OpenDisk> OpenDiskAt(const std::string& path, const DiskAccess& access);

}  // namespace tunecrate
