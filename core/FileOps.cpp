// SPDX-License-Identifier: MIT
#include "core/FileOps.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <vector>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace tunecrate {

namespace {

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};

// Calls `visit(name)` for each entry of `folder` except "." and "..";
// false (with errno) when the folder cannot be listed.
template <typename Visit>
bool ForEachEntry(std::string_view folder, Visit visit) {
    std::unique_ptr<DIR, DirCloser> dir(opendir(std::string(folder.empty() ? "." : folder).c_str()));
    if (!dir) return false;
    while (dirent* entry = readdir(dir.get())) {
        std::string_view name = entry->d_name;
        if (name == "." || name == "..") continue;
        visit(name);
    }
    return true;
}

// Picks the exact spelling when present, otherwise the smallest matching name,
// so the choice does not depend on the order of the directory listing.
class BestMatch {
public:
    explicit BestMatch(std::string_view wanted) : m_wanted(wanted) {}
    void Offer(std::string_view name) {
        if (m_exact) return;
        if (name == m_wanted) {
            m_best = std::string(name);
            m_exact = true;
        } else if (!m_best || name < *m_best) {
            m_best = std::string(name);
        }
    }
    std::optional<std::string> Result() const { return m_best; }

private:
    std::string_view m_wanted;
    std::optional<std::string> m_best;
    bool m_exact = false;
};

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

std::string ParentFolder(const std::string& path) {
    auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

}  // namespace

FileResult FileResult::FromErrno(int err) {
    FileResult result;
    result.error = err;
    result.status = (err == ENOSPC || err == EDQUOT) ? FileStatus::DiskFull
                  : (err == EEXIST)                  ? FileStatus::TargetExists
                                                     : FileStatus::Failed;
    return result;
}

FileResult FileResult::FromErrno(int err, std::string message) {
    FileResult result = FromErrno(err);
    result.message = std::move(message);
    return result;
}

std::string FileResult::Reason() const {
    if (ok()) return {};
    if (!message.empty()) return message;
    return error != 0 ? std::strerror(error) : "Unknown error";
}

std::string JoinPath(std::string_view folder, std::string_view name) {
    std::string path(folder);
    if (path.empty() || path.back() != '/') path += '/';
    path += name;
    return path;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    }
    return true;
}

std::optional<std::string> FindNameNoCase(std::string_view folder, std::string_view name) {
    BestMatch match(name);
    ForEachEntry(folder, [&](std::string_view entry) {
        if (EqualsNoCase(entry, name)) match.Offer(entry);
    });
    return match.Result();
}

std::optional<std::string> FindWithExtensionNoCase(std::string_view folder, std::string_view base,
                                                   std::string_view extension) {
    std::string wanted = std::string(base) + std::string(extension);
    BestMatch match(wanted);
    ForEachEntry(folder, [&](std::string_view entry) {
        if (entry.size() == wanted.size() && entry.substr(0, base.size()) == base &&
            EqualsNoCase(entry.substr(base.size()), extension)) {
            match.Offer(entry);
        }
    });
    return match.Result();
}

namespace {

template <typename Matches>
FileResult RemoveMatching(std::string_view folder, std::string_view exactName, Matches matches) {
    std::vector<std::string> names;
    const bool listed = ForEachEntry(folder, [&](std::string_view entry) {
        if (matches(entry)) names.emplace_back(entry);
    });
    if (!listed) {
        // Without a listing only the exact spelling can be removed; a miss
        // proves nothing, so it is never reported as success.
        const int listError = errno;
        if (::unlink(JoinPath(folder, exactName).c_str()) == 0) return {};
        return FileResult::FromErrno(errno == ENOENT ? listError : errno);
    }
    FileResult result;
    for (const std::string& name : names) {
        if (::unlink(JoinPath(folder, name).c_str()) != 0 && errno != ENOENT && result.ok()) {
            result = FileResult::FromErrno(errno);
        }
    }
    return result;
}

}  // namespace

FileResult RemoveNameNoCase(std::string_view folder, std::string_view name) {
    return RemoveMatching(folder, name, [&](std::string_view entry) { return EqualsNoCase(entry, name); });
}

FileResult RemoveWithExtensionNoCase(std::string_view folder, std::string_view base, std::string_view extension) {
    return RemoveMatching(folder, std::string(base) + std::string(extension), [&](std::string_view entry) {
        return entry.size() == base.size() + extension.size() && entry.substr(0, base.size()) == base &&
               EqualsNoCase(entry.substr(base.size()), extension);
    });
}

std::optional<std::uint64_t> FileSize(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    return static_cast<std::uint64_t>(st.st_size);
}

std::optional<std::string> ReadFileBytes(const std::string& path, std::size_t maxBytes) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return std::nullopt;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        // A FIFO or device named like a catalogue must not block the reader.
        ::close(fd);
        return std::nullopt;
    }
    std::string bytes;
    char buffer[16384];
    while (bytes.size() < maxBytes) {
        std::size_t want = std::min(sizeof buffer, maxBytes - bytes.size());
        ssize_t n = ::read(fd, buffer, want);
        if (n < 0) {
            if (errno == EINTR) continue;
            ::close(fd);
            return std::nullopt;
        }
        if (n == 0) break;
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return bytes;
}

void SyncFolder(const std::string& folder) {
    int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
}

