// SPDX-License-Identifier: MIT
#include "core/disk/DiskStore.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <utility>
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

DiskStore::DiskStore(Fd fd, bool direct, bool verify) : m_fd(std::move(fd)), m_direct(direct), m_verify(verify) {
    // aligned_alloc takes only whole multiples of the alignment.
    if (m_direct || m_verify) m_buffer = static_cast<char*>(std::aligned_alloc(kAlign, (kBufferBytes + kAlign - 1) / kAlign * kAlign));
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
    const bool written = Move(offset, bytes.size(), [&](std::uint64_t at, std::size_t done, std::size_t n) {
        const char* from = bytes.data() + done;
        if (m_direct) {
            std::memcpy(m_buffer, from, n);
            from = m_buffer;
        }
        return ::pwrite(m_fd.get(), from, n, static_cast<off_t>(at));
    });
    for (std::size_t at = 0; written && m_verify && at < bytes.size(); at += kImageSectorBytes) {
        m_unverified[offset + at] = std::string(bytes.substr(at, kImageSectorBytes));
    }
    return written;
}

ssize_t DiskStore::ReadPastCache(std::uint64_t offset, std::size_t size) {
    if (m_buffer == nullptr) {
        errno = ENOMEM;
        return -1;
    }
    const int flags = ::fcntl(m_fd.get(), F_GETFL);
    const bool direct = flags >= 0 && ((flags & O_DIRECT) != 0 || ::fcntl(m_fd.get(), F_SETFL, flags | O_DIRECT) == 0);
    if (!direct) ::posix_fadvise(m_fd.get(), static_cast<off_t>(offset), static_cast<off_t>(size), POSIX_FADV_DONTNEED);
    ssize_t got = -1;
    while ((got = ::pread(m_fd.get(), m_buffer, size, static_cast<off_t>(offset))) < 0 && errno == EINTR) continue;
    const int error = errno;
    if (direct && (flags & O_DIRECT) == 0) ::fcntl(m_fd.get(), F_SETFL, flags);
    errno = error;
    return got;
}

bool DiskStore::ReadFromDisk(std::uint64_t offset, char* data, std::size_t size) {
    // A file's cache is the file: only a device's may outlive its disk.
    struct stat st {};
    if (::fstat(m_fd.get(), &st) != 0 || !S_ISBLK(st.st_mode) || m_buffer == nullptr) return Read(offset, data, size);
    // Whole sectors, as transfers past the cache need.
    const std::uint64_t first = offset / kImageSectorBytes * kImageSectorBytes;
    const std::uint64_t end = (offset + size + kImageSectorBytes - 1) / kImageSectorBytes * kImageSectorBytes;
    if (end - first > kBufferBytes) return Read(offset, data, size);
    const ssize_t got = ReadPastCache(first, static_cast<std::size_t>(end - first));
    if (got < 0) return false;
    if (static_cast<std::uint64_t>(got) < offset + size - first) {
        errno = EIO;   // the disk ended early
        return false;
    }
    std::memcpy(data, m_buffer + (offset - first), size);
    return true;
}

bool DiskStore::Flush() { return ::fsync(m_fd.get()) == 0 && ReadBack(); }

bool DiskStore::ReadBack() {
    const std::map<std::uint64_t, std::string> written = std::exchange(m_unverified, {});
    if (written.empty()) return true;
    // The same descriptor past the cache, so the disk itself answers; the
    // cache's copies are clean after the sync.
    int failure = 0;
    // Neighbouring sectors in one read, as many as the buffer takes: each
    // read of a floppy costs a turn of the disk.
    for (auto run = written.begin(); run != written.end() && failure == 0;) {
        auto end = std::next(run);
        std::size_t size = kImageSectorBytes;
        while (end != written.end() && end->first == run->first + size && size < kBufferBytes) {
            ++end;
            size += kImageSectorBytes;
        }
        const ssize_t got = ReadPastCache(run->first, size);
        if (got < 0) failure = errno;
        for (auto sector = run; failure == 0 && sector != end; ++sector) {
            const std::size_t at = static_cast<std::size_t>(sector->first - run->first);
            const std::string& bytes = sector->second;
            if (at + bytes.size() > static_cast<std::size_t>(got) || std::memcmp(m_buffer + at, bytes.data(), bytes.size()) != 0) {
                failure = kReadBackDiffers;
            }
        }
        run = end;
    }
    errno = failure;
    return failure == 0;
}

Expected<OpenDisk> OpenDiskAt(const std::string& path, const DiskAccess& access) {
    OpenDisk disk;
    // O_EXCL without O_CREAT means something only on a block device, so the
    // path is opened as it is and what it is comes from the open file: the
    // shelf opens a thousand images, and a stat of each path first costs.
    const int extra = (access.exclusive ? O_EXCL : 0) | (access.nonBlocking ? O_NONBLOCK : 0);
    auto open = [&](int mode) {
        Fd fd(::open(path.c_str(), mode | extra | O_CLOEXEC | O_NOCTTY));
        // A device node closed to us may be opened by the desktop's service.
        if (const int error = errno; !fd.valid() && (error == EACCES || error == EPERM)) {
            if (IsBlockDevice(path)) {
                disk.device = true;
                fd = Fd(OpenDeviceNode(path, mode | extra));
            } else {
                errno = error;
            }
        }
        return fd;
    };
    int mode = access.write ? O_RDWR : O_RDONLY;
    Fd fd = open(mode);
    // A write-protected disk refuses writing; a read-only file may also be one we lack the right to write.
    const bool refusedWriting = errno == EROFS || (!disk.device && (errno == EACCES || errno == EPERM));
    if (!fd.valid() && access.write && access.readOnlyFallback && refusedWriting) fd = open(mode = O_RDONLY);
    if (const int error = errno; !fd.valid()) {
        return Result::Refused(disk.device || (error != ENOENT && IsBlockDevice(path))
                                   ? DeviceOpenFailure(path, error)
                                   : Translated(texts::kCannotOpen, {path, Result::FromErrno(error).reason}));
    }
    struct stat st {};
    const std::optional<std::uint64_t> bytes = OpenSize(fd.get(), &st);
    if (!bytes) return Result::Refused(Translated(texts::kCannotReadSize, {path, Result::FromErrno(errno).reason}));
    disk.device = S_ISBLK(st.st_mode);
    disk.bytes = *bytes;
    disk.mode = st.st_mode;
    // A device's descriptor may come from the desktop's service, opened as it chose.
    disk.readOnly = (disk.device ? ::fcntl(fd.get(), F_GETFL) & O_ACCMODE : mode) == O_RDONLY;
    // A write-protected disk or a read-only loop device may still open for
    // writing, and refuse only the first write.
    if (int readOnly = 0; disk.device && !disk.readOnly && ::ioctl(fd.get(), BLKROGET, &readOnly) == 0 && readOnly != 0) {
        disk.readOnly = true;
    }
    // Past the system's cache where the device allows it; a device without
    // direct transfers refuses the flag and is read through the cache.
    bool direct = false;
    if (access.direct && disk.device) {
        const int flags = ::fcntl(fd.get(), F_GETFL);
        direct = (flags & O_DIRECT) != 0 || ::fcntl(fd.get(), F_SETFL, flags | O_DIRECT) == 0;
    }
    disk.store = std::make_unique<DiskStore>(std::move(fd), direct, access.verify && disk.device && !disk.readOnly);
    return disk;
}

}  // namespace tunecrate
