// SPDX-License-Identifier: MIT
#include "core/songs/SongRename.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <vector>

#include "core/text/SongNames.h"
#include "core/text/Texts.h"

namespace tunecrate {

namespace {

// One file of the song: its real name now and the name it is to take.
struct Move {
    std::string from;
    std::string to;
};

int RenameNoReplace(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
    return errno;
}

}  // namespace

namespace {

Result CannotRename(const std::string& file, int err) {
    return Result::FromErrno(err, Say(texts::kCannotRename, {file, Result::FromErrno(err).reason}));
}

}  // namespace

Result RenameHardDiskSong(std::string_view folder, std::string_view oldTitle, std::string_view newTitle) {
    if (!IsFileTitle(newTitle)) return Result::Refused(Say(texts::kNoFileTitle));
    if (FindWithExtensionNoCase(folder, newTitle, kSongExtension)) {
        return Result::FromErrno(EEXIST, Say(texts::kSongNameTaken));
    }
    if (!FindWithExtensionNoCase(folder, oldTitle, kSongExtension)) {
        // No song file: there is no song of that title to rename.
        return CannotRename(JoinPath(folder, std::string(oldTitle) + std::string(kSongExtension)), ENOENT);
    }
    const std::string newBase(newTitle);
    std::vector<Move> moves;   // the song file first
    for (std::string_view extension : {kSongExtension, kEventsExtension, kCommentExtension}) {
        if (auto real = FindWithExtensionNoCase(folder, oldTitle, extension)) {
            moves.push_back({JoinPath(folder, *real), JoinPath(folder, newBase + std::string(extension))});
        }
    }

    std::size_t done = 0;
    Result result;
    for (; done < moves.size(); ++done) {
        const Move& move = moves[done];
        int err = 0;
        if (done == 0) {
            err = RenameNoReplace(move.from, move.to);   // the song file never replaces another
        } else {
            // A stray events or comment file of the new title gives way to the
            // song's own, in whatever case its extension is written.
            const std::string_view extension = std::string_view(move.to).substr(move.to.size() - 4);
            Result cleared = RemoveWithExtensionNoCase(folder, newBase, extension);
            err = cleared.ok() ? (::rename(move.from.c_str(), move.to.c_str()) == 0 ? 0 : errno) : cleared.error;
        }
        if (err != 0) {
            result = CannotRename(move.from, err);
            break;
        }
    }
    if (!result.ok()) {
        // Undo in reverse order, so the song is whole under its old title.
        while (done > 0) {
            --done;
            std::rename(moves[done].to.c_str(), moves[done].from.c_str());
        }
    }
    return result;
}

}  // namespace tunecrate
