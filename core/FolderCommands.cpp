// SPDX-License-Identifier: MIT
#include "core/FolderCommands.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/FileOps.h"

namespace tunecrate {

namespace {

std::string ParentOf(std::string_view path) {
    auto slash = path.rfind('/');
    if (slash == std::string_view::npos) return {};
    return std::string(path.substr(0, slash + 1));
}

// nftw passes no user data; one deletion runs at a time on the UI thread.
thread_local DeleteReport* g_report = nullptr;

int RemoveEntry(const char* path, const struct stat*, int type, struct FTW*) {
    int rc = 0;
    switch (type) {
        case FTW_DP:
        case FTW_DNR:   // a folder that cannot be read is removed if it is empty
            rc = ::rmdir(path);
            break;
        default:        // files, links (never followed) and anything else
            rc = ::unlink(path);
            break;
    }
    if (rc != 0 && errno != ENOENT) g_report->leftovers.emplace_back(path);
    return 0;   // go on with the rest whatever happened
}

}  // namespace

std::optional<std::string> MakeNewFolder(std::string_view folder) {
    if (folder.empty()) return std::nullopt;
    std::string path = JoinPath(folder, kNewFolderName);
    if (::mkdir(path.c_str(), 0777) != 0) return std::nullopt;
    return path;
}

RenameOutcome RenameFolder(std::string_view folder, std::string_view newName) {
    const std::string parent = ParentOf(folder);
    const std::string_view oldName = folder.substr(parent.size());
    if (newName.empty() || newName == oldName) return RenameOutcome::Unchanged;
    if (parent.empty() || oldName.empty() || newName.find('/') != std::string_view::npos || newName == "." ||
        newName == ".." || newName.find('\0') != std::string_view::npos) {
        return RenameOutcome::Failed;
    }
    const std::string from = parent + std::string(oldName);
    const std::string to = parent + std::string(newName);
    // A plain rename would silently replace an empty folder of the new name.
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        return RenameOutcome::Renamed;
    }
    if (errno != EINVAL && errno != ENOSYS) return RenameOutcome::Failed;
    // File systems without the flag: check first, then rename.
    struct stat st {};
    if (::lstat(to.c_str(), &st) == 0) return RenameOutcome::Failed;
    return ::rename(from.c_str(), to.c_str()) == 0 ? RenameOutcome::Renamed : RenameOutcome::Failed;
}

DeleteReport DeleteFolderTree(std::string_view folder) {
    DeleteReport report;
    std::string path(folder);
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    if (path.empty() || path == "/") {
        report.leftovers.push_back(path.empty() ? std::string("(no folder)") : path);
        return report;
    }
    g_report = &report;
    // Depth first, physical: every folder is emptied before it is removed and
    // no symbolic link is ever followed.
    if (::nftw(path.c_str(), RemoveEntry, 32, FTW_DEPTH | FTW_PHYS) != 0 && errno != ENOENT) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) == 0) report.leftovers.push_back(path);
    }
    g_report = nullptr;
    return report;
}

std::string DeleteFolderQuestion(std::string_view folder) {
    return "ディレクトリ\"" + std::string(folder) + "\" と、全ての下位ディレクトリのデータは消去されます。";
}

}  // namespace tunecrate
