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

// A survey's way through the tree: the folders it has been in, and buffers
// that one entry or folder leaves to the next, so each is allocated once.
struct Tour {
    const FatImage& fat;
    const FolderReader& readFolder;
    ImageSurvey& survey;
    std::set<std::uint16_t> foldersSeen;
    FatImage::Walk walk;
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

void Visit(Tour& tour, const std::vector<FatEntry>& entries, const std::string& parent, int depth) {
    ImageSurvey& survey = tour.survey;
    const std::size_t first = survey.items.size();
    survey.items.reserve(first + entries.size());
    for (const FatEntry& entry : entries) {
        ImageSurvey::Item& item = survey.items.emplace_back();
        item.path = parent + (entry.longName.empty() ? entry.shortName : entry.longName);
        item.entry = entry;
        item.inRoot = depth == 0;
        tour.fat.WalkChain(entry.firstCluster, entry.IsFolder() ? 0 : entry.size, tour.walk);
        item.problem = tour.walk.problem;
        item.from = survey.chains.size();
        item.count = tour.walk.clusters.size();
        survey.chains.insert(survey.chains.end(), tour.walk.clusters.begin(), tour.walk.clusters.end());
        for (std::uint16_t c : tour.walk.clusters) {
            if (survey.owners[c] == 0) survey.held.push_back(c);
            survey.owners[c] = static_cast<std::uint8_t>(std::min(survey.owners[c] + 1, 2));
        }
    }
    // A folder's files hold clusters too; a damaged or looping tree is followed only so far.
    for (std::size_t i = first; i < first + entries.size(); ++i) {
        const ImageSurvey::Item& folder = survey.items[i];
        if (!folder.entry.IsFolder() || folder.count == 0 || depth >= 16 ||
            !tour.foldersSeen.insert(folder.entry.firstCluster).second) {
            continue;
        }
        const std::string path = folder.path;   // the items grow below
        if (!tour.readFolder(survey.ClustersOf(folder), tour.folder)) continue;
        LookAtSlots(tour.folder, "/" + path, survey.slotProblems);
        Visit(tour, FatImage::ParseEntries(tour.folder), path + "/", depth + 1);
    }
}

std::string ChainText(const FatImage& fat, const ImageSurvey& survey, const ImageSurvey::Item& item) {
    using Problem = FatImage::Walk::Problem;
    if (item.problem == Problem::None || item.problem == Problem::Short) return {};
    if (item.count == 0) return Translated(texts::kStartOffDisk, {item.path, Number(item.entry.firstCluster)});
    const std::uint16_t last = survey.ClustersOf(item).back();
    switch (item.problem) {
        case Problem::LeavesDisk: return Translated(texts::kChainLeavesDisk, {item.path, Number(last), Number(fat.Next(last))});
        case Problem::MeetsFree: return Translated(texts::kChainMeetsFree, {item.path, Number(last)});
        case Problem::MeetsBad: return Translated(texts::kChainMeetsBad, {item.path, Number(last)});
        case Problem::Loops: return Translated(texts::kChainLoops, {item.path, Number(last), Number(fat.Next(last))});
        case Problem::None:
        case Problem::Short: break;
    }
    return {};
}

// The first cluster of `item` that another chain holds too, and that chain's item.
std::optional<std::pair<std::uint16_t, const ImageSurvey::Item*>> SharedCluster(const ImageSurvey& survey,
                                                                                const ImageSurvey::Item& item) {
    for (std::uint16_t c : survey.ClustersOf(item)) {
        if (survey.owners[c] < 2) continue;
        for (const ImageSurvey::Item& other : survey.items) {
            if (&other != &item && std::ranges::find(survey.ClustersOf(other), c) != survey.ClustersOf(other).end()) {
                return std::pair(c, &other);
            }
        }
    }
    return std::nullopt;
}

}  // namespace

