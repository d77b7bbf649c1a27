// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/Result.h"
#include "core/disk/FileOps.h"

namespace tunecrate {

// Changes of the files of one folder that finish after a crash, under the
// convention of staged files and change records told in FileOps.h: the steps
// of a change of several files are written down in a record beside them
// before the first of them, and the record goes once all are done. Whoever
// opens the folder next finishes a change whose record is whole, and undoes
// one whose record is not (no step was taken then).

// True for the names of staged files and of change records.
bool IsStagedName(std::string_view name);
bool IsChangeRecordName(std::string_view name);

// A new file's bytes on their way in: created as a staged file in a folder
// and held until placed; the file goes with the object unless it was placed
// or released.
class StagedFile {
public:
    StagedFile() = default;
    ~StagedFile();
    StagedFile(StagedFile&& other) noexcept;
    StagedFile& operator=(StagedFile&& other) noexcept;
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;

    // Creates and locks the file in `folder`, named `prefix` and six characters.
    Result Create(const std::string& folder, std::string_view prefix = ".tunecrate-");
    // Writes the content at the file's end and flushes it.
    Result Write(const FileContent& content);
    // Renames the file to `name` in its folder, never replacing a file that
    // is there (TargetExists), and flushes the folder.
    Result PlaceAsNew(std::string_view name);
    // Removes the file now.
    Result Remove();
    // Lets go of the file without removing it: it was placed, or a change
    // record that is left for later names it.
    void Release();

    int fd() const { return m_fd; }
    const std::string& name() const { return m_name; }

private:
    std::string m_folder;
    std::string m_name;
    int m_fd = -1;
};

// What tells a file from another that later took its name.
struct FileId {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint64_t size = 0;
    std::int64_t seconds = 0;   // last modification
    std::int64_t nanoseconds = 0;
};

// The identity of `name` in `folder` (of a link itself, not what it leads to).
std::optional<FileId> IdentifyFile(const std::string& folder, std::string_view name);

// One step of a change. Each is taken only where the disk still shows it
// undone, so that a record outliving its change (its removal not yet on the
// disk) does nothing when it is read again.
struct ChangeStep {
    enum class Kind {
        Put,             // the staged file `name` replaces `to`, if `to` is still `id` (see below)
        Remove,          // the file `name` goes, if it is still `id`
        Move,            // the file `name` is renamed `to`, replacing what is there, if it is still `id`
        MoveNoReplace,   // the same, but never replacing a file at `to`
    };
    Kind kind = Kind::Put;
    std::string name;
    std::string to;
    // Of a Put: what `to` was when the change was planned, a zero id for
    // nothing. A change finished from its record by a later opening is
    // given up when another writer has since taken any of its Put's
    // targets, so that a record left by a killed writer never puts older
    // bytes over newer ones. Records of earlier versions name no target:
    // `targetKnown` false, and their Puts are taken as they are.
    FileId id;
    bool targetKnown = true;
};

// Takes `steps` in `folder`, after writing them down when there are more
// than one. `staged` are the staged files that the Put steps name, held by
// the caller; they are released here once placed, or named by a record that
// is left for later. A failure before the first step leaves the folder as it
// was. A failure after it stops the steps and finishes them from the record,
// as the next opening of the folder would; only when that fails too is the
// record left for the next opening, with a reason that says so.
Result CarryOutChange(const std::string& folder, const std::vector<ChangeStep>& steps,
                      std::vector<StagedFile>& staged);

// Finishes or undoes the changes that killed writers left in `folder` and
// removes their staged files, taking only what is ours and unheld (see
// FileOps.h). Gives the folder's entries as they are then, read once when
// nothing was left behind; nullopt when the folder cannot be listed.
std::optional<std::vector<std::string>> RecoverFolder(const std::string& folder);

}  // namespace tunecrate
