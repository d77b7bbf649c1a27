// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "core/Result.h"
#include "core/disk/Handles.h"

namespace tunecrate {

// The one layer through which the core reaches files on a mounted file system.
//
// New bytes never appear half-written under a file's real name. They are
// written to a staged file beside it, named ".tunecrate-" and six letters or
// digits (mkstemp's pattern), flushed, and only then renamed into place. A
// change of several files in one folder is first written down in a change
// record beside them (".tunecrate-intent-" and six letters or digits, see
// FolderChange.h), so that a change cut short by a crash is finished or
// undone when the folder is next opened, never left half-done.
//
// Staged files and records are held with flock(LOCK_EX) by the process that
// writes them, from their creation until they are placed or removed. Whoever
// finds one (RecoverFolder) takes it only when it is ours, a plain file of
// our naming owned by this user, and flock(LOCK_EX | LOCK_NB) gives it the
// lock: a file another process holds is that process's work in progress.
// A writer takes its lock right after creating the file and then checks
// that the name still leads to it, so a finder that came in between and
// removed it costs a retry, not a file. Anything that creates a whole new
// file (a backup, a new floppy image) stages it the same way: StagedFile in
// FolderChange.h.

// Free and total space of a volume in allocation units.
struct SpaceInfo {
    std::uint64_t freeUnits = 0;
    std::uint64_t totalUnits = 0;
    std::uint64_t unitBytes = 0;
    std::uint64_t FreeBytes() const { return freeUnits * unitBytes; }
    std::uint64_t TotalBytes() const { return totalUnits * unitBytes; }
};

// A path inside `folder`: folder + "/" + name, without doubling a final slash.
std::string JoinPath(std::string_view folder, std::string_view name);

// ASCII case-insensitive equality; bytes above 0x7F compare exactly. Inline:
// an image's root is searched with it a dozen times per reading.
inline bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    // Most names differ in their first eight bytes by more than the case bit:
    // told in one compare, where byte by byte would take a loop.
    if (a.size() >= 8) {
        std::uint64_t x = 0, y = 0;
        std::memcpy(&x, a.data(), 8);
        std::memcpy(&y, b.data(), 8);
        if (((x ^ y) & ~std::uint64_t{0x2020202020202020}) != 0) return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i] == b[i]) continue;
        // Equal apart from case only if they differ in the case bit and are letters.
        const char lower = static_cast<char>(a[i] | 0x20);
        if ((a[i] ^ b[i]) != 0x20 || lower < 'a' || lower > 'z') return false;
    }
    return true;
}

// The real name of `base` + an extension that equals `extension` without
// regard to case (the base is matched exactly): "Blues" + ".cmt" finds Blues.CMT.
// The exact spelling wins, otherwise the smallest match.
std::optional<std::string> FindWithExtensionNoCase(std::string_view folder, std::string_view base,
                                                   std::string_view extension);

// The real names by which files of one folder go, for an operation that asks
// about many of them (a drop, a catalogue reading): the folder is read at most
// once, and only when a name's spellings cannot simply be looked up, so a
// folder of a hundred thousand songs costs what a small one does.
class FolderNames {
public:
    explicit FolderNames(std::string folder) : m_folder(std::move(folder)) {}
    // With the folder's entries as already read (nullopt: read them when needed).
    FolderNames(std::string folder, std::optional<std::vector<std::string>> listing)
        : m_folder(std::move(folder)), m_listing(std::move(listing)) {}
    const std::string& folder() const { return m_folder; }
    // `name` when it is there as spelled, else the smallest entry equal to it
    // without regard to ASCII case.
    std::optional<std::string> NoCase(std::string_view name);
    // As FindWithExtensionNoCase.
    std::optional<std::string> WithExtensionNoCase(std::string_view base, std::string_view extension);
    // The same where lookups of its spellings can tell, without a listing;
    // nullopt where only a listing can.
    std::optional<std::optional<std::string>> WithExtensionNoCaseIfDecided(std::string_view base, std::string_view extension);
    // Every entry of the folder, read once.
    const std::vector<std::string>& Listing();

private:
    std::string m_folder;
    std::optional<std::vector<std::string>> m_listing;   // read at the first question that needs it
};

// True when both paths name the same file or folder.
bool SameFile(const std::string& a, const std::string& b);

// True when `path` is a folder (links followed).
bool IsFolder(const std::string& path);

