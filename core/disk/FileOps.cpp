// SPDX-License-Identifier: MIT
#include "core/disk/FileOps.h"

#include <cerrno>
#include <algorithm>
#include <climits>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <vector>
#include <sys/file.h>
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

namespace {

bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// A name in `folder` as ForEachEntry reads it: an empty folder is the current one.
std::string PathIn(std::string_view folder, std::string_view name) {
    return folder.empty() ? std::string(name) : JoinPath(folder, name);
}

bool MatchesWithExtension(std::string_view entry, std::string_view base, std::string_view extension) {
    return entry.size() == base.size() + extension.size() && entry.substr(0, base.size()) == base &&
           EqualsNoCase(entry.substr(base.size()), extension);
}

// What looking up the spellings of a name found; `decided` is false when
// only a listing can tell.
struct Probe {
    bool decided = false;
    std::optional<std::string> name;
};

// Looks up base + each ASCII case spelling of `extension` (".cmt" has eight).
// On a disk that keeps case these are the only names that can match; a disk
// that folds case shows one file under two spellings, and only a listing
// gives its real name then.
Probe ProbeSpellings(std::string_view folder, std::string_view base, std::string_view extension) {
    std::vector<std::size_t> letters;
    for (std::size_t i = 0; i < extension.size(); ++i) {
        if (IsAsciiLetter(extension[i])) letters.push_back(i + base.size());
    }
    if (letters.empty() || letters.size() > 4) return {};
    const std::string exact = std::string(base) + std::string(extension);
    std::vector<std::string> names = {exact};   // the exact spelling first: when it is there it wins
    for (unsigned mask = 0; mask < (1u << letters.size()); ++mask) {
        std::string name = exact;
        for (std::size_t k = 0; k < letters.size(); ++k) {
            const char lower = LowerAscii(name[letters[k]]);
            name[letters[k]] = (mask >> k) & 1u ? static_cast<char>(lower - 'a' + 'A') : lower;
        }
        if (name != exact) names.push_back(std::move(name));
    }
    std::vector<std::pair<dev_t, ino_t>> seen;
    std::optional<std::string> smallest;
    bool exactThere = false, missed = false;
    for (const std::string& name : names) {
        struct stat st {};
        if (::lstat(PathIn(folder, name).c_str(), &st) != 0) {
            if (errno != ENOENT) return {};
            missed = true;
        } else {
            const std::pair<dev_t, ino_t> id{st.st_dev, st.st_ino};
            if (std::find(seen.begin(), seen.end(), id) != seen.end()) return {};
            seen.push_back(id);
            exactThere = exactThere || name == exact;
            if (!smallest || name < *smallest) smallest = name;
        }
        // One spelling missing shows that the disk keeps case here.
        if (exactThere && missed) break;
    }
    return {true, exactThere ? exact : smallest};
}

}  // namespace

const std::vector<std::string>& FolderNames::Listing() {
    if (!m_listing) {
        m_listing.emplace();
        ForEachEntry(m_folder, [&](std::string_view entry) { m_listing->emplace_back(entry); });
    }
    return *m_listing;
}

std::optional<std::string> FolderNames::NoCase(std::string_view name) {
    // The spelling asked for is the common case (and on a FAT mount every
    // spelling is); only a miss costs a listing of the folder.
    struct stat st {};
    if (::lstat(PathIn(m_folder, name).c_str(), &st) == 0) return std::string(name);
    BestMatch match(name);
    for (const std::string& entry : Listing()) {
        if (EqualsNoCase(entry, name)) match.Offer(entry);
    }
    return match.Result();
}

std::optional<std::string> FolderNames::WithExtensionNoCase(std::string_view base, std::string_view extension) {
    if (Probe probe = ProbeSpellings(m_folder, base, extension); probe.decided) return probe.name;
    std::string wanted = std::string(base) + std::string(extension);
    BestMatch match(wanted);
    for (const std::string& entry : Listing()) {
        if (MatchesWithExtension(entry, base, extension)) match.Offer(entry);
    }
    return match.Result();
}

