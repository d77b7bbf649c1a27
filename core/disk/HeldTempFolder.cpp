// SPDX-License-Identifier: MIT
#include "core/disk/HeldTempFolder.h"

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

#include "core/disk/FileOps.h"
#include "core/disk/Handles.h"

namespace tunecrate {

namespace {

constexpr std::string_view kPrefix = "tunecrate-";
constexpr const char* kLockFile = ".held";
constexpr std::time_t kUnlockedGraceSeconds = 60;

bool IsTempFolderName(std::string_view name) {
    if (name.size() != kPrefix.size() + 6 || name.substr(0, kPrefix.size()) != kPrefix) return false;
    for (char c : name.substr(kPrefix.size())) {
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))) return false;
    }
    return true;
}

// Empties an open folder: links are removed, never followed, and a folder
// of another file system (a mount) is left alone.
void EmptyFolder(int folderFd, dev_t device) {
    for (const std::string& name : NamesInOpen(folderFd).value_or(std::vector<std::string>{})) {
        struct stat st {};
        if (::fstatat(folderFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
        if (!S_ISDIR(st.st_mode)) {
            ::unlinkat(folderFd, name.c_str(), 0);
            continue;
        }
        if (st.st_dev != device) continue;
        Fd child{::openat(folderFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC)};
        struct stat opened {};
        if (child.get() < 0 || ::fstat(child.get(), &opened) != 0 || opened.st_dev != device) continue;
        EmptyFolder(child.get(), device);
        ::unlinkat(folderFd, name.c_str(), AT_REMOVEDIR);
    }
}

void RemoveFolderAt(int parentFd, const std::string& name, int folderFd, dev_t device) {
    EmptyFolder(folderFd, device);
    ::unlinkat(parentFd, name.c_str(), AT_REMOVEDIR);
}

}  // namespace

HeldTempFolder::HeldTempFolder(const std::string& parent) {
    for (int attempt = 0; attempt < 5 && m_path.empty(); ++attempt) {
        std::string path = JoinPath(parent, std::string(kPrefix) + "XXXXXX");
        if (::mkdtemp(path.data()) == nullptr) return;
        Fd lock{::open(JoinPath(path, kLockFile).c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600)};
        struct stat st {};
        // A cleaner of another program that came between the folder and its
        // lock took it for a leftover and removed it: then make another.
        if (lock.get() >= 0 && ::flock(lock.get(), LOCK_EX) == 0 && ::fstat(lock.get(), &st) == 0 && st.st_nlink > 0) {
            m_path = std::move(path);
            m_lockFd = lock.release();
        }
    }
}

HeldTempFolder::~HeldTempFolder() {
    if (m_path.empty()) return;
    const auto slash = m_path.rfind('/');
    Fd parent{::open(slash == 0 ? "/" : m_path.substr(0, slash).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
    Fd folder{::open(m_path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC)};
    struct stat st {};
    if (parent.get() >= 0 && folder.get() >= 0 && ::fstat(folder.get(), &st) == 0) {
        RemoveFolderAt(parent.get(), m_path.substr(slash + 1), folder.get(), st.st_dev);
    }
    ::close(m_lockFd);   // held until everything is gone
}

std::optional<std::string> HeldTempFolder::MakeSubfolder(std::string_view name) const {
    if (m_path.empty()) return std::nullopt;
    std::string path = JoinPath(m_path, name);
    if (::mkdir(path.c_str(), 0700) != 0) return std::nullopt;
    return path;
}

void RemoveStaleTempFolders(const std::string& parent) {
    Fd parentFd{::open(parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
    if (parentFd.get() < 0) return;
    for (const std::string& name : NamesInOpen(parentFd.get()).value_or(std::vector<std::string>{})) {
        struct stat named {}, opened {};
        if (!IsTempFolderName(name) || ::fstatat(parentFd.get(), name.c_str(), &named, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISDIR(named.st_mode) || named.st_uid != ::geteuid()) {
            continue;
        }
        Fd folder{::openat(parentFd.get(), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC)};
        if (folder.get() < 0 || ::fstat(folder.get(), &opened) != 0 || opened.st_ino != named.st_ino ||
            opened.st_dev != named.st_dev) {
            continue;
        }
        // Its lock taken here means that no running program holds it.
        Fd lock{::openat(folder.get(), kLockFile, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC)};
        if (lock.get() >= 0 ? ::flock(lock.get(), LOCK_EX | LOCK_NB) != 0
                         : errno != ENOENT || std::time(nullptr) - opened.st_mtime < kUnlockedGraceSeconds) {
            continue;
        }
        RemoveFolderAt(parentFd.get(), name, folder.get(), opened.st_dev);
    }
}

}  // namespace tunecrate