namespace {

// Writes a new file beside the old one and renames it over it, so that a
// failure at any point leaves the old content whole.
FileResult ReplaceByRename(const std::string& path, std::string_view bytes, const struct stat* old) {
    std::string temp = path + ".tmp-XXXXXX";
    int fd = ::mkstemp(temp.data());
    if (fd < 0) return FileResult::FromErrno(errno);
    mode_t mask = ::umask(0);
    ::umask(mask);
    // Keep the old file's permissions; a FAT mount may refuse, which is harmless.
    (void)::fchmod(fd, old != nullptr ? (old->st_mode & 07777) : (0666 & ~mask));
    int err = 0;
    if (!WriteAll(fd, bytes) || ::fsync(fd) != 0) err = errno;
    if (::close(fd) != 0 && err == 0) err = errno;
    if (err == 0 && ::rename(temp.c_str(), path.c_str()) != 0) err = errno;
    if (err != 0) {
        ::unlink(temp.c_str());
        return FileResult::FromErrno(err);
    }
    SyncFolder(ParentFolder(path));
    return {};
}

// On a full disk there is no room for a second copy, but the file's own
// clusters can be reused: it is grown to its new length first (which fails
// cleanly when even that does not fit), then overwritten and cut to length.
FileResult OverwriteInPlace(const std::string& path, std::string_view bytes, const struct stat& old) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) return FileResult::FromErrno(errno);
    int err = 0;
    const auto length = static_cast<off_t>(bytes.size());
    if (length > old.st_size && ::fallocate(fd, 0, 0, length) != 0 &&
        (errno != EOPNOTSUPP || ::ftruncate(fd, length) != 0)) {
        err = errno;
    } else if (!WriteAll(fd, bytes) || ::ftruncate(fd, length) != 0 || ::fsync(fd) != 0) {
        err = errno;
    }
    if (::close(fd) != 0 && err == 0) err = errno;
    return err != 0 ? FileResult::FromErrno(err) : FileResult{};
}

}  // namespace

FileResult WriteFileBytes(const std::string& path, std::string_view bytes) {
    struct stat old {};
    const bool exists = ::lstat(path.c_str(), &old) == 0;
    if (exists && !S_ISREG(old.st_mode)) return FileResult::FromErrno(S_ISDIR(old.st_mode) ? EISDIR : EINVAL);
    FileResult result = ReplaceByRename(path, bytes, exists ? &old : nullptr);
    if (result.status == FileStatus::DiskFull && exists) result = OverwriteInPlace(path, bytes, old);
    return result;
}

FileResult CreateFileBytes(const std::string& path, std::string_view bytes) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NONBLOCK, 0666);
    if (fd < 0) return FileResult::FromErrno(errno);
    int err = WriteAll(fd, bytes) ? 0 : errno;
    if (err == 0 && ::fsync(fd) != 0) err = errno;
    if (::close(fd) != 0 && err == 0) err = errno;
    if (err != 0) {
        ::unlink(path.c_str());
        return FileResult::FromErrno(err);
    }
    SyncFolder(ParentFolder(path));
    return {};
}

FileResult CopyFile(const std::string& source, const std::string& target, bool failIfExists) {
    int in = ::open(source.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (in < 0) return FileResult::FromErrno(errno);
    struct stat from {};
    if (::fstat(in, &from) != 0 || !S_ISREG(from.st_mode)) {
        const int err = errno != 0 ? errno : EINVAL;
        ::close(in);
        return FileResult::FromErrno(S_ISDIR(from.st_mode) ? EISDIR : err);
    }
    struct stat to {};
    if (::stat(target.c_str(), &to) == 0) {
        if (failIfExists) {
            ::close(in);
            return FileResult::FromErrno(EEXIST);
        }
        // Opening the source itself for writing would empty it.
        if (to.st_dev == from.st_dev && to.st_ino == from.st_ino) {
            ::close(in);
            return FileResult::FromErrno(EINVAL);
        }
    }
    const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | O_NONBLOCK | (failIfExists ? O_EXCL : O_TRUNC);
    int out = ::open(target.c_str(), flags, 0666);
    if (out < 0) {
        const int err = errno;
        ::close(in);
        return FileResult::FromErrno(err);
    }
    int err = 0;
    char buffer[65536];
    for (;;) {
        ssize_t n = ::read(in, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) continue;
            err = errno;
            break;
        }
        if (n == 0) break;
        if (!WriteAll(out, std::string_view(buffer, static_cast<std::size_t>(n)))) {
            err = errno;
            break;
        }
    }
    if (err == 0 && ::fsync(out) != 0) err = errno;
    if (::close(out) != 0 && err == 0) err = errno;
    ::close(in);
    if (err != 0) {
        ::unlink(target.c_str());   // never leave half a song behind
        return FileResult::FromErrno(err);
    }
    SyncFolder(ParentFolder(target));
    return {};
}

FileResult RemoveFile(const std::string& path) {
    if (::unlink(path.c_str()) != 0 && errno != ENOENT) return FileResult::FromErrno(errno);
    return {};
}

std::optional<SpaceInfo> SpaceOf(const std::string& path) {
    struct statvfs vfs {};
    if (::statvfs(path.c_str(), &vfs) != 0 || vfs.f_blocks == 0) return std::nullopt;
    SpaceInfo info;
    info.freeUnits = vfs.f_bavail;
    info.totalUnits = vfs.f_blocks;
    info.unitBytes = vfs.f_frsize != 0 ? vfs.f_frsize : vfs.f_bsize;
    return info;
}

}  // namespace tunecrate
