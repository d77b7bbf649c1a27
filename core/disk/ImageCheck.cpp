// SPDX-License-Identifier: MIT
#include "core/disk/ImageCheck.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <set>

#include "core/Texts.h"

namespace tunecrate {
namespace {

std::string Number(std::uint32_t n) { return std::to_string(n); }

std::string Hex(std::uint32_t n) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%03X", static_cast<unsigned>(n));
    return text;
}

// A tracing's way through the tree: the folders it has been in, and a
// buffer that one folder leaves to the next, so it is allocated once.
struct ChainTracing {
    const FatImage& fat;
    const FolderReader& readFolder;
    ImageChains& chains;
    std::set<std::uint16_t> foldersSeen;
    std::string folder;
};

// Long-name slots that other tools would stumble on: a run of them that no
// short entry ends (its entry deleted, or the folder's end) belongs to no
// file, and a long-name slot never points at a cluster.
void LookAtSlots(std::string_view folder, const std::string& shownFolder, std::vector<std::string>& problems) {
    const auto slots = static_cast<std::uint32_t>(folder.size() / kDirEntryBytes);
    std::optional<std::uint32_t> run;   // the first slot of a run of long-name slots
    for (std::uint32_t i = 0; i <= slots; ++i) {
        const std::string_view slot = i < slots ? folder.substr(i * kDirEntryBytes, kDirEntryBytes) : std::string_view();
        const bool end = slot.empty() || slot[0] == '\0';
        if (!end && IsLongNameSlot(slot)) {
            if (!run) run = i;
            if (slot[26] != '\0' || slot[27] != '\0') {
                const auto cluster = static_cast<std::uint32_t>(static_cast<unsigned char>(slot[26]) |
                                                                (static_cast<unsigned char>(slot[27]) << 8));
                problems.push_back(Translated(texts::kLongNameWithCluster, {shownFolder, Number(i), Number(cluster)}));
            }
            continue;
        }
        if (run && (end || static_cast<unsigned char>(slot[0]) == 0xE5)) {
            problems.push_back(Translated(texts::kOrphanedLongName, {shownFolder, Number(*run)}));
        }
        run.reset();
        if (end) break;
    }
}

void TraceEntries(ChainTracing& tracing, const std::vector<FatEntry>& entries, const std::string& parent, int depth) {
    ImageChains& chains = tracing.chains;
    const std::size_t first = chains.items.size();
    chains.items.reserve(first + entries.size());
    for (const FatEntry& entry : entries) {
        ImageChains::Item& item = chains.items.emplace_back();
        const std::string& name = entry.longName.empty() ? entry.shortName : entry.longName;
        if (parent.empty()) {
            item.path = name;   // the root's: no joined copy made first
        } else {
            item.path = parent + name;
        }
        item.entry = entry;
        item.inRoot = depth == 0;
        item.from = chains.clusters.size();
        item.fault = tracing.fat.TraceChainOnto(entry.firstCluster, entry.IsFolder() ? 0 : entry.size, chains.clusters);
        item.count = chains.clusters.size() - item.from;
        // A chain that ends at an end mark names a next for each of its clusters.
        const bool named = item.fault == FatImage::ChainFault::None || item.fault == FatImage::ChainFault::Short;
        const std::span<const std::uint16_t> clusters = chains.ClustersOf(item);
        for (std::size_t i = 0; i < clusters.size();) {
            // Eight neighbours that no chain held yet, as most of a file is,
            // are taken together.
            if (named && i + 8 <= clusters.size()) {
                const std::uint16_t from = clusters[i];
                std::uint32_t differ = 0;
                for (std::uint16_t k = 0; k < 8; ++k) differ |= clusters[i + k] ^ static_cast<std::uint32_t>(from + k);
                std::uint64_t owned = 1;
                if (differ == 0) std::memcpy(&owned, chains.owners.data() + from, sizeof owned);
                if (owned == 0) {
                    std::memset(chains.owners.data() + from, 1, sizeof owned);
                    chains.held += 8;
                    i += 8;
                    continue;
                }
            }
            const std::uint16_t c = clusters[i++];
            std::uint8_t& owners = chains.owners[c];
            if (owners == 0) {
                ++chains.held;
                if (!named && (tracing.fat.Next(c) == 0 || tracing.fat.Next(c) == kBadClusterMark)) chains.heldUnused.push_back(c);
            }
            chains.shared |= owners != 0;
            owners = static_cast<std::uint8_t>(std::min(owners + 1, 2));
        }
    }
    // A folder's files hold clusters too; a damaged or looping tree is followed only so far.
    for (std::size_t i = first; i < first + entries.size(); ++i) {
        const ImageChains::Item& folder = chains.items[i];
        if (!folder.entry.IsFolder() || folder.count == 0 || depth >= 16 ||
            !tracing.foldersSeen.insert(folder.entry.firstCluster).second) {
            continue;
        }
        const std::string path = folder.path;   // the items grow below
        if (!tracing.readFolder(chains.ClustersOf(folder), tracing.folder)) continue;
        LookAtSlots(tracing.folder, "/" + path, chains.slotProblems);
        TraceEntries(tracing, FatImage::ParseEntries(tracing.folder), path + "/", depth + 1);
    }
}

std::string ChainText(const FatImage& fat, const ImageChains& chains, const ImageChains::Item& item) {
    using Fault = FatImage::ChainFault;
    if (item.fault == Fault::None || item.fault == Fault::Short) return {};
    if (item.count == 0) return Translated(texts::kStartOffDisk, {item.path, Number(item.entry.firstCluster)});
    const std::uint16_t last = chains.ClustersOf(item).back();
    switch (item.fault) {
        case Fault::LeavesDisk: return Translated(texts::kChainLeavesDisk, {item.path, Number(last), Number(fat.Next(last))});
        case Fault::MeetsFree: return Translated(texts::kChainMeetsFree, {item.path, Number(last)});
        case Fault::MeetsBad: return Translated(texts::kChainMeetsBad, {item.path, Number(last)});
        case Fault::Loops: return Translated(texts::kChainLoops, {item.path, Number(last), Number(fat.Next(last))});
        case Fault::None:
        case Fault::Short: break;
    }
    return {};
}

// The first cluster of `item` that another chain holds too, and that chain's item.
std::optional<std::pair<std::uint16_t, const ImageChains::Item*>> SharedCluster(const ImageChains& chains,
                                                                                const ImageChains::Item& item) {
    if (!chains.shared) return std::nullopt;
    for (std::uint16_t c : chains.ClustersOf(item)) {
        if (chains.owners[c] < 2) continue;
        for (const ImageChains::Item& other : chains.items) {
            if (&other != &item && std::ranges::find(chains.ClustersOf(other), c) != chains.ClustersOf(other).end()) {
                return std::pair(c, &other);
            }
        }
    }
    return std::nullopt;
}

}  // namespace

