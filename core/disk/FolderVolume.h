// SPDX-License-Identifier: MIT
#pragma once

#include <sys/types.h>
#include <utility>

#include "core/disk/FloppyVolume.h"

namespace tunecrate {

// A floppy that is a folder: a mounted disk or any folder standing in for one.
// The folder is locked (flock) while this object lives, so that two writers
// of its catalogue take turns instead of undoing each other's edits; a change
// that a killed writer left is finished or undone when the object is made.
class FolderVolume final : public FloppyVolume {
public:
    // `root` is the folder; a final "/" is added when missing.
    explicit FolderVolume(std::string root);
    ~FolderVolume() override;
    FolderVolume(const FolderVolume&) = delete;
    FolderVolume& operator=(const FolderVolume&) = delete;

    std::string Root() const override { return m_root; }
    std::optional<SpaceInfo> Space() const override;
    bool Exists(std::string_view name) const override;
    std::optional<std::uint64_t> FileSize(std::string_view name) const override;
    std::optional<std::string> ReadFile(std::string_view name, std::size_t maxBytes) const override;
    std::string Stamp(std::string_view name) const override;
    std::vector<std::optional<FileLook>> LookAt(const std::vector<std::string>& names) const override;
    Result Apply(const std::vector<FileChange>& changes, CatalogueReserve reserve) override;
    Result CheckChange(const std::vector<std::string>& names) const override;
    void Flush() override;

private:
    std::optional<std::string> RealName(std::string_view name) const;
    std::string PathOf(std::string_view name) const;
    std::string m_root;
    mutable std::optional<FolderNames> m_names;          // the folder's real names, read once
    std::optional<std::pair<dev_t, ino_t>> m_lockKey;   // the folder, while this holds its lock
};

}  // namespace tunecrate
