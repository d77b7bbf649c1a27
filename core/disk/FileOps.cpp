// SPDX-License-Identifier: MIT
#include "core/disk/FileOps.h"

#include "core/disk/FolderChange.h"
#include "core/disk/Handles.h"
#include "core/Texts.h"

#include <cerrno>
#include <algorithm>
#include <climits>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <vector>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace tunecrate {

namespace {

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Calls `visit(name)` for each entry of `folder` except "." and "..";
// false (with errno) when the folder cannot be listed.
template <typename Visit>
bool ForEachEntry(std::string_view folder, Visit visit) {
    DirHandle dir(std::string(folder.empty() ? "." : folder));
    if (!dir.valid()) return false;
    while (const dirent* entry = dir.Next()) visit(std::string_view(entry->d_name));
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

// The spellings of base + extension, in every ASCII case of the extension
// (".cmt" has eight), that are there: the exact one first, then the others
// in order. On a disk that keeps case these are the only names that can
// match; a disk that folds case shows one file under two spellings, and only
// a listing gives its real name then: nullopt, as for a lookup that fails
// otherwise. With `firstOnly`, the lookups stop once the exact spelling is
// found and one missing spelling shows that the disk keeps case.
std::optional<std::vector<std::string>> LookUpSpellings(std::string_view folder, std::string_view base,
                                                        std::string_view extension, bool firstOnly) {
    std::vector<std::size_t> letters;
    for (std::size_t i = 0; i < extension.size(); ++i) {
        if (IsAsciiLetter(extension[i])) letters.push_back(i + base.size());
    }
    if (letters.empty() || letters.size() > 4) return std::nullopt;
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
    std::vector<std::string> there;
    bool missed = false;
    for (const std::string& name : names) {
        struct stat st {};
        if (::lstat(PathIn(folder, name).c_str(), &st) != 0) {
            if (errno != ENOENT) return std::nullopt;
            missed = true;
        } else {
            const std::pair<dev_t, ino_t> id{st.st_dev, st.st_ino};
            if (std::find(seen.begin(), seen.end(), id) != seen.end()) return std::nullopt;
            seen.push_back(id);
            there.push_back(name);
        }
        if (firstOnly && missed && !there.empty() && there.front() == exact) break;
    }
    const bool exactThere = !there.empty() && there.front() == exact;
    std::sort(there.begin() + (exactThere ? 1 : 0), there.end());
    return there;
}

// The name that answers to base + extension without regard to the
// extension's case: the exact spelling, else the smallest; `decided` is
// false when only a listing can tell.
struct Probe {
    bool decided = false;
    std::optional<std::string> name;
};

Probe ProbeSpellings(std::string_view folder, std::string_view base, std::string_view extension) {
    const auto there = LookUpSpellings(folder, base, extension, true);
    if (!there) return {};
    if (there->empty()) return {true, std::nullopt};
    return {true, there->front()};
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

std::optional<std::optional<std::string>> FolderNames::WithExtensionNoCaseIfDecided(std::string_view base,
                                                                                   std::string_view extension) {
    if (m_listing) return WithExtensionNoCase(base, extension);
    if (Probe probe = ProbeSpellings(m_folder, base, extension); probe.decided) return probe.name;
    return std::nullopt;
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

bool SameFile(const std::string& a, const std::string& b) {
    struct stat x {}, y {};
    return ::stat(a.c_str(), &x) == 0 && ::stat(b.c_str(), &y) == 0 && x.st_dev == y.st_dev && x.st_ino == y.st_ino;
}

bool IsFolder(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsRegularFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool PathExists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
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

FileLock::FileLock(const std::string& path)
    : m_fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | O_NOFOLLOW)) {
    if (!m_fd.valid() || !LockWaiting(m_fd.get(), true)) m_result = Result::FromErrno(errno == EWOULDBLOCK ? EBUSY : errno);
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

Result SyncFolder(const std::string& folder) {
    const int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0) return Result::FromErrno(errno);
    const int err = ::fsync(dirFd) == 0 ? 0 : errno;
    ::close(dirFd);
    return err == 0 ? Result{} : Result::FromErrno(err);
}

namespace {

bool IsLowerExtensionMatch(std::string_view entry, std::string_view name) {
    const auto dot = name.rfind('.');
    if (dot == std::string_view::npos) return entry == name;
    return entry.size() == name.size() && entry.substr(0, dot) == name.substr(0, dot) &&
           EqualsNoCase(entry.substr(dot), name.substr(dot));
}

// One change as planned: the variants it replaces and the file it stages.
struct PlannedChange {
    const FileChange* change = nullptr;
    std::vector<std::string> variants;
    std::vector<FileId> ids;   // of the variants
    mode_t mode = 0;
    std::size_t putStep = 0;   // the step that puts the new content in place
};

// The entries of `folder` that answer to `name`, and whether the listing met
// a staged file or a change record, which a killed writer may have left.
struct Variants {
    std::vector<std::string> names;
    bool metOurs = false;
};

Variants FindVariants(std::string_view folder, std::string_view name, NameCase nameCase) {
    Variants found;
    struct stat st {};
    // A disk that folds case answers to the spelling asked for where the
    // file has another name: a song's real names come from the listing
    // below, and a FUSE FAT that gives each spelling an inode of its own
    // would otherwise have the song's new file removed as an old variant.
    const bool exact = nameCase != NameCase::Extension && ::lstat(JoinPath(folder, name).c_str(), &st) == 0;
    if (exact) found.names.emplace_back(name);
    if (nameCase == NameCase::Exact) return found;
    // A song's files are found by looking up their few spellings, so that a
    // folder of a hundred thousand songs costs what a small one does.
    if (const auto dot = name.rfind('.'); nameCase == NameCase::Extension && dot != std::string_view::npos) {
        // Two spellings found are rare where case is kept, and on a FUSE FAT
        // may be one file under two inode numbers: only a listing tells.
        if (auto there = LookUpSpellings(folder, name.substr(0, dot), name.substr(dot), false); there && there->size() < 2) {
            found.names = std::move(*there);
            return found;
        }
    }
    std::vector<std::string> others;
    bool listed = false;
    ForEachEntry(folder, [&](std::string_view entry) {
        found.metOurs = found.metOurs || IsStagedName(entry) || IsChangeRecordName(entry);
        listed = listed || entry == name;
        if (entry == name) return;
        const bool matches =
            nameCase == NameCase::WholeName ? EqualsNoCase(entry, name) : IsLowerExtensionMatch(entry, name);
        if (matches) others.emplace_back(entry);
    });
    std::sort(others.begin(), others.end());
    if (listed && !exact) found.names.emplace_back(name);
    found.names.insert(found.names.end(), others.begin(), others.end());
    return found;
}

}  // namespace

Result TargetRefusal(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || S_ISREG(st.st_mode)) return {};
    if (S_ISLNK(st.st_mode)) {
        return Result::FromErrno(ELOOP, Translated(texts::kIsLink, {path}));
    }
    if (S_ISDIR(st.st_mode)) return Result::FromErrno(EISDIR, Translated(texts::kIsFolder, {path}));
    return Result::FromErrno(EINVAL, Translated(texts::kNotPlainFile, {path}));
}

std::vector<std::string> NameVariants(std::string_view folder, std::string_view name, NameCase nameCase) {
    return FindVariants(folder, name, nameCase).names;
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

namespace {

// A change as planned, or why it is refused before anything is written.
struct Plan {
    Result refused;
    std::vector<PlannedChange> changes;
    bool metOurs = false;   // the listing met a staged file or a change record
};

Plan PlanChanges(const std::string& folder, const std::vector<FileChange>& changes, NameCase nameCase) {
    Plan plan;
    const auto refuse = [&](Result why) {
        plan.refused = std::move(why);
        return std::move(plan);
    };
    for (const FileChange& change : changes) {
        PlannedChange p;
        p.change = &change;
        // A name too long for the folder would fail only at the switch, half-way.
        if (change.name.size() > NAME_MAX) return refuse(Result::FromErrno(ENAMETOOLONG, JoinPath(folder, change.name)));
        Variants variants = FindVariants(folder, change.name, nameCase);
        plan.metOurs = plan.metOurs || variants.metOurs;
        for (const std::string& variant : variants.names) {
            struct stat st {};
            const std::string path = JoinPath(folder, variant);
            if (Result refused = TargetRefusal(path); !refused.ok()) return refuse(refused);
            const auto id = IdentifyFile(folder, variant);
            if (::lstat(path.c_str(), &st) != 0 || !id) continue;   // gone since the listing
            if (p.mode == 0) p.mode = st.st_mode & 07777;
            p.variants.push_back(variant);
            p.ids.push_back(*id);
            // A copy of a file onto itself would end in its deletion by a move;
            // the source is followed through links, the target never is.
            if (change.content && std::holds_alternative<HostPath>(*change.content)) {
                struct stat source {};
                if (::stat(std::get<HostPath>(*change.content).path.c_str(), &source) == 0 &&
                    source.st_dev == st.st_dev && source.st_ino == st.st_ino) {
                    return refuse(Result::FromErrno(EINVAL, Translated(texts::kCopyOntoItself, {path})));
                }
            }
        }
        plan.changes.push_back(std::move(p));
    }
    return plan;
}

}  // namespace

Result ReplaceFiles(const std::string& folder, const std::vector<FileChange>& changes, NameCase nameCase,
                        std::uint64_t keepFreeBytes) {
    Plan plan = PlanChanges(folder, changes, nameCase);
    if (plan.refused.ok() && plan.metOurs) {
        // A change that a killed writer left here is finished or undone
        // before this one is planned on what it left; found only by the
        // listing the plan makes anyway.
        RecoverFolder(folder);
        plan = PlanChanges(folder, changes, nameCase);
    }
    if (!plan.refused.ok()) return plan.refused;

    std::vector<ChangeStep> steps;
    std::uint64_t neededBytes = 0;
    for (PlannedChange& p : plan.changes) {
        if (p.change->content) {
            const auto size = ContentSize(*p.change->content);
            if (!size) return Result::FromErrno(errno != 0 ? errno : ENOENT);
            neededBytes += *size;
            p.putStep = steps.size();   // the staged file is named once it exists
            steps.push_back({ChangeStep::Kind::Put, "", p.variants.empty() ? p.change->name : p.variants.front(),
                             p.ids.empty() ? FileId{} : p.ids.front()});
        }
        for (std::size_t i = p.change->content ? 1 : 0; i < p.variants.size(); ++i) {
            steps.push_back({ChangeStep::Kind::Remove, p.variants[i], "", p.ids[i]});
        }
    }
    if (keepFreeBytes > 0 && neededBytes > 0) {
        if (const auto space = SpaceOf(folder)) {
            const std::uint64_t unit = std::max<std::uint64_t>(space->unitBytes, 1);
            std::uint64_t units = steps.size() > 1 ? 1 : 0;   // the change record
            for (const PlannedChange& p : plan.changes) {
                if (p.change->content) units += (ContentSize(*p.change->content).value_or(0) + unit - 1) / unit;
            }
            if ((units * unit) + keepFreeBytes > space->FreeBytes()) return Result::FromErrno(ENOSPC);
        }
    }

    // Every new content is whole on the disk before any old file is touched.
    mode_t mask = ::umask(0);
    ::umask(mask);
    std::vector<StagedFile> staged;
    for (const PlannedChange& p : plan.changes) {
        if (!p.change->content) continue;
        StagedFile& file = staged.emplace_back();
        if (Result made = file.Create(folder); !made.ok()) return made;
        // Keep the old file's permissions; a FAT mount may refuse, which is harmless.
        (void)::fchmod(file.fd(), p.mode != 0 ? p.mode : (0666 & ~mask));
        if (Result written = file.Write(*p.change->content); !written.ok()) return written;
        steps[p.putStep].name = file.name();
    }
    return CarryOutChange(folder, steps, staged);
}

Result WriteFileBytes(const std::string& path, std::string_view bytes) {
    const auto slash = path.rfind('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    return ReplaceFiles(ParentFolder(path), {FileChange{name, std::string(bytes)}}, NameCase::Exact);
}

Result CreateFileBytes(const std::string& path, std::string_view bytes) {
    const auto slash = path.rfind('/');
    const std::string folder = ParentFolder(path), name = slash == std::string::npos ? path : path.substr(slash + 1);
    // What a killed writer left here (a backup's staged image) goes first.
    RecoverFolder(folder);
    // What is there (a file, a folder, a link) is never replaced: the
    // placing refuses it, with no earlier look that could go stale.
    StagedFile file;
    if (Result made = file.Create(folder); !made.ok()) return made;
    mode_t mask = ::umask(0);
    ::umask(mask);
    (void)::fchmod(file.fd(), 0666 & ~mask);
    if (Result written = file.Write(std::string(bytes)); !written.ok()) return written;
    return file.PlaceAsNew(name);
}

Result RemoveFile(const std::string& path) {
    if (::unlink(path.c_str()) != 0 && errno != ENOENT) return Result::FromErrno(errno);
    return {};
}

Result RemoveFiles(const std::vector<std::string>& paths) {
    std::vector<std::pair<std::string, std::vector<FileChange>>> folders;   // in the order first named
    for (const std::string& path : paths) {
        const std::string folder = ParentFolder(path);
        auto it = std::find_if(folders.begin(), folders.end(), [&](const auto& f) { return f.first == folder; });
        if (it == folders.end()) it = folders.insert(folders.end(), {folder, {}});
        it->second.push_back(FileChange{path.substr(path.rfind('/') + 1), std::nullopt});
    }
    Result result;
    for (const auto& [folder, removals] : folders) result.Include(ReplaceFiles(folder, removals, NameCase::Exact));
    return result;
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

MemoryFile::MemoryFile(std::string_view bytes) : m_fd(::memfd_create("tunecrate-disk", MFD_CLOEXEC)) {
    for (std::size_t done = 0; m_fd.get() >= 0 && done < bytes.size();) {
        const ssize_t wrote = ::pwrite(m_fd.get(), bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
        if (wrote <= 0) {
            m_fd.reset();
            break;
        }
        done += static_cast<std::size_t>(wrote);
    }
}

std::string MemoryFile::path() const { return m_fd.get() < 0 ? std::string() : "/proc/self/fd/" + std::to_string(m_fd.get()); }

}  // namespace tunecrate
