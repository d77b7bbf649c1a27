// SPDX-License-Identifier: MIT
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/disk/FloppyFinder.h"

namespace tunecrate {

// The folders that the folder tree shows and opens.

// The names of the subfolders of `folder`, hidden ones (".name") only with
// `hidden`, in the order the folder gives; empty when it cannot be listed.
std::vector<std::string> ListSubfolders(std::string_view folder, bool hidden);

// The names of the regular files of `folder` (links to them included), in
// the order the folder gives; nullopt, with errno set, when it cannot be listed.
std::optional<std::vector<std::string>> ListFiles(std::string_view folder);

// An entry of a folder as the folder holds it, a symbolic link not followed.
struct FolderEntry {
    enum class Kind { File, Folder, Fifo, Device, Other, Link };
    std::string name;
    Kind kind = Kind::File;
    // For a link: what the end of its chain is (nullopt when it leads
    // nowhere or loops), and whether that lies in the folder itself.
    std::optional<Kind> leadsTo;
    bool leadsInside = false;
};

// Every entry of `folder` but "." and "..", in the order the folder gives;
// nullopt, with errno set, when it cannot be listed. Only links and entries
// whose kind the folder does not give cost a look of their own.
std::optional<std::vector<FolderEntry>> ListFolderEntries(std::string_view folder);

// True when the folder holds a subfolder (a hidden one only with
// `hiddenFolders`) or, with `includeFiles`, a file that is not hidden: the
// tree then shows an expand button before it is opened.
bool HasContent(std::string_view folder, bool includeFiles, bool hiddenFolders);

// The top level of the tree: the root folder, the home folder, then every
// volume mounted under /media, /run/media or /mnt in mount order; never the
// floppy's mount point, and no folder twice.
std::vector<std::string> TopLevelFolders(const std::vector<MountEntry>& mounts, std::string_view home,
                                         std::string_view floppyRoot);

}  // namespace tunecrate
