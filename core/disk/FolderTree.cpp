// SPDX-License-Identifier: MIT
#include "core/disk/FolderTree.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/disk/FileOps.h"
#include "core/disk/Handles.h"

namespace tunecrate {

namespace {

using Stat = struct statx;

// Never triggers an automount: an automount point counts as a mount as it is.
bool StatAt(int dirFd, const char* name, int flags, Stat& st) {
    return ::statx(dirFd, name, flags | AT_NO_AUTOMOUNT, STATX_TYPE | STATX_INO | STATX_MNT_ID, &st) == 0;
}
bool StatEntry(int dirFd, const char* name, Stat& st) { return StatAt(dirFd, name, AT_SYMLINK_NOFOLLOW, st); }
bool StatOpen(int fd, Stat& st) { return StatAt(fd, "", AT_EMPTY_PATH, st); }

// Bind mounts of one file system share the device, so the mount id decides
// where the kernel has one; the device alone is the fallback.
bool SameMount(const Stat& a, const Stat& b) {
    if (a.stx_dev_major != b.stx_dev_major || a.stx_dev_minor != b.stx_dev_minor) return false;
    if ((a.stx_mask & STATX_MNT_ID) != 0 && (b.stx_mask & STATX_MNT_ID) != 0) return a.stx_mnt_id == b.stx_mnt_id;
    return true;
}
bool IsMountRoot(const Stat& st) {
    return (st.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) != 0 && (st.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0;
}
// An entry of a folder that lies on another mount, or is one's root.
bool CrossesMount(const Stat& entry, const Stat& folder) { return !SameMount(entry, folder) || IsMountRoot(entry); }

std::optional<std::string> Canonical(const std::string& path) {
    char* real = ::realpath(path.c_str(), nullptr);
    if (real == nullptr) return std::nullopt;
    std::string result(real);
    std::free(real);
    return result;
}

std::string WithoutFinalSlashes(std::string_view path) {
    while (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
    return std::string(path);
}

// True when `path` is `folder` or lies inside it; both canonical.
bool Holds(const std::string& folder, const std::string& path) {
    if (folder == "/") return true;
    return path == folder || (path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
                              path[folder.size()] == '/');
}

// A deletion about to start: the open parent folder and the target's name in it.
struct Target {
    enum class State { Ready, Gone, Unreachable } state = State::Unreachable;
    TreeRefusal refusal = TreeRefusal::None;
    std::string path;   // canonical, for the report
    std::string name;
    Fd parent;
    Stat parentStat {};
    Stat stat {};       // the target itself, not followed
};

// Makes the path canonical and decides whether it may go. Only the final name
// stays unresolved, so that a link is removed as the link it is; "." and ".."
// are resolved, since they always name a real folder.
void Locate(std::string_view folder, const std::vector<std::string>& protectedFolders, Target& target) {
    std::string path = WithoutFinalSlashes(folder);
    if (path.empty()) {
        target.refusal = TreeRefusal::NoFolder;
        return;
    }
    const auto slash = path.rfind('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    std::string canonical;
    if (path == "/" || name == "." || name == "..") {
        auto real = Canonical(path);
        if (!real) {
            target.state = errno == ENOENT ? Target::State::Gone : Target::State::Unreachable;
            target.path = path;
            return;
        }
        canonical = *real;
    } else {
        const std::string parentPart = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
        auto parent = Canonical(parentPart);
        if (!parent) {
            target.state = errno == ENOENT ? Target::State::Gone : Target::State::Unreachable;
            target.path = path;
            return;
        }
        canonical = JoinPath(*parent, name);
    }
    target.path = canonical;
    if (canonical == "/") {
        target.refusal = TreeRefusal::Protected;
        return;
    }

    std::vector<std::string> guarded = {"/"};
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') guarded.emplace_back(home);
    guarded.insert(guarded.end(), protectedFolders.begin(), protectedFolders.end());
    std::vector<Stat> guardedStats;
    for (const std::string& guard : guarded) {
        if (guard.empty()) continue;
        const std::string real = Canonical(guard).value_or(WithoutFinalSlashes(guard));
        if (Holds(canonical, real)) {
            target.refusal = TreeRefusal::Protected;
            return;
        }
        Stat st {};
        if (StatAt(AT_FDCWD, real.c_str(), 0, st)) guardedStats.push_back(st);
    }

    const auto cut = canonical.rfind('/');
    target.name = canonical.substr(cut + 1);
    const std::string parentPath = cut == 0 ? "/" : canonical.substr(0, cut);
    target.parent.reset(::open(parentPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!target.parent.valid() || !StatOpen(target.parent.get(), target.parentStat)) {
        target.state = Target::State::Unreachable;
        return;
    }
    if (!StatEntry(target.parent.get(), target.name.c_str(), target.stat)) {
        target.state = errno == ENOENT ? Target::State::Gone : Target::State::Unreachable;
        return;
    }
    if (CrossesMount(target.stat, target.parentStat)) {
        target.refusal = TreeRefusal::MountRoot;
        return;
    }
    // The same folder under another name: a path that changed since it was
    // resolved, or a bind mount that shows it elsewhere.
    for (const Stat& st : guardedStats) {
        if (st.stx_dev_major == target.stat.stx_dev_major && st.stx_dev_minor == target.stat.stx_dev_minor &&
            st.stx_ino == target.stat.stx_ino) {
            target.refusal = TreeRefusal::Protected;
            return;
        }
    }
    target.state = Target::State::Ready;
}

// Removes one entry of an open folder, and everything below it, without
// leaving the folder's mount. What cannot go is reported.
class TreeRemover {
public:
    explicit TreeRemover(std::vector<std::string>& leftovers) : m_leftovers(leftovers) {}

    void RemoveEntry(int folderFd, const Stat& folderStat, const std::string& folderPath, const std::string& name) {
        const std::string path = JoinPath(folderPath, name);
        Stat st {};
        if (!StatEntry(folderFd, name.c_str(), st)) {
            if (errno != ENOENT) Left(path);
            return;
        }
        if (CrossesMount(st, folderStat)) {   // a volume or bind mount: left whole
            Left(path);
            return;
        }
        if (!S_ISDIR(st.stx_mode)) {   // files, links (never followed) and anything else
            if (::unlinkat(folderFd, name.c_str(), 0) != 0 && errno != ENOENT) Left(path);
            return;
        }
        // O_NOFOLLOW: a folder swapped for a link since the look is not entered.
        Fd child(::openat(folderFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (child.valid()) {
            Stat opened {};
            // Whatever is open now must still be this mount, or something was mounted meanwhile.
            if (!StatOpen(child.get(), opened) || CrossesMount(opened, folderStat)) {
                Left(path);
                return;
            }
            EmptyFolder(child.get(), opened, path);
        } else if (errno == ENOENT) {
            return;
        }
        // A folder that could not be opened is removed if it is empty.
        if (::unlinkat(folderFd, name.c_str(), AT_REMOVEDIR) != 0 && errno != ENOENT) Left(path);
    }

    void EmptyFolder(int folderFd, const Stat& folderStat, const std::string& folderPath) {
        const auto names = NamesInOpen(folderFd);
        if (!names) return;   // the folder's own removal then fails and reports it
        for (const std::string& name : *names) RemoveEntry(folderFd, folderStat, folderPath, name);
    }

private:
    void Left(const std::string& path) { m_leftovers.push_back(path); }
    std::vector<std::string>& m_leftovers;
};

}  // namespace

TreeRefusal CheckTreeRemoval(std::string_view folder, const std::vector<std::string>& protectedFolders) {
    Target target;
    Locate(folder, protectedFolders, target);
    return target.refusal;
}

TreeRemoval RemoveTree(std::string_view folder, const std::vector<std::string>& protectedFolders) {
    Target target;
    Locate(folder, protectedFolders, target);
    TreeRemoval removal;
    removal.refusal = target.refusal;
    if (target.refusal != TreeRefusal::None || target.state == Target::State::Gone) return removal;
    if (target.state == Target::State::Unreachable) {
        removal.leftovers.push_back(target.path);
    } else {
        const std::string parentPath = target.path.substr(0, target.path.size() - target.name.size());
        TreeRemover(removal.leftovers)
            .RemoveEntry(target.parent.get(), target.parentStat, WithoutFinalSlashes(parentPath), target.name);
    }
    return removal;
}

Result MakeFolder(const std::string& path) {
    return ::mkdir(path.c_str(), 0777) == 0 ? Result{} : Result::FromErrno(errno);
}

Result RenameNoReplace(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return {};
    if (errno != EINVAL && errno != ENOSYS) return Result::FromErrno(errno);
    // File systems without the flag: check first, then rename.
    struct stat st {};
    if (::lstat(to.c_str(), &st) == 0) return Result::FromErrno(EEXIST);
    return ::rename(from.c_str(), to.c_str()) == 0 ? Result{} : Result::FromErrno(errno);
}

}  // namespace tunecrate
