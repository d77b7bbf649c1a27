// SPDX-License-Identifier: MIT
#include "core/songs/HardDiskSongs.h"

#include <algorithm>
#include <optional>
#include <unordered_map>

#include "core/text/CommentFile.h"
#include "core/disk/FileOps.h"
#include "core/disk/FolderChange.h"
#include "core/disk/FolderListing.h"
#include "core/text/Encoding.h"
#include "core/text/NameOrder.h"
#include "core/text/SongNames.h"

namespace tunecrate {

namespace {

enum class Companion { Song, Events, Comment, None };

// Which kind of song file a name is, by its extension in any letter case.
Companion KindOf(std::string_view name, std::string_view& base) {
    if (name.size() < 4) return Companion::None;
    const std::string_view ext = name.substr(name.size() - 4);
    base = name.substr(0, name.size() - 4);
    if (EqualsNoCase(ext, ".b00")) return Companion::Song;
    if (EqualsNoCase(ext, ".evt")) return Companion::Events;
    if (EqualsNoCase(ext, ".cmt")) return Companion::Comment;
    return Companion::None;
}

std::uint64_t SizeIn(const std::string& folder, const std::string& name) {
    return name.empty() ? 0 : FileSize(JoinPath(folder, name)).value_or(0);
}

// Of several case variants the exact spelling wins, then the smallest name.
void Keep(std::string& slot, std::string_view candidate, std::string_view exact) {
    if (slot == exact) return;
    if (slot.empty() || candidate == exact || candidate < slot) slot = std::string(candidate);
}

}  // namespace

namespace {

std::vector<HardDiskRow> ListSongs(std::string_view folder, bool recover) {
    const std::string path(folder);
    // Regular files (or links to them) only: folders never make songs.
    const std::optional<std::vector<std::string>> files = ListFiles(path);
    if (!files) return {};

    std::vector<std::string> songs;                                  // real .b00 names
    std::unordered_map<std::string, std::string> events, comments;   // base -> real name
    bool metOurs = false;
    for (const std::string& name : *files) {
        metOurs = metOurs || (name[0] == '.' && (IsStagedName(name) || IsChangeRecordName(name)));
        std::string_view base;
        const Companion kind = KindOf(name, base);
        if (kind == Companion::None) continue;
        if (kind == Companion::Song) {
            songs.emplace_back(name);
        } else {
            auto& map = kind == Companion::Events ? events : comments;
            const std::string exact = std::string(base) + (kind == Companion::Events ? ".EVT" : ".cmt");
            Keep(map[std::string(base)], name, exact);
        }
    }

    if (metOurs && recover) {
        // A change that a killed writer left here is finished or undone, and
        // the folder read again; the one pass finds it, so a folder with
        // nothing left behind costs no more.
        RecoverFolder(path);
        return ListSongs(folder, false);
    }

    std::vector<std::string> titles;
    std::vector<std::string> keys;   // folded once, compared as plain bytes
    titles.reserve(songs.size());
    keys.reserve(songs.size());
    for (const std::string& song : songs) {
        titles.push_back(song.substr(0, song.size() - 4));
        keys.push_back(NameSortKey(titles.back()));
    }
    // Sort titles with their file names alongside, keeping listing order for ties.
    std::vector<std::size_t> order(songs.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return keys[a] < keys[b]; });

    std::vector<HardDiskRow> rows;
    rows.reserve(songs.size());
    for (std::size_t i : order) {
        HardDiskRow row;
        row.title = std::move(titles[i]);
        const auto eventsFile = events.find(row.title);
        const auto commentFile = comments.find(row.title);
        row.hasEvt = eventsFile != events.end();
        row.sizeText = SizeText(SizeIn(path, songs[i]), row.hasEvt ? SizeIn(path, eventsFile->second) : 0, row.hasEvt);
        if (commentFile != comments.end()) row.wholeComment = ReadCommentText(JoinPath(path, commentFile->second));
        rows.push_back(std::move(row));
    }
    return rows;
}

}  // namespace

std::optional<std::string> FindSongFile(FolderNames& names, std::string_view title, std::string_view extension) {
    if (auto real = names.WithExtensionNoCase(title, extension)) return real;
    // A name that is not UTF-8 is found by what it shows as; of several, the
    // smallest. Its few possible spellings are looked up where they can be,
    // so that a large folder is not read for a song that is not there.
    std::optional<std::string> found;
    if (const auto spellings = Cp932Spellings(title, 8)) {
        bool decided = true;
        for (const std::string& base : *spellings) {
            const auto there = names.WithExtensionNoCaseIfDecided(base, extension);
            decided = decided && there.has_value();
            if (there && *there && (!found || **there < *found)) found = **there;
        }
        if (decided) return found;
    }
    for (const std::string& entry : names.Listing()) {
        std::string_view base;
        if (entry.size() < extension.size() || !EqualsNoCase(std::string_view(entry).substr(entry.size() - extension.size()), extension)) continue;
        base = std::string_view(entry).substr(0, entry.size() - extension.size());
        if (FileNameText(base) == title && base != title && (!found || entry < *found)) found = entry;
    }
    return found;
}

std::vector<HardDiskRow> ListFolderSongs(std::string_view folder) {
    // No folder selected: no songs (never the root folder by accident).
    if (folder.empty()) return {};
    return ListSongs(folder, true);
}

}  // namespace tunecrate
