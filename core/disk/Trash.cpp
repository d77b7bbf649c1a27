// SPDX-License-Identifier: MIT
#include "core/disk/Trash.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>

#include "core/disk/FileOps.h"
#include "core/disk/FolderTree.h"

namespace tunecrate {

namespace {

std::string Parent(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string(".") : slash == 0 ? std::string("/") : path.substr(0, slash);
}

std::string Absolute(const std::string& path) {
    if (!path.empty() && path.front() == '/') return path;
    char* here = ::getcwd(nullptr, 0);
    std::string absolute = here != nullptr ? here : "";
    std::free(here);
    return absolute + "/" + path;
}

// The top folder of the file system that holds `folder`: the last parent
// on the same device.
std::string TopOf(const std::string& folder, dev_t device) {
    std::string top = folder;
    while (top != "/") {
        const std::string up = Parent(top);
        struct stat st {};
        if (::stat(up.c_str(), &st) != 0 || st.st_dev != device) break;
        top = up;
    }
    return top;
}

// A path in the trash record: percent-encoded as a URI path is.
std::string Escaped(const std::string& path) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string escaped;
    for (unsigned char c : path) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                           std::string_view("/-_.~!$&'()*+,;=:@").find(static_cast<char>(c)) != std::string_view::npos;
        if (plain) {
            escaped += static_cast<char>(c);
        } else {
            escaped += '%';
            escaped += kHex[c >> 4];
            escaped += kHex[c & 15];
        }
    }
    return escaped;
}

bool MakeFolder(const std::string& folder, mode_t mode) { return ::mkdir(folder.c_str(), mode) == 0 || errno == EEXIST; }

// The trash for a file on the device `device`, made where missing; its
// record's paths are relative to `base` (empty: absolute).
struct TrashPlace {
    std::string folder, base;
};

Expected<TrashPlace> TrashFor(const std::string& folder, dev_t device) {
    std::string home;
    if (const char* data = std::getenv("XDG_DATA_HOME"); data != nullptr && data[0] == '/') {
        home = std::string(data) + "/Trash";
    } else if (const char* user = std::getenv("HOME"); user != nullptr && user[0] != '\0') {
        home = std::string(user) + "/.local/share/Trash";
    }
    struct stat st {};
    if (!home.empty()) {
        // The home trash serves every file of the home's file system, which
        // its nearest folder that exists tells.
        std::string existing = home;
        while (existing != "/" && ::stat(existing.c_str(), &st) != 0) existing = Parent(existing);
        if (::stat(existing.c_str(), &st) == 0 && st.st_dev == device) {
            for (std::string::size_type at = existing.size() + 1; at <= home.size(); ++at) {
                if ((at == home.size() || home[at] == '/') && !MakeFolder(home.substr(0, at), 0700)) return Result::FromErrno(errno);
            }
            return TrashPlace{home, ""};
        }
    }
    const std::string top = TopOf(folder, device);
    const std::string uid = std::to_string(::getuid());
    // A shared .Trash is used only as the desktop's rule allows: a real
    // folder with the sticky bit, and not a link.
    const std::string shared = (top == "/" ? "" : top) + "/.Trash";
    if (::lstat(shared.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && (st.st_mode & S_ISVTX) != 0) {
        const std::string mine = shared + "/" + uid;
        if (MakeFolder(mine, 0700) && ::lstat(mine.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid()) {
            return TrashPlace{mine, top};
        }
    }
    const std::string own = (top == "/" ? "" : top) + "/.Trash-" + uid;
    if (!MakeFolder(own, 0700)) return Result::FromErrno(errno);
    if (::lstat(own.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid()) return Result::FromErrno(EPERM);
    return TrashPlace{own, top};
}

std::string Now() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    return text;
}

}  // namespace

Expected<std::string> MoveToTrash(const std::string& given) {
    const std::string path = Absolute(given);
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return Result::FromErrno(errno);
    const std::string folder = Parent(path);
    const Expected<TrashPlace> trash = TrashFor(folder, st.st_dev);
    if (!trash) return trash.error();
    const std::string files = trash->folder + "/files", info = trash->folder + "/info";
    if (!MakeFolder(files, 0700) || !MakeFolder(info, 0700)) return Result::FromErrno(errno);
    std::string original = path;
    if (!trash->base.empty() && trash->base != "/") original = path.substr(trash->base.size() + 1);
    else if (trash->base == "/") original = path.substr(1);
    const std::string record = "[Trash Info]\nPath=" + Escaped(original) + "\nDeletionDate=" + Now() + "\n";
    const std::string name = path.substr(path.find_last_of('/') + 1);
    const auto dot = name.rfind('.');
    const std::string stem = dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
    const std::string extension = dot == std::string::npos || dot == 0 ? "" : name.substr(dot);
    for (int n = 1; n < 10000; ++n) {
        const std::string taken = n == 1 ? name : stem + "." + std::to_string(n) + extension;
        const std::string recordPath = info + "/" + taken + ".trashinfo";
        // The record claims the name: made anew, never over another's.
        const Result written = CreateFileBytes(recordPath, record);
        if (written.status == Status::TargetExists) continue;
        if (!written.ok()) return written;
        const std::string to = files + "/" + taken;
        if (Result moved = RenameNoReplace(path, to); !moved.ok()) {
            RemoveFile(recordPath);
            if (moved.status == Status::TargetExists) continue;
            return moved;
        }
        // Moved; a failed flush means the move may not be on the disk yet, which is said.
        if (Result synced = SyncFolder(files); !synced.ok()) return synced;
        if (Result synced = SyncFolder(folder); !synced.ok()) return synced;
        return to;
    }
    return Result::FromErrno(EEXIST);
}

}  // namespace tunecrate