std::optional<std::string> FindWithExtensionNoCase(std::string_view folder, std::string_view base,
                                                   std::string_view extension) {
    return FolderNames(std::string(folder)).WithExtensionNoCase(base, extension);
}

namespace {

template <typename Matches>
Result RemoveMatching(std::string_view folder, std::string_view exactName, Matches matches) {
    std::vector<std::string> names;
    const bool listed = ForEachEntry(folder, [&](std::string_view entry) {
        if (matches(entry)) names.emplace_back(entry);
    });
    if (!listed) {
        // Without a listing only the exact spelling can be removed; a miss
        // proves nothing, so it is never reported as success.
        const int listError = errno;
        if (::unlink(JoinPath(folder, exactName).c_str()) == 0) return {};
        return Result::FromErrno(errno == ENOENT ? listError : errno);
    }
    Result result;
    for (const std::string& name : names) {
        if (::unlink(JoinPath(folder, name).c_str()) != 0 && errno != ENOENT && result.ok()) {
            result = Result::FromErrno(errno);
        }
    }
    return result;
}

}  // namespace

Result RemoveNameNoCase(std::string_view folder, std::string_view name) {
    return RemoveMatching(folder, name, [&](std::string_view entry) { return EqualsNoCase(entry, name); });
}

Result RemoveWithExtensionNoCase(std::string_view folder, std::string_view base, std::string_view extension) {
    return RemoveMatching(folder, std::string(base) + std::string(extension), [&](std::string_view entry) {
        return entry.size() == base.size() + extension.size() && entry.substr(0, base.size()) == base &&
               EqualsNoCase(entry.substr(base.size()), extension);
    });
}

bool SameFile(const std::string& a, const std::string& b) {
    struct stat x {}, y {};
    return ::stat(a.c_str(), &x) == 0 && ::stat(b.c_str(), &y) == 0 && x.st_dev == y.st_dev && x.st_ino == y.st_ino;
}