ImageChains TraceImageChains(const FatImage& fat, const FolderReader& readFolder) {
    ImageChains chains;
    // The chains go through about as many clusters as the FAT has in use.
    chains.clusters.reserve(fat.ClusterCount() - fat.FreeClusters() + 16);
    ChainTracing tracing{fat, readFolder, chains, {}, {}};
    LookAtSlots(fat.RootBytes(), "/", chains.slotProblems);
    TraceEntries(tracing, fat.Entries(), "", 0);
    return chains;
}

std::optional<std::uint32_t> FirstFatDifference(const FatImage& fat, std::string_view first, std::string_view second) {
    const std::size_t bytes = std::min<std::size_t>({fat.FatEntryBytes(), first.size(), second.size()});
    if (std::memcmp(first.data(), second.data(), bytes) == 0) return std::nullopt;
    const auto differ = std::mismatch(first.begin(), first.begin() + static_cast<std::ptrdiff_t>(bytes), second.begin());
    // Two entries share three bytes: the middle one holds the high half of
    // the even entry and the low half of the odd one.
    const auto at = static_cast<std::uint32_t>(differ.first - first.begin());
    const std::uint32_t even = at / 3 * 2;
    if (at % 3 == 0) return even;
    if (at % 3 == 2) return even + 1;
    return ((*differ.first ^ *differ.second) & 0x0F) != 0 ? even : even + 1;
}

