// SPDX-License-Identifier: MIT
#include "core/ImageVolume.h"

#include <cerrno>
#include <climits>
#include <ctime>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/FatImage.h"
#include "core/FloppyCatalogue.h"
#include "core/SongNames.h"

namespace tunecrate {
namespace {

bool PreadAll(int fd, char* data, std::size_t size, std::uint64_t offset) {
    while (size > 0) {
        const ssize_t n = ::pread(fd, data, size, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = EIO;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
        offset += static_cast<std::uint64_t>(n);
    }
    return true;
}

bool PwriteAll(int fd, std::string_view bytes, std::uint64_t offset) {
    while (!bytes.empty()) {
        const ssize_t n = ::pwrite(fd, bytes.data(), bytes.size(), static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = EIO;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
        offset += static_cast<std::uint64_t>(n);
    }
    return true;
}

std::uint32_t ClustersFor(std::uint64_t bytes) {
    return static_cast<std::uint32_t>((bytes + kImageSectorBytes - 1) / kImageSectorBytes);
}

// Runs of neighbouring clusters, so a file moves in few large transfers.
template <typename Visit>
bool ForEachRun(const std::vector<std::uint16_t>& clusters, Visit visit) {
    std::size_t start = 0;
    for (std::size_t i = 1; i <= clusters.size(); ++i) {
        if (i == clusters.size() || clusters[i] != clusters[i - 1] + 1) {
            if (!visit(start, i - start)) return false;
            start = i;
        }
    }
    return true;
}

FileResult DiskFull(std::string message) { return FileResult::FromErrno(ENOSPC, std::move(message)); }

}  // namespace

// The open image: its file, its lock and its file system in memory.
class ImageFile {
public:
    int fd = -1;
    bool readOnly = false;
    FatImage fat;

    ~ImageFile() {
        if (fd >= 0) ::close(fd);   // also releases the lock
    }

    bool WriteData(const std::vector<std::uint16_t>& clusters, std::string_view bytes) {
        return ForEachRun(clusters, [&](std::size_t first, std::size_t count) {
            const std::size_t from = first * kImageSectorBytes;
            std::string run(count * kImageSectorBytes, '\0');
            if (from < bytes.size()) run.replace(0, std::min(run.size(), bytes.size() - from), bytes.substr(from, run.size()));
            return PwriteAll(fd, run, fat.ClusterOffset(clusters[first]));
        });
    }

    bool ReadData(const std::vector<std::uint16_t>& clusters, std::string& bytes, std::size_t size) {
        bytes.assign(std::size_t{clusters.size()} * kImageSectorBytes, '\0');
        const bool read = ForEachRun(clusters, [&](std::size_t first, std::size_t count) {
            return PreadAll(fd, bytes.data() + first * kImageSectorBytes, count * kImageSectorBytes,
                            fat.ClusterOffset(clusters[first]));
        });
        bytes.resize(std::min(size, bytes.size()));
        return read;
    }

    // Both copies, always: the second is what a repair tool falls back on.
    bool WriteFats() {
        return PwriteAll(fd, fat.FatBytes(), fat.FatOffset(0)) && PwriteAll(fd, fat.FatBytes(), fat.FatOffset(1));
    }

    bool WriteRoot(std::uint32_t firstSlot, std::uint32_t lastSlot) {
        const auto [begin, end] = FatImage::SlotSectors(firstSlot, lastSlot);
        return PwriteAll(fd, std::string_view(fat.RootBytes()).substr(begin, end - begin), fat.RootOffset() + begin);
    }
};

ImageVolume::ImageVolume(std::string imagePath) : m_imagePath(std::move(imagePath)) {
    auto file = std::make_unique<ImageFile>();
    // Not blocking: a FIFO or a device given by mistake must not hang us.
    file->fd = ::open(m_imagePath.c_str(), O_RDWR | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (file->fd < 0 && (errno == EACCES || errno == EROFS || errno == EPERM)) {
        file->fd = ::open(m_imagePath.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
        file->readOnly = true;
    }
    if (file->fd < 0) {
        m_problem = "Cannot open " + m_imagePath + ".\n" + FileResult::FromErrno(errno).Reason();
        return;
    }
    struct stat st {};
    if (::fstat(file->fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        m_problem = m_imagePath + " is not a floppy image file.";
        return;
    }
    // Another program writing the image at the same time would corrupt it.
    if (::flock(file->fd, (file->readOnly ? LOCK_SH : LOCK_EX) | LOCK_NB) != 0) {
        m_problem = errno == EWOULDBLOCK ? m_imagePath + " is in use by another program.\nClose it there and try again."
                                         : "Cannot lock " + m_imagePath + ".\n" + FileResult::FromErrno(errno).Reason();
        return;
    }
    const std::string notAFloppy = m_imagePath + " is not a 1.44 MB floppy image: ";
    if (static_cast<std::uint64_t>(st.st_size) < kImageBytes) {
        m_problem = notAFloppy + "it holds " + std::to_string(st.st_size) + " bytes, not " +
                    std::to_string(kImageBytes) + ".";
        return;
    }
    std::string boot(kImageSectorBytes, '\0');
    if (!PreadAll(file->fd, boot.data(), boot.size(), 0)) {
        m_problem = "Cannot read " + m_imagePath + ".\n" + FileResult::FromErrno(errno).Reason();
        return;
    }
    std::string reason;
    auto parsed = FatImage::Parse(boot, &reason);
    if (!parsed) {
        m_problem = notAFloppy + reason + ".";
        return;
    }
    file->fat = std::move(*parsed);
    std::string head(file->fat.HeadBytes(), '\0');
    if (!PreadAll(file->fd, head.data(), head.size(), 0)) {
        m_problem = "Cannot read " + m_imagePath + ".\n" + FileResult::FromErrno(errno).Reason();
        return;
    }
    if (!file->fat.Load(head, &reason)) {
        m_problem = notAFloppy + reason + ".";
        return;
    }
    m_image = std::move(file);
}

ImageVolume::~ImageVolume() = default;

FileResult ImageVolume::Refusal() const { return FileResult::FromErrno(EIO, m_problem); }

std::optional<SpaceInfo> ImageVolume::Space() const {
    if (!m_image) return std::nullopt;
    return SpaceInfo{m_image->fat.FreeClusters(), m_image->fat.ClusterCount(), kImageSectorBytes};
}

std::optional<FatEntry> ImageVolume::FindFile(std::string_view name) const {
    if (!m_image) return std::nullopt;
    auto found = m_image->fat.Find(name);
    if (found.empty()) return std::nullopt;
    return found.front();
}

bool ImageVolume::Exists(std::string_view name) const {
    return FindFile(name).has_value();
}

std::optional<std::uint64_t> ImageVolume::FileSize(std::string_view name) const {
    auto entry = FindFile(name);
    if (!entry || entry->IsFolder()) return std::nullopt;
    return entry->size;
}

std::optional<std::string> ImageVolume::ReadFile(std::string_view name, std::size_t maxBytes) const {
    auto entry = FindFile(name);
    if (!entry || entry->IsFolder()) return std::nullopt;
    // A size beyond its chain, a loop or a cluster off the disk: unreadable,
    // never someone else's data.
    auto clusters = m_image->fat.Chain(entry->firstCluster, entry->size);
    if (!clusters) return std::nullopt;
    const std::size_t size = std::min<std::size_t>(entry->size, maxBytes);
    clusters->resize(std::min<std::size_t>(clusters->size(), ClustersFor(size)));
    std::string bytes;
    if (!m_image->ReadData(*clusters, bytes, size)) return std::nullopt;
    return bytes;
}

FileResult ImageVolume::WriteFile(std::string_view name, std::string_view bytes) {
    return Store(name, bytes, false);
}

FileResult ImageVolume::Store(std::string_view name, std::string_view bytes, bool failIfExists) {
    if (!m_image) return Refusal();
    auto existing = FindFile(name);
    if (existing && failIfExists) return FileResult::FromErrno(EEXIST);
    if (existing && existing->IsFolder()) return FileResult::FromErrno(EISDIR);
    if (m_image->readOnly) return FileResult::FromErrno(EROFS);
    FatImage& fat = m_image->fat;
    if (bytes.size() > std::uint64_t{fat.ClusterCount()} * kImageSectorBytes) return FileResult::FromErrno(ENOSPC);
    const std::uint32_t needed = ClustersFor(bytes.size());
    const auto size = static_cast<std::uint32_t>(bytes.size());
    auto failed = [] { return FileResult::FromErrno(errno); };

    // Data first, then both FATs, then the entry: an interruption can leave
    // lost clusters, never an entry that points at clusters not yet its own.
    if (!existing) {
        if (!ShortNameFor(name)) {
            return FileResult::FromErrno(EINVAL, std::string(name) + " is not a name a floppy can hold (8.3 letters).");
        }
        auto slot = fat.FreeSlot();
        if (!slot) return DiskFull("The floppy's root folder is full.");
        auto clusters = fat.TakeFree(needed);
        if (!clusters) return FileResult::FromErrno(ENOSPC);
        if (!m_image->WriteData(*clusters, bytes)) return failed();
        fat.Link(*clusters);
        if (!m_image->WriteFats()) return failed();
        fat.PutEntry(*slot, name, clusters->empty() ? 0 : clusters->front(), size);
        if (!m_image->WriteRoot(*slot, *slot) || ::fsync(m_image->fd) != 0) return failed();
        return {};
    }

    auto old = fat.Chain(existing->firstCluster, 0);
    if (auto fresh = fat.TakeFree(needed)) {
        if (!m_image->WriteData(*fresh, bytes)) return failed();
        fat.Link(*fresh);
        if (!m_image->WriteFats()) return failed();
        fat.SetFile(existing->slot, fresh->empty() ? 0 : fresh->front(), size);
        if (!m_image->WriteRoot(existing->slot, existing->slot)) return failed();
        // A damaged old chain is left alone: freeing it could free another file's clusters.
        if (old) {
            fat.Free(*old);
            if (!m_image->WriteFats()) return failed();
        }
        return ::fsync(m_image->fd) == 0 ? FileResult{} : failed();
    }

    // A full disk: the file is rewritten in its own clusters, so that the
    // catalogue can still be saved. Nothing else's data is touched.
    if (!old || fat.FreeClusters() + old->size() < needed) return FileResult::FromErrno(ENOSPC);
    std::vector<std::uint16_t> clusters(old->begin(), old->begin() + std::min<std::size_t>(old->size(), needed));
    if (old->size() < needed) {
        auto more = fat.TakeFree(needed - static_cast<std::uint32_t>(old->size()));
        clusters.insert(clusters.end(), more->begin(), more->end());
    }
    if (!m_image->WriteData(clusters, bytes)) return failed();
    if (clusters.size() > old->size()) {
        fat.Link(clusters);
        if (!m_image->WriteFats()) return failed();
        fat.SetFile(existing->slot, clusters.front(), size);
        if (!m_image->WriteRoot(existing->slot, existing->slot)) return failed();
    } else {
        fat.SetFile(existing->slot, clusters.empty() ? 0 : clusters.front(), size);
        if (!m_image->WriteRoot(existing->slot, existing->slot)) return failed();
        fat.Free(std::vector<std::uint16_t>(old->begin() + static_cast<std::ptrdiff_t>(clusters.size()), old->end()));
        fat.Link(clusters);
        if (!m_image->WriteFats()) return failed();
    }
    return ::fsync(m_image->fd) == 0 ? FileResult{} : failed();
}

FileResult ImageVolume::Remove(std::string_view name) {
    if (!m_image) return Refusal();
    FatImage& fat = m_image->fat;
    auto found = fat.Find(name);
    if (found.empty()) return {};
    if (m_image->readOnly) return FileResult::FromErrno(EROFS);
    FileResult result;
    std::vector<std::vector<std::uint16_t>> chains;
    for (const FatEntry& entry : found) {
        if (entry.IsFolder()) {
            result = FileResult::FromErrno(EISDIR);
            continue;
        }
        // The entry goes first; its clusters are freed after, so that an
        // interruption leaves lost clusters at worst.
        fat.MarkDeleted(entry);
        if (!m_image->WriteRoot(entry.firstSlot, entry.slot)) return FileResult::FromErrno(errno);
        if (auto chain = fat.Chain(entry.firstCluster, 0)) chains.push_back(std::move(*chain));
    }
    for (const auto& chain : chains) fat.Free(chain);
    if (!chains.empty() && !m_image->WriteFats()) return FileResult::FromErrno(errno);
    if (::fsync(m_image->fd) != 0) return FileResult::FromErrno(errno);
    return result;
}

FileResult ImageVolume::CopyFromHost(const std::string& hostPath, std::string_view name, bool failIfExists) {
    if (!m_image) return Refusal();
    auto size = tunecrate::FileSize(hostPath);
    if (!size) return FileResult::FromErrno(ENOENT);
    if (failIfExists && Exists(name)) return FileResult::FromErrno(EEXIST);
    if (*size > std::uint64_t{m_image->fat.ClusterCount()} * kImageSectorBytes) return FileResult::FromErrno(ENOSPC);
    auto bytes = ReadFileBytes(hostPath, static_cast<std::size_t>(*size) + 1);
    if (!bytes) return FileResult::FromErrno(errno != 0 ? errno : EIO);
    return Store(name, *bytes, failIfExists);
}

FileResult ImageVolume::CopyToHost(std::string_view name, const std::string& hostPath, bool failIfExists) {
    if (!m_image) return Refusal();
    if (!Exists(name)) return FileResult::FromErrno(ENOENT);
    auto bytes = ReadFile(name, kImageBytes);
    if (!bytes) return FileResult::FromErrno(EIO, "The file is damaged on the floppy (its clusters do not hold its size).");
    return failIfExists ? CreateFileBytes(hostPath, *bytes) : WriteFileBytes(hostPath, *bytes);
}

void ImageVolume::Flush() {
    if (m_image) ::fsync(m_image->fd);
}

FileResult CreateSongFloppyImage(const std::string& path) {
    const auto volumeId = static_cast<std::uint32_t>(std::time(nullptr)) ^ (static_cast<std::uint32_t>(::getpid()) << 16);
    FileResult created = CreateFileBytes(path, BlankFloppyImage(volumeId));
    if (!created.ok()) return created;
    FileResult written;
    {
        ImageVolume volume(path);
        if (!volume.Problem().empty()) written = FileResult::FromErrno(EIO, volume.Problem());
        if (written.ok()) written = volume.WriteFile(kTitlesFile, TitlesFileBytes({}));
        if (written.ok()) written = volume.WriteFile(kCommentsFile, CommentsFileBytes({}));
    }
    // Half a floppy is no floppy: only a whole one is left behind.
    if (!written.ok()) ::unlink(path.c_str());
    return written;
}

}  // namespace tunecrate
