// SPDX-License-Identifier: MIT
#pragma once

#include <memory>
#include <string>

#include "core/FatImage.h"
#include "core/FloppyVolume.h"

namespace tunecrate {

class ImageFile;

// A floppy that is a 1.44 MB FAT12 image file, used without mounting: the
// songs live in the image's root folder. The image is opened, checked and
// locked (flock) for as long as this object lives; every operation that
// writes ends with the image flushed to disk.
class ImageVolume final : public FloppyVolume {
public:
    explicit ImageVolume(std::string imagePath);
    ~ImageVolume() override;
    ImageVolume(const ImageVolume&) = delete;
    ImageVolume& operator=(const ImageVolume&) = delete;

    // The image's path followed by "/", so "Cannot open %ssong.nam." reads
    // as a file inside the image.
    std::string Root() const override { return m_imagePath + "/"; }
    std::optional<SpaceInfo> Space() const override;
    bool Exists(std::string_view name) const override;
    std::optional<std::uint64_t> FileSize(std::string_view name) const override;
    std::optional<std::string> ReadFile(std::string_view name, std::size_t maxBytes) const override;
    FileResult WriteFile(std::string_view name, std::string_view bytes) override;
    FileResult Remove(std::string_view name) override;
    FileResult CopyFromHost(const std::string& hostPath, std::string_view name, bool failIfExists) override;
    FileResult CopyToHost(std::string_view name, const std::string& hostPath, bool failIfExists) override;
    void Flush() override;
    std::string Problem() const override { return m_problem; }

private:
    FileResult Refusal() const;
    std::optional<FatEntry> FindFile(std::string_view name) const;
    FileResult Store(std::string_view name, std::string_view bytes, bool failIfExists);
    std::string m_imagePath;
    std::string m_problem;
    std::unique_ptr<ImageFile> m_image;   // null when the image cannot be used
};

// Writes a new, formatted song floppy image holding an empty song.nam and
// comments.dat; an existing file is never replaced (TargetExists).
FileResult CreateSongFloppyImage(const std::string& path);

}  // namespace tunecrate
