// SPDX-License-Identifier: MIT
#include "core/songs/SongRename.h"

#include <cerrno>
#include <vector>

#include "core/disk/FolderChange.h"
#include "core/text/SongNames.h"
#include "core/Texts.h"

namespace tunecrate {

namespace {

Result CannotRename(const std::string& file, int err) {
    return Result::FromErrno(err, Translated(texts::kCannotRename, {file, Result::FromErrno(err).reason}));
}

}  // namespace

Result RenameHardDiskSong(std::string_view folder, std::string_view oldTitle, std::string_view newTitle) {
    if (!IsFileTitle(newTitle)) return Result::Refused(Translated(texts::kNoFileTitle));
    if (FindWithExtensionNoCase(folder, newTitle, kSongExtension)) {
        return Result::FromErrno(EEXIST, Translated(texts::kSongNameTaken));
    }
    const std::string at(folder), newBase(newTitle);
    const auto songFile = FindWithExtensionNoCase(folder, oldTitle, kSongExtension);
    // No song file: there is no song of that title to rename.
    if (!songFile) return CannotRename(JoinPath(folder, std::string(oldTitle) + std::string(kSongExtension)), ENOENT);

    // The song file first, never replacing another; then its companions, each
    // taking the place of a stray file of the new title in whatever case its
    // extension is written. All of it under one change record.
    std::vector<ChangeStep> strays, moves;
    for (std::string_view extension : {kSongExtension, kEventsExtension, kCommentExtension}) {
        const auto real = extension == kSongExtension ? songFile : FindWithExtensionNoCase(folder, oldTitle, extension);
        if (!real) continue;
        const std::string from = JoinPath(folder, *real), to = newBase + std::string(extension);
        const auto id = IdentifyFile(at, *real);
        if (!id) return CannotRename(from, errno);
        if (extension != kSongExtension) {
            for (const std::string& stray : NameVariants(folder, to, NameCase::Extension)) {
                const auto strayId = IdentifyFile(at, stray);
                if (!strayId) return CannotRename(from, errno);
                // A folder, a link or a device of that name is no stray file to give way.
                if (Result refused = TargetRefusal(JoinPath(folder, stray)); !refused.ok()) {
                    return Result::FromErrno(refused.error, Translated(texts::kCannotRename, {from, refused.reason}));
                }
                strays.push_back({ChangeStep::Kind::Remove, stray, "", *strayId});
            }
        }
        moves.push_back({extension == kSongExtension ? ChangeStep::Kind::MoveNoReplace : ChangeStep::Kind::Move, *real,
                         to, *id});
    }
    std::vector<ChangeStep> steps = moves;
    steps.insert(steps.begin() + 1, strays.begin(), strays.end());
    std::vector<StagedFile> none;
    const Result renamed = CarryOutChange(at, steps, none);
    if (renamed.ok()) return renamed;
    // With the song file moved the change is past undoing: it is finished
    // later, as the reason says.
    if (!IdentifyFile(at, *songFile)) return renamed;
    return CannotRename(JoinPath(folder, *songFile), renamed.error);
}

}  // namespace tunecrate
