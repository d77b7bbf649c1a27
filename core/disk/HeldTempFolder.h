// SPDX-License-Identifier: MIT
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tunecrate {

// A private folder "tunecrate-XXXXXX" under a temporary folder, for copies
// that another program may still be reading (songs dragged out to a file
// manager). It holds a lock file inside with flock while it lives, and goes
// with everything in it when it is destroyed; a program killed before that
// leaves it behind unlocked, for RemoveStaleTempFolders.
class HeldTempFolder {
public:
    explicit HeldTempFolder(const std::string& parent);
    ~HeldTempFolder();
    HeldTempFolder(const HeldTempFolder&) = delete;
    HeldTempFolder& operator=(const HeldTempFolder&) = delete;

    // Empty when the folder could not be made.
    const std::string& path() const { return m_path; }
    // Makes the folder `name` inside; its path, or nullopt when it cannot.
    std::optional<std::string> MakeSubfolder(std::string_view name) const;

private:
    std::string m_path;
    int m_lockFd = -1;
};

// Removes the folders that HeldTempFolder made under `parent` and that no
// running program holds any more: only folders of that naming owned by this
// user, emptied without following links or entering other mounts. A folder
// without its lock file (its maker killed before it was made) is taken as
// left behind once it has not changed for a minute.
void RemoveStaleTempFolders(const std::string& parent);

}  // namespace tunecrate
