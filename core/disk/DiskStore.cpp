// SPDX-License-Identifier: MIT
#include "core/disk/DiskStore.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include "core/Texts.h"
#include "core/disk/BlockDevice.h"
#include "core/disk/DiskCopy.h"

namespace tunecrate {

namespace {

constexpr std::size_t kAlign = 4096;
constexpr std::size_t kBufferBytes = kTrackSectors * kImageSectorBytes * 2;

}  // namespace

DiskStore::DiskStore(Fd fd, bool direct) : m_fd(std::move(fd)), m_direct(direct) {
    // aligned_alloc takes only whole multiples of the alignment.
    if (m_direct) m_buffer = static_cast<char*>(std::aligned_alloc(kAlign, (kBufferBytes + kAlign - 1) / kAlign * kAlign));
}

DiskStore::~DiskStore() { std::free(m_buffer); }

template <typename Step>
bool DiskStore::Move(std::uint64_t offset, std::size_t size, Step step) {
    if (m_direct && m_buffer == nullptr) {
        errno = ENOMEM;
        return false;
    }
    std::size_t done = 0;
    while (done < size) {
        const std::size_t n = std::min(size - done, m_direct ? kBufferBytes : size - done);
        const ssize_t moved = step(offset + done, done, n);
        if (moved < 0 && errno == EINTR) continue;
        if (moved <= 0) {
            if (moved == 0) errno = EIO;   // the disk ended early
            return false;
        }
        done += static_cast<std::size_t>(moved);
    }
    return true;
}

bool DiskStore::Read(std::uint64_t offset, char* data, std::size_t size) {
    return Move(offset, size, [&](std::uint64_t at, std::size_t done, std::size_t n) {
        char* into = m_direct ? m_buffer : data + done;
        const ssize_t got = ::pread(m_fd.get(), into, n, static_cast<off_t>(at));
        if (got > 0 && m_direct) std::memcpy(data + done, m_buffer, static_cast<std::size_t>(got));
        return got;
    });
}

bool DiskStore::Write(std::uint64_t offset, std::string_view bytes) {
    return Move(offset, bytes.size(), [&](std::uint64_t at, std::size_t done, std::size_t n) {
        const char* from = bytes.data() + done;
        if (m_direct) {
            std::memcpy(m_buffer, from, n);
            from = m_buffer;
        }
        return ::pwrite(m_fd.get(), from, n, static_cast<off_t>(at));
    });
}

bool DiskStore::Flush() { return ::fsync(m_fd.get()) == 0; }

Expected<OpenDisk> OpenDiskAt(const std::string& path, const DiskAccess& access) {
    OpenDisk disk;
    disk.device = IsBlockDevice(path);
    const int extra = (access.exclusive && disk.device ? O_EXCL : 0) | (access.nonBlocking ? O_NONBLOCK : 0);
    auto open = [&](int mode, bool direct) {
        return Fd(disk.device ? OpenDeviceNode(path, mode | extra | (direct ? O_DIRECT : 0))
                              : ::open(path.c_str(), mode | extra | O_CLOEXEC | O_NOCTTY));
    };
    int mode = access.write ? O_RDWR : O_RDONLY;
    bool direct = access.direct && disk.device;
    Fd fd = open(mode, direct);
    if (!fd.valid() && direct && errno == EINVAL) {   // a device without direct transfers
        direct = false;
        fd = open(mode, false);
    }
    // A write-protected disk refuses writing; a read-only file may also be one we lack the right to write.
    const bool refusedWriting = errno == EROFS || (!disk.device && (errno == EACCES || errno == EPERM));
    if (!fd.valid() && access.write && access.readOnlyFallback && refusedWriting) fd = open(mode = O_RDONLY, direct);
    if (!fd.valid()) {
        return Result::Refused(disk.device ? DeviceOpenFailure(path, errno)
                                           : Translated(texts::kCannotOpen, {path, Result::FromErrno(errno).reason}));
    }
    // A device's descriptor may come from the desktop's service, opened as it chose.
    disk.readOnly = (disk.device ? ::fcntl(fd.get(), F_GETFL) & O_ACCMODE : mode) == O_RDONLY;
    // A write-protected disk or a read-only loop device may still open for
    // writing, and refuse only the first write.
    if (int readOnly = 0; disk.device && !disk.readOnly && ::ioctl(fd.get(), BLKROGET, &readOnly) == 0 && readOnly != 0) {
        disk.readOnly = true;
    }
    // A descriptor the desktop's service opened may lack O_DIRECT; ask for it.
    if (direct && (::fcntl(fd.get(), F_GETFL) & O_DIRECT) == 0) {
        direct = ::fcntl(fd.get(), F_SETFL, ::fcntl(fd.get(), F_GETFL) | O_DIRECT) == 0;
    }
    struct stat st {};
    const std::optional<std::uint64_t> bytes = OpenSize(fd.get(), &st);
    if (!bytes) return Result::Refused(Translated(texts::kCannotReadSize, {path, Result::FromErrno(errno).reason}));
    disk.bytes = *bytes;
    disk.mode = st.st_mode;
    disk.store = std::make_unique<DiskStore>(std::move(fd), direct);
    return disk;
}

}  // namespace tunecrate
