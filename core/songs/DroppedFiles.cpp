// SPDX-License-Identifier: MIT
#include "core/songs/DroppedFiles.h"

#include <algorithm>
#include <optional>

#include "core/disk/FileOps.h"
#include "core/songs/Shelf.h"
#include "core/text/DragPayload.h"
#include "core/text/SongNames.h"

namespace tunecrate {

namespace {

bool EndsWithNoCase(std::string_view name, std::string_view ending) {
    return name.size() > ending.size() && EqualsNoCase(name.substr(name.size() - ending.size()), ending);
}

// The song that a dropped file belongs to.
std::optional<HardDiskItem> SongOfFile(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos || !IsRegularFile(path)) return std::nullopt;
    const std::string folder = slash == 0 ? "/" : path.substr(0, slash);
    const std::string_view name = std::string_view(path).substr(slash + 1);
    for (std::string_view extension : {kSongExtension, kEventsExtension, kCommentExtension}) {
        if (!EndsWithNoCase(name, extension)) continue;
        const std::string_view title = name.substr(0, name.size() - extension.size());
        if (!FindWithExtensionNoCase(folder, title, kSongExtension)) return std::nullopt;
        return HardDiskItem{folder, std::string(title)};
    }
    return std::nullopt;
}

}  // namespace

DroppedFiles ReadDroppedFiles(const std::vector<std::string>& paths) {
    DroppedFiles dropped;
    if (paths.empty()) return dropped;
    if (paths.size() == 1 && IsShelfImageName(paths[0].substr(paths[0].rfind('/') + 1)) && IsRegularFile(paths[0])) {
        dropped.kind = DroppedFiles::Kind::Image;
        dropped.image = paths[0];
        return dropped;
    }
    std::vector<HardDiskItem> songs;
    for (const std::string& path : paths) {
        const auto song = SongOfFile(path);
        if (!song) return dropped;
        // The three files of one song are one song.
        if (std::find(songs.begin(), songs.end(), *song) == songs.end()) songs.push_back(*song);
    }
    // A name that breaks a line cannot be a line of the catalogue either.
    for (const HardDiskItem& song : songs) {
        if (!CanTravelInPayload(HardDiskBaseName(song.folder, song.title))) return dropped;
    }
    dropped.kind = DroppedFiles::Kind::Songs;
    dropped.songs.songs = std::move(songs);
    return dropped;
}

}  // namespace tunecrate