std::string FatDifferenceText(std::uint32_t entry) {
    return entry < 2 ? Translated(texts::kFatsDifferReserved) : Translated(texts::kFatsDiffer, {Number(entry)});
}

std::string ChainDamage(const FatImage& fat, const ImageChains& chains, const ImageChains::Item& item) {
    if (std::string text = ChainText(fat, chains, item); !text.empty()) return text;
    if (const auto shared = SharedCluster(chains, item)) {
        return Translated(texts::kClusterShared, {item.path, Number(shared->first), shared->second->path});
    }
    return {};
}

std::vector<std::string> ImageProblems(const FatImage& fat, std::string_view first, std::string_view second,
                                       const ImageChains& chains) {
    std::vector<std::string> problems;
    if (const auto entry = FirstFatDifference(fat, first, second)) problems.push_back(FatDifferenceText(*entry));
    // Its high bits are all set on every FAT12 disk; a checker that finds
    // them otherwise in both copies will not even look further.
    if (const std::uint16_t media = fat.Next(0); (media & 0xFF0) != 0xFF0) {
        problems.push_back(Translated(texts::kFatMediaEntry, {Hex(media)}));
    }
    std::set<std::pair<std::size_t, std::size_t>> sharers;   // each pair of items told once
    for (const ImageChains::Item& item : chains.items) {
        const FatEntry& entry = item.entry;
        if (entry.IsFolder() && entry.firstCluster == 0) {
            problems.push_back(Translated(texts::kFolderWithoutCluster, {item.path}));
        } else if (!entry.IsFolder() && entry.firstCluster == 0 && entry.size > 0) {
            problems.push_back(Translated(texts::kSizeWithoutCluster, {item.path, Number(entry.size)}));
        } else if (std::string text = ChainText(fat, chains, item); !text.empty()) {
            problems.push_back(std::move(text));
        }
        if (entry.IsFolder() && entry.size != 0) problems.push_back(Translated(texts::kFolderWithSize, {item.path, Number(entry.size)}));
        if (const auto shared = SharedCluster(chains, item)) {
            const auto one = static_cast<std::size_t>(&item - chains.items.data());
            const auto other = static_cast<std::size_t>(shared->second - chains.items.data());
            if (sharers.insert(std::minmax(one, other)).second) {
                problems.push_back(Translated(texts::kClusterShared, {item.path, Number(shared->first), shared->second->path}));
            }
        }
        if (entry.IsFolder() || (entry.firstCluster == 0 && entry.size > 0)) continue;
        const std::size_t needed = (std::size_t{entry.size} + kImageSectorBytes - 1) / kImageSectorBytes;
        const auto clusters = Number(static_cast<std::uint32_t>(item.count));
        if (item.fault == FatImage::ChainFault::Short) {
            problems.push_back(Translated(texts::kChainShort, {item.path, clusters, Number(entry.size)}));
        } else if (item.fault == FatImage::ChainFault::None && item.count > needed) {
            problems.push_back(Translated(texts::kChainLong, {item.path, clusters, Number(entry.size)}));
        }
    }
    problems.insert(problems.end(), chains.slotProblems.begin(), chains.slotProblems.end());
    // In use in the FAT (a bad cluster is not) and held by no chain. The
    // FAT's counts, which the free space needs anyway, tell whether there are
    // any; only then is the FAT gone through for the first.
    const auto inUse = [&](std::uint16_t cluster) { return fat.Next(cluster) != 0 && fat.Next(cluster) != kBadClusterMark; };
    const auto held = chains.held - static_cast<std::uint32_t>(chains.heldUnused.size());
    if (const std::uint32_t lost = fat.ClusterCount() - fat.FreeClusters() - fat.BadClusters() - held; lost > 0) {
        std::uint16_t firstLost = 2;
        while (!inUse(firstLost) || chains.owners[firstLost] != 0) ++firstLost;
        problems.push_back(Translated(texts::kLostClusters, {Number(lost), Number(firstLost)}));
    }
    return problems;
}

}  // namespace tunecrate
