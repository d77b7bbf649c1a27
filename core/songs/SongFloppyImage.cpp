// SPDX-License-Identifier: MIT
#include "core/songs/SongFloppyImage.h"

#include <sys/random.h>

#include <cerrno>
#include <chrono>

#include "core/disk/FatImage.h"
#include "core/songs/FloppyCatalogue.h"
#include "core/text/SongNames.h"

namespace tunecrate {

namespace {

// Hosts tell one disk from another by the volume serial, so each image gets
// its own, not one made of the time and the process (equal for every image
// of one `new --count`).
std::uint32_t NewVolumeId() {
    std::uint32_t id = 0;
    ssize_t got;
    do got = ::getrandom(&id, sizeof id, 0);
    while (got < 0 && errno == EINTR);
    if (got == static_cast<ssize_t>(sizeof id)) return id;
    // A kernel without getrandom: the clock's nanoseconds still differ from one image to the next.
    static std::uint32_t counter = 0;
    const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
    return static_cast<std::uint32_t>(now ^ (now >> 32)) ^ (++counter * 0x9E3779B9u);
}

// The image as a blank floppy with the empty catalogue files written as the
// image volume writes files: the first free clusters, the first root slots.
std::string SongFloppyImageBytes(std::uint32_t volumeId) {
    std::string image = BlankFloppyImage(volumeId);
    Expected<FatImage> fat = FatImage::Parse(std::string_view(image).substr(0, kImageSectorBytes));
    if (!fat || !fat->Load(std::string_view(image).substr(fat->FatOffset(0)), std::string_view(image).substr(fat->RootOffset())).ok())
        return {};
    const std::string files[][2] = {{std::string(kTitlesFile), TitlesFileBytes({})},
                                    {std::string(kCommentsFile), CommentsFileBytes({})}};
    std::uint32_t slot = 0;
    for (const auto& [name, bytes] : files) {
        const auto clusters = fat->TakeFree(static_cast<std::uint32_t>((bytes.size() + kImageSectorBytes - 1) / kImageSectorBytes));
        if (!clusters) return {};
        for (std::size_t i = 0; i < clusters->size(); ++i) {
            const std::string_view part = std::string_view(bytes).substr(i * kImageSectorBytes, kImageSectorBytes);
            image.replace(fat->ClusterOffset((*clusters)[i]), part.size(), part);
        }
        fat->Link(*clusters);
        if (!fat->PutEntry(slot++, name, clusters->front(), static_cast<std::uint32_t>(bytes.size()))) return {};
    }
    for (int copy = 0; copy < 2; ++copy) image.replace(fat->FatOffset(copy), fat->FatBytes().size(), fat->FatBytes());
    image.replace(fat->RootOffset(), fat->RootBytes().size(), fat->RootBytes());
    return image;
}

}  // namespace

std::string NewSongFloppyImageBytes() { return SongFloppyImageBytes(NewVolumeId()); }

Result CreateSongFloppyImage(const std::string& path) {
    const std::string image = NewSongFloppyImageBytes();
    if (image.size() != kImageBytes) return Result::FromErrno(EINVAL);
    // One write of the whole image: under its name a floppy is whole or not there.
    return CreateFileBytes(path, image);
}

}  // namespace tunecrate
