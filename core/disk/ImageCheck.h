// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/disk/FatImage.h"

namespace tunecrate {

// Reads a folder's clusters, up to its end mark, into `bytes`; false when they cannot be read.
using FolderReader = std::function<bool(std::span<const std::uint16_t> clusters, std::string& bytes)>;

// Every file and folder of an image (the root's, then each subfolder's as
// it is met), with the chain each holds followed as far as it goes, and
// what the folders' slots show beyond their entries. A write looks at it to
// know what it must not touch; a check, to tell what is wrong.
struct ImageChains {
    struct Item {
        std::string path;        // "SONG.NAM", "Sub/Take one.txt": long names where there are
        FatEntry entry;
        bool inRoot = false;
        // What stopped its chain, traced with the file's size (a folder has none),
        // and where the clusters it went through lie in `clusters`.
        FatImage::ChainFault fault = FatImage::ChainFault::None;
        std::size_t from = 0, count = 0;
    };
    std::vector<Item> items;
    std::vector<std::uint16_t> clusters;   // the items' clusters, one chain after another
    // Chains through each cluster, counted up to 2. Inline: cluster numbers
    // stay below the sector count, and a shelf traces a thousand images.
    std::array<std::uint8_t, kImageSectors> owners{};
    std::uint32_t held = 0;              // clusters that chains go through, each once
    bool shared = false;                 // whether any cluster has two owners
    // The held clusters that the FAT calls free or bad: the last of a chain
    // that runs into one. Every other cluster of a chain names the next.
    std::vector<std::uint16_t> heldUnused;
    std::vector<std::string> slotProblems;   // long-name slots that cannot be right, in plain words
    std::span<const std::uint16_t> ClustersOf(const Item& item) const { return {clusters.data() + item.from, item.count}; }
};

// Reads the subfolders through `readFolder`, each once, as deep as 16.
ImageChains TraceImageChains(const FatImage& fat, const FolderReader& readFolder);

// The first entry at which two FAT copies differ, as far as they hold the
// disk's entries (0 and 1 are the reserved ones); nothing when they agree.
std::optional<std::uint32_t> FirstFatDifference(const FatImage& fat, std::string_view first, std::string_view second);
std::string FatDifferenceText(std::uint32_t entry);

// Why freeing the chain of `item` could free what another file holds (it
// loops, leaves the disk, meets a free or bad cluster, or is shared), in
// plain words; empty when it could not.
std::string ChainDamage(const FatImage& fat, const ImageChains& chains, const ImageChains::Item& item);

// Every problem of the image that a disk checker would find and repair,
// one sentence each, naming the file or cluster: FAT copies that differ or
// a damaged media entry; chains that loop, leave the disk, meet a free or
// bad cluster, are shared, or are shorter or longer than their file;
// entries that cannot be right; orphaned long names; lost clusters.
// `first` and `second` are the two FAT copies as the image holds them.
std::vector<std::string> ImageProblems(const FatImage& fat, std::string_view first, std::string_view second,
                                       const ImageChains& chains);

}  // namespace tunecrate
