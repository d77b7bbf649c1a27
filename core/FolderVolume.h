// SPDX-License-Identifier: MIT
#pragma once

#include "core/FloppyVolume.h"

namespace tunecrate {

// A floppy that is a folder: a mounted disk or any folder standing in for one.
class FolderVolume final : public FloppyVolume {
public:
    // `root` is the folder; a final "/" is added when missing.
    explicit FolderVolume(std::string root);

    std::string Root() const override { return m_root; }
    std::optional<SpaceInfo> Space() const override;
    bool Exists(std::string_view name) const override;
    std::optional<std::uint64_t> FileSize(std::string_view name) const override;
    std::optional<std::string> ReadFile(std::string_view name, std::size_t maxBytes) const override;
    FileResult WriteFile(std::string_view name, std::string_view bytes) override;
    FileResult Remove(std::string_view name) override;
    FileResult CopyFromHost(const std::string& hostPath, std::string_view name, bool failIfExists) override;
    FileResult CopyToHost(std::string_view name, const std::string& hostPath, bool failIfExists) override;
    void Flush() override;

private:
    std::optional<std::string> RealName(std::string_view name) const;
    std::string PathOf(std::string_view name) const;
    std::string m_root;
};

}  // namespace tunecrate