// True when `path` is a regular file (links followed).
bool IsRegularFile(const std::string& path);

// True when anything is at `path`, a link that leads nowhere included.
bool PathExists(const std::string& path);

// Size of a regular file; nullopt when it cannot be read.
std::optional<std::uint64_t> FileSize(const std::string& path);

// Reads at most `maxBytes` of a regular file; nullopt when it cannot be opened.
std::optional<std::string> ReadFileBytes(const std::string& path, std::size_t maxBytes);

// A file of the hard disk whose content a change copies.
struct HostPath {
    std::string path;
};

// What a file becomes: these bytes, or a copy of a host file.
using FileContent = std::variant<std::string, HostPath>;

// One file that a change puts in place, or takes away.
struct FileChange {
    std::string name;                     // the file's name in its folder
    std::optional<FileContent> content;   // nullopt: the file goes
};

// How the entries of a folder answer to a file name.
enum class NameCase {
    Exact,       // as written
    Extension,   // the base as written, the extension in any ASCII case (a song's files)
    WholeName,   // in any ASCII case (a floppy, whose FAT ignores case)
};

// The entries of `folder` that answer to `name`, the exact spelling first.
std::vector<std::string> NameVariants(std::string_view folder, std::string_view name, NameCase nameCase);

// Why a new file may not take the place of `path`: a symbolic link, a folder
// or a device is there. Ok when nothing or a plain file is there.
Result TargetRefusal(const std::string& path);

// Puts every change into `folder`, or none: each new content is staged and
// flushed, and only when all are written do they replace the old files (by
// rename, under the name of the variant that is there) and do the files to
// go, and every other variant of a name, disappear; a change of more than one
// file does so under a change record, so a crash cannot leave it half-done.
// A symbolic link, a folder or a device where a file must go refuses the
// whole change, so nothing is ever written through a link. A copy of a file
// onto itself (through a link too) is refused. `keepFreeBytes` is room that
// must stay free on the disk after the change.
Result ReplaceFiles(const std::string& folder, const std::vector<FileChange>& changes, NameCase nameCase,
                        std::uint64_t keepFreeBytes = 0);

// The size of a content: its bytes, or the host file's (nullopt when it cannot be read).
std::optional<std::uint64_t> ContentSize(const FileContent& content);

// Reads a content whole, refusing one over `maxBytes` (ENOSPC: it cannot fit).
Result ReadContent(const FileContent& content, std::uint64_t maxBytes, std::string& bytes);

// Replaces the file's content with `bytes` (creating it when missing) and
// flushes it to the disk; a failure leaves the old content whole. Fails on
// anything but a regular file, and never writes through a link.
Result WriteFileBytes(const std::string& path, std::string_view bytes);

// Creates a new file holding `bytes`, flushed to the disk; an existing file
// gives TargetExists, and a failure (or a crash) leaves no file under its name.
Result CreateFileBytes(const std::string& path, std::string_view bytes);

// Removes one file; a missing file is no failure.
Result RemoveFile(const std::string& path);

// Removes the files at `paths`; those of one folder go together or not at all.
Result RemoveFiles(const std::vector<std::string>& paths);

// Takes an advisory lock (flock) on an open file or folder, waiting a few
// seconds for another holder to finish; false (errno EWOULDBLOCK) when it does not.
bool LockWaiting(int fd, bool exclusive);

// Bytes held as a file of their own in memory, for code that reads files by
// path (a disk read from a drive, looked at as any image is before anything
// reaches the shelf); gone with the object.
class MemoryFile {
public:
    explicit MemoryFile(std::string_view bytes);
    // Empty when no such file could be made.
    std::string path() const;

private:
    Fd m_fd;
};

// Holds the exclusive lock of one file (LockWaiting) for as long as it lives,
// so that no other program writes it meanwhile; the file is opened without
// following a link, and a lock held elsewhere fails with EBUSY.
class FileLock {
public:
    explicit FileLock(const std::string& path);
    const Result& result() const { return m_result; }

private:
    Fd m_fd;
    Result m_result;
};

// Flushes a folder's entries to the disk.
Result SyncFolder(const std::string& folder);

// statvfs of the file system holding `path`; nullopt when it fails or is empty.
std::optional<SpaceInfo> SpaceOf(const std::string& path);

}  // namespace tunecrate