bool IsFolder(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
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
    // A file read up to the size it had when opened needs no read to find its end.
    const auto known = static_cast<std::size_t>(st.st_size);
    while (bytes.size() < maxBytes && (known == 0 || bytes.size() < known)) {
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

bool LockWaiting(int fd, bool exclusive) {
    // Another window or a script holds a floppy only for one operation.
    constexpr int kTries = 60;
    for (int i = 0;; ++i) {
        if (::flock(fd, (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB) == 0) return true;
        if (errno != EWOULDBLOCK && errno != EINTR) return false;
        if (i + 1 >= kTries) {
            errno = EWOULDBLOCK;
            return false;
        }
        ::usleep(50'000);
    }
}

void SyncFolder(const std::string& folder) {
    int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
}

namespace {

bool IsLowerExtensionMatch(std::string_view entry, std::string_view name) {
    const auto dot = name.rfind('.');
    if (dot == std::string_view::npos) return entry == name;
    return entry.size() == name.size() && entry.substr(0, dot) == name.substr(0, dot) &&
           EqualsNoCase(entry.substr(dot), name.substr(dot));
}

// Copies `content` into the open file `out`.
int WriteContent(int out, const FileContent& content) {
    if (const auto* bytes = std::get_if<std::string>(&content)) return WriteAll(out, *bytes) ? 0 : errno;
    const std::string& source = std::get<HostPath>(content).path;
    const int in = ::open(source.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (in < 0) return errno;
    struct stat from {};
    int err = 0;
    if (::fstat(in, &from) != 0) {
        err = errno;
    } else if (!S_ISREG(from.st_mode)) {
        err = S_ISDIR(from.st_mode) ? EISDIR : EINVAL;
    }
    char buffer[65536];
    while (err == 0) {
        const ssize_t n = ::read(in, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) err = errno;
        if (n <= 0) break;
        if (!WriteAll(out, std::string_view(buffer, static_cast<std::size_t>(n)))) err = errno;
    }
    ::close(in);
    return err;
}

// One change as planned: the variants it replaces and the file it stages.
struct PlannedChange {
    const FileChange* change = nullptr;
    std::vector<std::string> variants;
    std::string temp;
    mode_t mode = 0;
};

void RemoveTemps(const std::vector<PlannedChange>& plan) {
    for (const PlannedChange& p : plan) {
        if (!p.temp.empty()) ::unlink(p.temp.c_str());
    }
}

}  // namespace

Result TargetRefusal(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || S_ISREG(st.st_mode)) return {};
    if (S_ISLNK(st.st_mode)) {
        return Result::FromErrno(ELOOP, path + " is a symbolic link; nothing is written through links.");
    }
    if (S_ISDIR(st.st_mode)) return Result::FromErrno(EISDIR, path + " is a folder.");
    return Result::FromErrno(EINVAL, path + " is not a plain file.");
}

std::vector<std::string> NameVariants(std::string_view folder, std::string_view name, NameCase nameCase) {
    std::vector<std::string> names;
    struct stat st {};
    const bool exact = ::lstat(JoinPath(folder, name).c_str(), &st) == 0;
    if (exact) names.emplace_back(name);
    if (nameCase == NameCase::Exact) return names;
    std::vector<std::string> others;
    ForEachEntry(folder, [&](std::string_view entry) {
        if (entry == name) return;
        const bool matches =
            nameCase == NameCase::WholeName ? EqualsNoCase(entry, name) : IsLowerExtensionMatch(entry, name);
        if (matches) others.emplace_back(entry);
    });
    std::sort(others.begin(), others.end());
    names.insert(names.end(), others.begin(), others.end());
    return names;
}

std::optional<std::uint64_t> ContentSize(const FileContent& content) {
    if (const auto* bytes = std::get_if<std::string>(&content)) return bytes->size();
    return FileSize(std::get<HostPath>(content).path);
}

Result ReadContent(const FileContent& content, std::uint64_t maxBytes, std::string& bytes) {
    if (const auto* given = std::get_if<std::string>(&content)) {
        if (given->size() > maxBytes) return Result::FromErrno(ENOSPC);
        bytes = *given;
        return {};
    }
    const std::string& path = std::get<HostPath>(content).path;
    const auto size = FileSize(path);
    if (!size) return Result::FromErrno(errno != 0 ? errno : ENOENT);
    if (*size > maxBytes) return Result::FromErrno(ENOSPC);
    auto read = ReadFileBytes(path, static_cast<std::size_t>(maxBytes) + 1);
    if (!read) return Result::FromErrno(errno != 0 ? errno : EIO);
    if (read->size() > maxBytes) return Result::FromErrno(ENOSPC);
    bytes = std::move(*read);
    return {};
}

Result ReplaceFiles(const std::string& folder, const std::vector<FileChange>& changes, NameCase nameCase,
                        std::uint64_t keepFreeBytes) {
    std::vector<PlannedChange> plan;
    std::uint64_t neededBytes = 0;
    for (const FileChange& change : changes) {
        PlannedChange p;
        p.change = &change;
        // A name too long for the folder would fail only at the switch, half-way.
        if (change.name.size() > NAME_MAX) return Result::FromErrno(ENAMETOOLONG, JoinPath(folder, change.name));
        p.variants = NameVariants(folder, change.name, nameCase);
        for (const std::string& variant : p.variants) {
            struct stat st {};
            const std::string path = JoinPath(folder, variant);
            if (Result refused = TargetRefusal(path); !refused.ok()) return refused;
            if (::lstat(path.c_str(), &st) != 0) continue;
            if (p.mode == 0) p.mode = st.st_mode & 07777;
            // A copy of a file onto itself would end in its deletion by a move.
            if (change.content && std::holds_alternative<HostPath>(*change.content)) {
                struct stat source {};
                if (::stat(std::get<HostPath>(*change.content).path.c_str(), &source) == 0 &&
                    source.st_dev == st.st_dev && source.st_ino == st.st_ino) {
                    return Result::FromErrno(EINVAL, path + " would be copied onto itself.");
                }
            }
        }
        if (change.content) {
            const auto size = ContentSize(*change.content);
            if (!size) return Result::FromErrno(errno != 0 ? errno : ENOENT);
            neededBytes += *size;
        }
        plan.push_back(std::move(p));
    }
    if (keepFreeBytes > 0 && neededBytes > 0) {
        if (const auto space = SpaceOf(folder)) {
            const std::uint64_t unit = std::max<std::uint64_t>(space->unitBytes, 1);
            std::uint64_t units = 0;
            for (const PlannedChange& p : plan) {
                if (p.change->content) units += (ContentSize(*p.change->content).value_or(0) + unit - 1) / unit;
            }
            if ((units * unit) + keepFreeBytes > space->FreeBytes()) return Result::FromErrno(ENOSPC);
        }
    }

    // Every new content is whole on the disk before any old file is touched.
    mode_t mask = ::umask(0);
    ::umask(mask);
    for (PlannedChange& p : plan) {
        if (!p.change->content) continue;
        std::string temp = JoinPath(folder, ".tunecrate-XXXXXX");
        const int fd = ::mkstemp(temp.data());
        if (fd < 0) {
            const int err = errno;
            RemoveTemps(plan);
            return Result::FromErrno(err);
        }
        p.temp = temp;
        // Keep the old file's permissions; a FAT mount may refuse, which is harmless.
        (void)::fchmod(fd, p.mode != 0 ? p.mode : (0666 & ~mask));
        int err = WriteContent(fd, *p.change->content);
        if (err == 0 && ::fsync(fd) != 0) err = errno;
        if (::close(fd) != 0 && err == 0) err = errno;
        if (err != 0) {
            RemoveTemps(plan);
            return Result::FromErrno(err);
        }
    }
    Result result;
    for (PlannedChange& p : plan) {
        std::size_t keep = 0;   // variants[0] is replaced by rename; the others go
        if (p.change->content) {
            const std::string target = JoinPath(folder, p.variants.empty() ? p.change->name : p.variants.front());
            if (::rename(p.temp.c_str(), target.c_str()) != 0) {
                if (result.ok()) result = Result::FromErrno(errno, "Cannot put " + target + " in place.");
                ::unlink(p.temp.c_str());
                continue;
            }
            p.temp.clear();
            keep = 1;
        }
        for (std::size_t i = keep; i < p.variants.size(); ++i) {
            if (::unlink(JoinPath(folder, p.variants[i]).c_str()) != 0 && errno != ENOENT && result.ok()) {
                result = Result::FromErrno(errno);
            }
        }
    }
    SyncFolder(folder);
    return result;
}

Result WriteFileBytes(const std::string& path, std::string_view bytes) {
    const auto slash = path.rfind('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    return ReplaceFiles(ParentFolder(path), {FileChange{name, std::string(bytes)}}, NameCase::Exact);
}

Result CreateFileBytes(const std::string& path, std::string_view bytes) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NONBLOCK, 0666);
    if (fd < 0) return Result::FromErrno(errno);
    int err = WriteAll(fd, bytes) ? 0 : errno;
    if (err == 0 && ::fsync(fd) != 0) err = errno;
    if (::close(fd) != 0 && err == 0) err = errno;
    if (err != 0) {
        ::unlink(path.c_str());
        return Result::FromErrno(err);
    }
    SyncFolder(ParentFolder(path));
    return {};
}

Result RemoveFile(const std::string& path) {
    if (::unlink(path.c_str()) != 0 && errno != ENOENT) return Result::FromErrno(errno);
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