ImageSurvey SurveyImage(const FatImage& fat, const FolderReader& readFolder) {
    ImageSurvey survey;
    survey.owners.assign(fat.ClusterCount() + 2, 0);
    Tour tour{fat, readFolder, survey, {}, {}, {}};
    LookAtSlots(fat.RootBytes(), "/", survey.slotProblems);
    Visit(tour, fat.Entries(), "", 0);
    return survey;
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

std::string ChainDamage(const FatImage& fat, const ImageSurvey& survey, const ImageSurvey::Item& item) {
    if (std::string text = ChainText(fat, survey, item); !text.empty()) return text;
    if (const auto shared = SharedCluster(survey, item)) {
        return Translated(texts::kClusterShared, {item.path, Number(shared->first), shared->second->path});
    }
    return {};
}

std::vector<std::string> ImageProblems(const FatImage& fat, std::string_view first, std::string_view second,
                                       const ImageSurvey& survey) {
    std::vector<std::string> problems;
    if (const auto entry = FirstFatDifference(fat, first, second)) problems.push_back(FatDifferenceText(*entry));
    // Its high bits are all set on every FAT12 disk; a checker that finds
    // them otherwise in both copies will not even look further.
    if (const std::uint16_t media = fat.Next(0); (media & 0xFF0) != 0xFF0) {
        problems.push_back(Translated(texts::kFatMediaEntry, {Hex(media)}));
    }
    std::set<std::pair<std::size_t, std::size_t>> sharers;   // each pair of items told once
    for (const ImageSurvey::Item& item : survey.items) {
        const FatEntry& entry = item.entry;
        if (entry.IsFolder() && entry.firstCluster == 0) {
            problems.push_back(Translated(texts::kFolderWithoutCluster, {item.path}));
        } else if (!entry.IsFolder() && entry.firstCluster == 0 && entry.size > 0) {
            problems.push_back(Translated(texts::kSizeWithoutCluster, {item.path, Number(entry.size)}));
        } else if (std::string text = ChainText(fat, survey, item); !text.empty()) {
            problems.push_back(std::move(text));
        }
        if (entry.IsFolder() && entry.size != 0) problems.push_back(Translated(texts::kFolderWithSize, {item.path, Number(entry.size)}));
        if (const auto shared = SharedCluster(survey, item)) {
            const auto one = static_cast<std::size_t>(&item - survey.items.data());
            const auto other = static_cast<std::size_t>(shared->second - survey.items.data());
            if (sharers.insert(std::minmax(one, other)).second) {
                problems.push_back(Translated(texts::kClusterShared, {item.path, Number(shared->first), shared->second->path}));
            }
        }
        if (entry.IsFolder() || (entry.firstCluster == 0 && entry.size > 0)) continue;
        const std::size_t needed = (std::size_t{entry.size} + kImageSectorBytes - 1) / kImageSectorBytes;
        const auto clusters = Number(static_cast<std::uint32_t>(item.count));
        if (item.problem == FatImage::Walk::Problem::Short) {
            problems.push_back(Translated(texts::kChainShort, {item.path, clusters, Number(entry.size)}));
        } else if (item.problem == FatImage::Walk::Problem::None && item.count > needed) {
            problems.push_back(Translated(texts::kChainLong, {item.path, clusters, Number(entry.size)}));
        }
    }
    problems.insert(problems.end(), survey.slotProblems.begin(), survey.slotProblems.end());
    // In use in the FAT (a bad cluster is not) and held by no chain. The
    // FAT's counts, which the free space needs anyway, tell whether there are
    // any; only then is the FAT gone through for the first.
    const auto inUse = [&](std::uint16_t cluster) { return fat.Next(cluster) != 0 && fat.Next(cluster) != kBadClusterMark; };
    const auto held = static_cast<std::uint32_t>(std::count_if(survey.held.begin(), survey.held.end(), inUse));
    if (const std::uint32_t lost = fat.ClusterCount() - fat.FreeClusters() - fat.BadClusters() - held; lost > 0) {
        std::uint16_t firstLost = 2;
        while (!inUse(firstLost) || survey.owners[firstLost] != 0) ++firstLost;
        problems.push_back(Translated(texts::kLostClusters, {Number(lost), Number(firstLost)}));
    }
    return problems;
}

}  // namespace tunecrate
