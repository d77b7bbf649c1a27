// SPDX-License-Identifier: MIT
#include "core/disk/FolderVolume.h"

#include "core/disk/FolderChange.h"
#include "core/Texts.h"

#include <cerrno>
#include <fcntl.h>
#include <map>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace tunecrate {

namespace {

// The folders this process holds locked, each by one descriptor and counted:
// two volumes of one folder in one process are the same writer and never
// wait for each other. The program's one thread is the only user.
struct HeldLock {
    int fd = -1;
    int users = 0;
};
std::map<std::pair<dev_t, ino_t>, HeldLock>& HeldLocks() {
    static std::map<std::pair<dev_t, ino_t>, HeldLock> locks;
    return locks;
}

std::string StampOf(const struct stat& st) {
    std::string stamp;   // ino:size:seconds.nanoseconds, grown in place
    stamp.reserve(64);
    stamp.append(std::to_string(st.st_ino)).append(1, ':').append(std::to_string(st.st_size)).append(1, ':');
    stamp.append(std::to_string(st.st_mtim.tv_sec)).append(1, '.').append(std::to_string(st.st_mtim.tv_nsec));
    return stamp;
}

}  // namespace

FolderVolume::FolderVolume(std::string root) : m_root(std::move(root)) {
    if (m_root.empty() || m_root.back() != '/') m_root += '/';
    // A folder that cannot be opened has nothing to guard; its reads fail on their own.
    const int fd = ::open(m_root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0) {
        if (fd >= 0) ::close(fd);
        return;
    }
    m_lockKey = {st.st_dev, st.st_ino};
    HeldLock& held = HeldLocks()[*m_lockKey];
    if (held.users++ == 0) {
        held.fd = fd;
        // Another writer holds a floppy for one operation only; past the wait
        // the volume works unlocked rather than not at all.
        LockWaiting(fd, true);
    } else {
        ::close(fd);
    }
    // A change that a killed writer left on the floppy is finished or undone
    // before anything is read; the listing that looks for it serves the
    // names until this volume changes a file.
    m_names.emplace(m_root, RecoverFolder(m_root));
}

FolderVolume::~FolderVolume() {
    if (!m_lockKey) return;
    auto held = HeldLocks().find(*m_lockKey);
    if (held == HeldLocks().end() || --held->second.users > 0) return;
    ::close(held->second.fd);
    HeldLocks().erase(held);
}

std::optional<std::string> FolderVolume::RealName(std::string_view name) const {
    if (!m_names) m_names.emplace(m_root);
    return m_names->NoCase(name);
}

std::string FolderVolume::PathOf(std::string_view name) const {
    // The real spelling of an existing case variant, else the name as given.
    auto real = RealName(name);
    return m_root + (real ? *real : std::string(name));
}

std::optional<SpaceInfo> FolderVolume::Space() const {
    return SpaceOf(m_root);
}

bool FolderVolume::Exists(std::string_view name) const {
    return RealName(name).has_value();
}

std::optional<std::uint64_t> FolderVolume::FileSize(std::string_view name) const {
    auto real = RealName(name);
    if (!real) return std::nullopt;
    return tunecrate::FileSize(m_root + *real);
}

std::optional<std::string> FolderVolume::ReadFile(std::string_view name, std::size_t maxBytes) const {
    // Opened as spelled first: only a name that is not there needs its real one.
    errno = 0;
    if (auto bytes = ReadFileBytes(m_root + std::string(name), maxBytes); bytes || errno != ENOENT) return bytes;
    auto real = RealName(name);
    if (!real) return std::nullopt;
    return ReadFileBytes(m_root + *real, maxBytes);
}

std::string FolderVolume::Stamp(std::string_view name) const {
    auto real = RealName(name);
    struct stat st {};
    if (!real || ::lstat((m_root + *real).c_str(), &st) != 0) return {};
    return StampOf(st);
}

std::vector<std::optional<FileLook>> FolderVolume::LookAt(const std::vector<std::string>& names) const {
    if (!m_names) m_names.emplace(m_root);   // read only for a name not there as spelled
    std::vector<std::optional<FileLook>> looks;
    looks.reserve(names.size());
    std::string path = m_root;
    for (const std::string& name : names) {
        std::optional<std::string> real = name;
        struct stat st {};
        path.replace(m_root.size(), std::string::npos, name);
        if (::lstat(path.c_str(), &st) != 0) {
            real = m_names->NoCase(name);
            path.replace(m_root.size(), std::string::npos, real.value_or(""));
            if (!real || ::lstat(path.c_str(), &st) != 0) {
                looks.emplace_back();
                continue;
            }
        }
        std::optional<std::uint64_t> size;
        if (S_ISREG(st.st_mode)) size = static_cast<std::uint64_t>(st.st_size);
        if (S_ISLNK(st.st_mode)) size = tunecrate::FileSize(path);
        looks.push_back(FileLook{std::move(*real), size, StampOf(st)});
    }
    return looks;
}

Result FolderVolume::Apply(const std::vector<FileChange>& changes, CatalogueReserve reserve) {
    std::uint64_t keep = 0;
    if (reserve == CatalogueReserve::Keep) {
        // And a unit for the record under which both catalogue files change together.
        if (auto space = Space()) keep = CatalogueReserveBytes(space->unitBytes) + space->unitBytes;
    }
    m_names.reset();   // the names as they will be are read afresh
    return ReplaceFiles(m_root, changes, NameCase::WholeName, keep);
}

Result FolderVolume::CheckChange(const std::vector<std::string>& names) const {
    if (::access(m_root.c_str(), W_OK) != 0) {
        const int error = errno;
        if (error == EROFS) return Result::FromErrno(error, Translated(texts::kReadOnlyMount, {m_root}));
        return Result::FromErrno(error, m_root + "\n" + Result::FromErrno(error).reason);
    }
    for (const std::string& name : names) {
        // The same refusal a change meets, for every spelling of the name.
        for (const std::string& variant : NameVariants(m_root, name, NameCase::WholeName)) {
            if (Result refused = TargetRefusal(m_root + variant); !refused.ok()) return refused;
        }
    }
    return {};
}

void FolderVolume::Flush() {
    (void)SyncFolder(m_root);   // each change flushed its own; this is for the caller's peace of mind
}

}  // namespace tunecrate
