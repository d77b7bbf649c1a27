// SPDX-License-Identifier: MIT
#include "core/disk/FatImage.h"

#include <cstring>

#include <algorithm>
#include <bit>
#include <bitset>
#include <ctime>

#include "core/Texts.h"

namespace tunecrate {
namespace {

constexpr std::uint16_t kEndOfChain = 0xFFF;
constexpr std::uint16_t kLastCluster = 0xFF8;      // 0xFF8..0xFFF end a chain
constexpr std::uint16_t kBadCluster = kBadClusterMark;
constexpr std::uint8_t kLongNameAttributes = 0x0F;
constexpr std::uint8_t kVolumeLabel = 0x08;
constexpr std::uint8_t kLowerBase = 0x08;
constexpr std::uint8_t kLowerExtension = 0x10;
constexpr unsigned char kDeleted = 0xE5;
constexpr unsigned char kRealE5 = 0x05;

std::uint32_t Le16(std::string_view b, std::size_t at) {
    return static_cast<unsigned char>(b[at]) | (static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 1])) << 8);
}

std::uint32_t Le32(std::string_view b, std::size_t at) {
    return Le16(b, at) | (Le16(b, at + 2) << 16);
}

void Put16(std::string& b, std::size_t at, std::uint32_t v) {
    b[at] = static_cast<char>(v & 0xFF);
    b[at + 1] = static_cast<char>((v >> 8) & 0xFF);
}

void Put32(std::string& b, std::size_t at, std::uint32_t v) {
    Put16(b, at, v & 0xFFFF);
    Put16(b, at + 2, v >> 16);
}

unsigned char Byte(std::string_view b, std::size_t at) { return static_cast<unsigned char>(b[at]); }

std::string Refusal(const char* text, std::uint32_t expected, std::uint32_t found) {
    return Translated(text, {std::to_string(expected), std::to_string(found)});
}

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

std::string_view Trimmed(std::string_view field) {
    std::size_t end = field.size();
    while (end > 0 && field[end - 1] == ' ') --end;
    return field.substr(0, end);
}

// Built in one string: every entry of the root is named on each reading.
std::string ShortDisplayName(std::string_view entry) {
    const std::string_view base = Trimmed(entry.substr(0, 8));
    const std::string_view extension = Trimmed(entry.substr(8, 3));
    std::string name;
    name.reserve(base.size() + 1 + extension.size());
    name.append(base);
    if (!name.empty() && static_cast<unsigned char>(name[0]) == kRealE5) name[0] = static_cast<char>(kDeleted);
    const std::uint8_t flags = Byte(entry, 12);
    if (flags & kLowerBase) std::transform(name.begin(), name.end(), name.begin(), Lower);
    if (extension.empty()) return name;
    name += '.';
    const auto dot = static_cast<std::ptrdiff_t>(name.size());
    name.append(extension);
    if (flags & kLowerExtension) std::transform(name.begin() + dot, name.end(), name.begin() + dot, Lower);
    return name;
}

std::uint8_t ShortNameChecksum(std::string_view entry) {
    std::uint8_t sum = 0;
    for (int i = 0; i < 11; ++i) {
        sum = static_cast<std::uint8_t>(((sum & 1) << 7) + (sum >> 1) + Byte(entry, static_cast<std::size_t>(i)));
    }
    return sum;
}

void AppendUtf8(std::string& out, std::uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// UTF-16 units of a long name, ended by 0x0000 and padded with 0xFFFF.
std::string LongNameUtf8(const std::vector<std::uint16_t>& units) {
    std::string out;
    for (std::size_t i = 0; i < units.size(); ++i) {
        std::uint32_t u = units[i];
        if (u == 0x0000) break;
        if (u >= 0xD800 && u < 0xDC00 && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] < 0xE000) {
            u = 0x10000 + ((u - 0xD800) << 10) + (units[i + 1] - 0xDC00);
            ++i;
        } else if (u >= 0xD800 && u < 0xE000) {
            u = 0xFFFD;
        }
        AppendUtf8(out, u);
    }
    return out;
}

// The long name being gathered from the slots before a short entry.
struct LongNameParts {
    int expected = 0;                 // the sequence number the next slot must have
    std::uint8_t checksum = 0;
    std::uint32_t firstSlot = 0;
    std::vector<std::uint16_t> units; // 13 per slot, slot 1 first
    bool Complete() const { return expected == 1 && !units.empty(); }
    void Reset() {
        expected = 0;
        units.clear();
    }
};

void GatherLongNamePart(LongNameParts& parts, std::string_view slot, std::uint32_t index) {
    const std::uint8_t order = Byte(slot, 0);
    const int sequence = order & 0x1F;
    if (order & 0x40) {
        parts.Reset();
        if (sequence == 0 || sequence > 20) return;
        parts.expected = sequence + 1;
        parts.checksum = Byte(slot, 13);
        parts.firstSlot = index;
        parts.units.assign(static_cast<std::size_t>(sequence) * 13, 0xFFFF);
    }
    if (parts.expected == 0 || sequence != parts.expected - 1 || Byte(slot, 13) != parts.checksum) {
        parts.Reset();
        return;
    }
    static constexpr std::size_t kOffsets[13] = {1, 3, 5, 7, 9, 14, 16, 18, 20, 22, 24, 28, 30};
    const std::size_t base = static_cast<std::size_t>(sequence - 1) * 13;
    for (std::size_t i = 0; i < 13; ++i) parts.units[base + i] = static_cast<std::uint16_t>(Le16(slot, kOffsets[i]));
    parts.expected = sequence;
}

bool IsShortNameCharacter(char c) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) return true;
    return std::string_view("!#$%&'()-@^_`{}~").find(c) != std::string_view::npos;
}

// The local time in the packed form of directory entries.
std::pair<std::uint16_t, std::uint16_t> DosNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    const int year = std::clamp(local.tm_year + 1900, 1980, 2107);
    const auto date = static_cast<std::uint16_t>(((year - 1980) << 9) | ((local.tm_mon + 1) << 5) | local.tm_mday);
    const auto time = static_cast<std::uint16_t>((local.tm_hour << 11) | (local.tm_min << 5) | (local.tm_sec / 2));
    return {date, time};
}

}  // namespace

Expected<FatImage> FatImage::Parse(std::string_view boot) {
    if (boot.size() < kImageSectorBytes) return Result::Refused(Translated(texts::kShorterThanBoot));
    const std::uint32_t sectorBytes = Le16(boot, 11);
    const std::uint32_t clusterSectors = Byte(boot, 13);
    const std::uint32_t reserved = Le16(boot, 14);
    const std::uint32_t fats = Byte(boot, 16);
    const std::uint32_t rootEntries = Le16(boot, 17);
    std::uint32_t sectors = Le16(boot, 19);
    if (sectors == 0) sectors = Le32(boot, 32);
    const std::uint32_t fatSectors = Le16(boot, 22);
    // The fields a 1.44 MB floppy must have; anything else is another disk.
    if (sectorBytes != kImageSectorBytes) return Result::Refused(Refusal(texts::kSectorBytesWrong, kImageSectorBytes, sectorBytes));
    if (clusterSectors != 1) return Result::Refused(Refusal(texts::kClusterSectorsWrong, 1, clusterSectors));
    if (fats != 2) return Result::Refused(Refusal(texts::kFatCountWrong, 2, fats));
    if (rootEntries != kImageRootEntries) return Result::Refused(Refusal(texts::kRootEntriesWrong, kImageRootEntries, rootEntries));
    if (sectors != kImageSectors) return Result::Refused(Refusal(texts::kSectorCountWrong, kImageSectors, sectors));
    if (reserved == 0 || fatSectors == 0) return Result::Refused(Translated(texts::kNoRoomForFat));

    FatImage image;
    image.m_reservedSectors = reserved;
    image.m_sectorsPerFat = fatSectors;
    const std::uint32_t rootSectors = kImageRootEntries * kDirEntryBytes / kImageSectorBytes;
    const std::uint32_t dataStart = reserved + 2 * fatSectors + rootSectors;
    if (dataStart >= kImageSectors) return Result::Refused(Translated(texts::kFatsFillDisk));
    image.m_clusterCount = kImageSectors - dataStart;
    // Every cluster (plus the two reserved entries) needs its 12 bits in the FAT.
    if ((std::uint64_t{image.m_clusterCount} + 2) * 3 / 2 + 1 > std::uint64_t{fatSectors} * kImageSectorBytes) {
        return Result::Refused(Translated(texts::kFatTooSmall));
    }
    return image;
}

Result FatImage::Load(std::string_view fat, std::string_view root) {
    if (fat.size() < FatUsedBytes() || root.size() < kImageRootEntries * kDirEntryBytes) {
        return Result::Refused(Translated(texts::kImageTruncated));
    }
    m_fat.assign(fat.substr(0, FatUsedBytes()));
    m_counts.reset();
    m_root.assign(root.substr(0, kImageRootEntries * kDirEntryBytes));
    m_entries.reset();
    m_borrowed = false;
    return {};
}

Result FatImage::Borrow(std::string_view fat, std::string_view root) {
    if (fat.size() < FatUsedBytes() || root.size() < kImageRootEntries * kDirEntryBytes) {
        return Result::Refused(Translated(texts::kImageTruncated));
    }
    m_fatBorrowed = fat.substr(0, FatUsedBytes());
    m_rootBorrowed = root.substr(0, kImageRootEntries * kDirEntryBytes);
    m_counts.reset();
    m_entries.reset();
    m_borrowed = true;
    return {};
}

void FatImage::Own() {
    if (!m_borrowed) return;
    m_fat.assign(m_fatBorrowed);
    m_root.assign(m_rootBorrowed);
    m_borrowed = false;
}

std::uint64_t FatImage::HeadBytes() const { return RootOffset() + kImageRootEntries * kDirEntryBytes; }

std::uint64_t FatImage::FatUsedBytes() const {
    // The last cluster's 12 bits end in the byte after its pair's first.
    const std::uint64_t last = m_clusterCount + 1;
    const std::uint64_t needed = last + last / 2 + 2;
    const std::uint64_t sectors = (needed + kImageSectorBytes - 1) / kImageSectorBytes;
    return std::min<std::uint64_t>(sectors, m_sectorsPerFat) * kImageSectorBytes;
}

std::uint64_t FatImage::FatOffset(int copy) const {
    return (m_reservedSectors + static_cast<std::uint64_t>(copy) * m_sectorsPerFat) * kImageSectorBytes;
}

std::uint64_t FatImage::RootOffset() const { return FatOffset(2); }

std::uint64_t FatImage::ClusterOffset(std::uint16_t cluster) const {
    return HeadBytes() + std::uint64_t{cluster - 2u} * kImageSectorBytes;
}

void FatImage::SetNext(std::uint16_t cluster, std::uint16_t next) {
    Own();
    const std::uint16_t was = Next(cluster);
    const std::size_t at = cluster + cluster / 2u;
    std::uint32_t pair = Le16(m_fat, at);
    pair = (cluster & 1) ? ((pair & 0x000F) | (std::uint32_t{next} << 4)) : ((pair & 0xF000) | (next & 0xFFF));
    Put16(m_fat, at, pair);
    // A count once made follows each change, so that no change costs a pass over the FAT.
    const std::uint16_t is = Next(cluster);
    if (m_counts && cluster >= 2 && cluster < m_clusterCount + 2) {
        m_counts->free += (is == 0) - (was == 0);
        m_counts->bad += (is == kBadCluster) - (was == kBadCluster);
    }
}

const FatImage::Counts& FatImage::Count() const {
    if (!m_counts) {
        // Every reading of an image makes this pass (the shelf's, for each
        // of a thousand images); two entries share three bytes.
        Counts counts;
        const auto* fat = reinterpret_cast<const unsigned char*>(FatBytes().data());
        const auto count = [&](std::uint32_t next) {
            counts.free += next == 0;
            counts.bad += next == kBadCluster;
        };
        const std::uint32_t end = m_clusterCount + 2;
        const auto pair = [&](const unsigned char* three, bool both) {
            count(three[0] | (three[1] & 0x0Fu) << 8);
            if (both) count(three[1] >> 4 | std::uint32_t{three[2]} << 4);
        };
        const auto allZero = [](const unsigned char* bytes, std::size_t size) {
            std::uint64_t any = 0;
            for (std::size_t at = 0; at < size; at += sizeof any) {
                std::uint64_t word;
                std::memcpy(&word, bytes + at, sizeof word);
                any |= word;
            }
            return any == 0;
        };
        // Most of a song floppy is free: 64 entries (96 zero bytes) at a time
        // there, then 16; only a group that holds something is decoded.
        const auto group = [&](const unsigned char* bytes, std::uint32_t entries) {
            if (allZero(bytes, entries / 2 * 3)) {
                counts.free += entries;
                return;
            }
            for (std::uint32_t sixteen = 0; sixteen < entries; sixteen += 16) {
                const unsigned char* part = bytes + sixteen / 2 * 3;
                if (allZero(part, 24)) {
                    counts.free += 16;
                    continue;
                }
                // Six bytes read little-endian hold four entries side by
                // side, twelve bits each: the zero ones and the bad ones are
                // counted four at a time.
                constexpr std::uint64_t kLow = 0x7FF7FF7FF7FF, kHigh = 0x800800800800, kBad4 = 0xFF7FF7FF7FF7;
                // A lane's top bit is set here when the lane is zero; the
                // four bits are then summed by one multiply (no popcount
                // instruction is taken for granted).
                const auto zeroLanes = [&](std::uint64_t lanes) {
                    const std::uint64_t zero = (~(((lanes & kLow) + kLow) | lanes) & kHigh) >> 11;
                    return static_cast<std::uint32_t>((zero * 0x001001001001) >> 36 & 0xF);
                };
                for (int k = 0; k < 4; ++k) {
                    std::uint64_t lanes = 0;
                    if constexpr (std::endian::native == std::endian::little) {
                        // Eight bytes read, six kept, all inside the group's 24.
                        if (k < 3) {
                            std::memcpy(&lanes, part + 6 * k, 8);
                            lanes &= 0xFFFFFFFFFFFF;
                        } else {
                            std::memcpy(&lanes, part + 16, 8);
                            lanes >>= 16;
                        }
                    } else {
                        for (int b = 5; b >= 0; --b) lanes = lanes << 8 | part[6 * k + b];
                    }
                    counts.free += zeroLanes(lanes);
                    counts.bad += zeroLanes(lanes ^ kBad4);
                }
            }
        };
        // A thousand free entries at a time first: one compare (vectorised
        // by the library) where sixteen groups would each make twelve.
        static constexpr unsigned char kFreeBlock[1024 / 2 * 3] = {};
        std::uint32_t c = 2;
        while (c + 64 <= end) {
            if (c + 1024 <= end && std::memcmp(fat + c / 2 * 3, kFreeBlock, sizeof kFreeBlock) == 0) {
                counts.free += 1024;
                c += 1024;
                continue;
            }
            group(fat + c / 2 * 3, 64);
            c += 64;
        }
        for (; c + 16 <= end; c += 16) group(fat + c / 2 * 3, 16);
        for (; c < end; c += 2) pair(fat + c / 2 * 3, c + 1 < end);
        m_counts = counts;
    }
    return *m_counts;
}

std::uint32_t FatImage::FreeClusters() const { return Count().free; }

std::uint32_t FatImage::BadClusters() const { return Count().bad; }

std::optional<std::vector<std::uint16_t>> FatImage::TakeFree(std::uint32_t count,
                                                             const std::vector<std::uint8_t>& inUse) const {
    std::vector<std::uint16_t> clusters;
    for (std::uint32_t c = 2; c < m_clusterCount + 2 && clusters.size() < count; ++c) {
        if (Next(static_cast<std::uint16_t>(c)) != 0 || (c < inUse.size() && inUse[c])) continue;
        clusters.push_back(static_cast<std::uint16_t>(c));
    }
    if (clusters.size() < count) return std::nullopt;
    return clusters;
}

FatImage::TracedChain FatImage::TraceChain(std::uint16_t first, std::uint32_t size) const {
    TracedChain traced;
    TraceChain(first, size, traced);
    return traced;
}

void FatImage::TraceChain(std::uint16_t first, std::uint32_t size, TracedChain& traced) const {
    traced.clusters.clear();
    traced.fault = TraceChainOnto(first, size, traced.clusters);
}

FatImage::ChainFault FatImage::TraceChainOnto(std::uint16_t first, std::uint32_t size, std::vector<std::uint16_t>& onto) const {
    const std::uint32_t needed = (size + kImageSectorBytes - 1) / kImageSectorBytes;
    const std::size_t from = onto.size();
    ChainFault fault = ChainFault::None;
    const std::uint32_t end = m_clusterCount + 2;
    const auto traced = [&] { return onto.size() - from; };
    // A chain longer than the disk's clusters has met one of them twice: only
    // then is it gone through again to find where it loops. Every chain is
    // traced on each reading, so the usual one costs no more than its steps.
    std::uint16_t c = first;
    if (first != 0) {
        // Grown as a vector grows: the chains of a whole disk go one after another.
        if (const std::size_t want = from + std::min(needed, m_clusterCount + 1); want > onto.capacity()) {
            onto.reserve(std::max(want, 2 * onto.capacity()));
        }
        // Files are mostly written into runs of neighbouring clusters: the
        // eight entries from an even cluster lie in twelve bytes, which hold
        // a run exactly when they equal the run's numbers packed likewise.
        // One step at a time would wait for each entry before loading the next.
        const auto* bytes = reinterpret_cast<const unsigned char*>(FatBytes().data());
        const auto runOfEight = [&](std::uint16_t at) {
            constexpr std::uint64_t kEach = 0x001001001001, kSteps = 0x003002001000;
            const unsigned char* packed = bytes + at / 2 * 3;
            std::uint64_t low = 0, high = 0;
            if constexpr (std::endian::native == std::endian::little) {
                std::memcpy(&low, packed, 8);
                std::memcpy(&high, packed + 4, 8);
                low &= 0xFFFFFFFFFFFF;
                high >>= 16;
            } else {
                for (int b = 5; b >= 0; --b) {
                    low = low << 8 | packed[b];
                    high = high << 8 | packed[6 + b];
                }
            }
            return low == (at + 1u) * kEach + kSteps && high == (at + 5u) * kEach + kSteps;
        };
        while (c >= 2 && c < end && c != kBadCluster && traced() <= m_clusterCount) {
            for (; c % 2 == 0 && c + 8u < end && runOfEight(c); c = static_cast<std::uint16_t>(c + 8)) {
                const std::size_t at = onto.size();
                onto.resize(at + 8);
                for (std::uint16_t i = 0; i < 8; ++i) onto[at + i] = static_cast<std::uint16_t>(c + i);
            }
            onto.push_back(c);
            if ((c = Next(c)) >= kLastCluster) break;
        }
    }
    if (first != 0 && (c < kLastCluster || traced() == 0)) {
        // It stopped short of an end mark: say why, as the first fault met.
        onto.resize(from);
        std::bitset<kImageSectors> seen;   // on the stack; cluster numbers stay below the sector count
        for (c = first;;) {
            if (c == 0) {
                fault = ChainFault::MeetsFree;
                break;
            }
            if (c == kBadCluster) {
                fault = ChainFault::MeetsBad;
                break;
            }
            // Reserved values fall outside the disk's clusters too.
            if (c < 2 || c >= end) {
                fault = ChainFault::LeavesDisk;
                break;
            }
            if (seen[c]) {
                fault = ChainFault::Loops;
                break;
            }
            seen[c] = true;
            onto.push_back(c);
            c = Next(c);
            if (c >= kLastCluster) break;
        }
    }
    if (fault == ChainFault::None && traced() < needed) fault = ChainFault::Short;
    return fault;
}

std::optional<std::vector<std::uint16_t>> FatImage::Chain(std::uint16_t first, std::uint32_t size) const {
    TracedChain traced = TraceChain(first, size);
    if (traced.fault != ChainFault::None) return std::nullopt;
    return std::move(traced.clusters);
}

void FatImage::Link(const std::vector<std::uint16_t>& clusters) {
    for (std::size_t i = 0; i < clusters.size(); ++i) {
        SetNext(clusters[i], i + 1 < clusters.size() ? clusters[i + 1] : kEndOfChain);
    }
}

void FatImage::Free(const std::vector<std::uint16_t>& clusters) {
    for (std::uint16_t c : clusters) SetNext(c, 0);
}

const std::vector<FatEntry>& FatImage::Entries() const {
    if (!m_entries) m_entries = ParseEntries(RootBytes());
    return *m_entries;
}

std::vector<FatEntry> FatImage::ParseEntries(std::string_view folder) {
    std::vector<FatEntry> entries;
    LongNameParts parts;
    const auto slots = static_cast<std::uint32_t>(folder.size() / kDirEntryBytes);
    // Space for every slot before the end mark, so that a full root grows no copies.
    std::uint32_t used = 0;
    while (used < slots && folder[used * kDirEntryBytes] != '\0') ++used;
    entries.reserve(used);
    for (std::uint32_t i = 0; i < slots; ++i) {
        const std::string_view slot = folder.substr(i * kDirEntryBytes, kDirEntryBytes);
        const unsigned char first = Byte(slot, 0);
        if (first == 0x00) break;
        if (first == kDeleted) {
            parts.Reset();
            continue;
        }
        const std::uint8_t attributes = Byte(slot, 11);
        if ((attributes & 0x3F) == kLongNameAttributes) {
            GatherLongNamePart(parts, slot, i);
            continue;
        }
        if (attributes & kVolumeLabel) {
            parts.Reset();
            continue;
        }
        if (first == '.' && (slot.substr(0, 11) == ".          " || slot.substr(0, 11) == "..         ")) {
            parts.Reset();
            continue;
        }
        FatEntry entry;
        entry.shortName = ShortDisplayName(slot);
        entry.attributes = attributes;
        entry.firstCluster = static_cast<std::uint16_t>(Le16(slot, 26));
        entry.size = Le32(slot, 28);
        entry.stamp = Le32(slot, 22);
        entry.slot = i;
        entry.firstSlot = i;
        if (parts.Complete() && parts.checksum == ShortNameChecksum(slot)) {
            entry.longName = LongNameUtf8(parts.units);
            entry.firstSlot = parts.firstSlot;
        }
        parts.Reset();
        entries.push_back(std::move(entry));
    }
    return entries;
}

std::vector<FatEntry> FatImage::Find(std::string_view name) const {
    std::vector<FatEntry> found;
    for (const FatEntry& entry : Entries()) {
        if (entry.Matches(name)) found.push_back(entry);
    }
    return found;
}

std::vector<std::uint32_t> FatImage::FreeSlots() const {
    std::vector<std::uint32_t> slots;
    slots.reserve(kImageRootEntries);
    const std::uint32_t end = EndSlot();
    for (std::uint32_t i = 0; i < kImageRootEntries; ++i) {
        if (i >= end || Byte(RootBytes(), i * kDirEntryBytes) == kDeleted) slots.push_back(i);
    }
    return slots;
}

std::uint32_t FatImage::EndSlot() const {
    for (std::uint32_t i = 0; i < kImageRootEntries; ++i) {
        if (Byte(RootBytes(), i * kDirEntryBytes) == 0x00) return i;
    }
    return kImageRootEntries;
}

std::vector<std::uint32_t> FatImage::LongNameSlotsBefore(std::uint32_t slot) const {
    std::vector<std::uint32_t> slots;
    while (slot > 0 && IsLongNameSlot(RootBytes().substr((slot - 1) * kDirEntryBytes, kDirEntryBytes))) {
        slots.push_back(--slot);
    }
    return slots;
}

void FatImage::ClearSlot(std::uint32_t slot) {
    Own();
    m_root.replace(slot * kDirEntryBytes, kDirEntryBytes, kDirEntryBytes, '\0');
    m_entries.reset();
}

bool FatImage::PutEntry(std::uint32_t slot, std::string_view name, std::uint16_t firstCluster, std::uint32_t size) {
    auto shortName = ShortNameFor(name);
    if (!shortName) return false;
    Own();
    const std::size_t at = slot * kDirEntryBytes;
    std::string entry(kDirEntryBytes, '\0');
    entry.replace(0, 11, shortName->first);
    entry[11] = static_cast<char>(kArchiveAttribute);
    entry[12] = static_cast<char>(shortName->second);
    const auto [date, time] = DosNow();
    Put16(entry, 14, time);
    Put16(entry, 16, date);
    Put16(entry, 18, date);
    Put16(entry, 22, time);
    Put16(entry, 24, date);
    Put16(entry, 26, firstCluster);
    Put32(entry, 28, size);
    m_root.replace(at, kDirEntryBytes, entry);
    m_entries.reset();
    return true;
}

void FatImage::SetFile(std::uint32_t slot, std::uint16_t firstCluster, std::uint32_t size) {
    Own();
    const std::size_t at = slot * kDirEntryBytes;
    const auto [date, time] = DosNow();
    m_root[at + 11] = static_cast<char>(Byte(m_root, at + 11) | kArchiveAttribute);
    Put16(m_root, at + 18, date);
    Put16(m_root, at + 22, time);
    Put16(m_root, at + 24, date);
    Put16(m_root, at + 26, firstCluster);
    Put32(m_root, at + 28, size);
    m_entries.reset();
}

void FatImage::MarkDeleted(std::uint32_t firstSlot, std::uint32_t lastSlot) {
    Own();
    for (std::uint32_t i = firstSlot; i <= lastSlot; ++i) m_root[i * kDirEntryBytes] = static_cast<char>(kDeleted);
    m_entries.reset();
}

bool IsLongNameSlot(std::string_view slot) {
    const unsigned char first = Byte(slot, 0);
    return first != 0x00 && first != kDeleted && (Byte(slot, 11) & 0x3F) == kLongNameAttributes;
}

std::optional<std::pair<std::string, std::uint8_t>> ShortNameFor(std::string_view name) {
    const std::size_t dot = name.rfind('.');
    const std::string_view base = dot == std::string_view::npos ? name : name.substr(0, dot);
    const std::string_view extension = dot == std::string_view::npos ? std::string_view() : name.substr(dot + 1);
    if (base.empty() || base.size() > 8 || extension.size() > 3) return std::nullopt;
    if (dot != std::string_view::npos && extension.empty()) return std::nullopt;
    if (!std::all_of(base.begin(), base.end(), IsShortNameCharacter)) return std::nullopt;
    if (!std::all_of(extension.begin(), extension.end(), IsShortNameCharacter)) return std::nullopt;
    // A part written all in lower case keeps that case through the flags, as
    // other tools do; mixed case is stored in upper case.
    auto flagFor = [](std::string_view part, std::uint8_t flag) -> std::uint8_t {
        const bool lower = std::any_of(part.begin(), part.end(), [](char c) { return c >= 'a' && c <= 'z'; });
        const bool upper = std::any_of(part.begin(), part.end(), [](char c) { return c >= 'A' && c <= 'Z'; });
        return lower && !upper ? flag : 0;
    };
    std::string field(11, ' ');
    std::transform(base.begin(), base.end(), field.begin(), Upper);
    std::transform(extension.begin(), extension.end(), field.begin() + 8, Upper);
    return std::make_pair(field, static_cast<std::uint8_t>(flagFor(base, kLowerBase) | flagFor(extension, kLowerExtension)));
}

std::string BlankFloppyImage(std::uint32_t volumeId) {
    std::string image(kImageBytes, '\0');
    std::string boot(kImageSectorBytes, '\0');
    boot.replace(0, 3, "\xEB\x3C\x90");
    boot.replace(3, 8, "TUNECRAT");
    Put16(boot, 11, kImageSectorBytes);
    boot[13] = 1;                       // sectors per cluster
    Put16(boot, 14, 1);                 // reserved sectors
    boot[16] = 2;                       // FATs
    Put16(boot, 17, kImageRootEntries);
    Put16(boot, 19, kImageSectors);
    boot[21] = static_cast<char>(0xF0); // media: 3.5" high density
    Put16(boot, 22, 9);                 // sectors per FAT
    Put16(boot, 24, 18);                // sectors per track
    Put16(boot, 26, 2);                 // heads
    boot[38] = 0x29;                    // extended boot signature
    Put32(boot, 39, volumeId);
    boot.replace(43, 11, "NO NAME    ");
    boot.replace(54, 8, "FAT12   ");
    // Not a system disk: the boot code asks the firmware for the next device.
    boot.replace(62, 4, "\xCD\x18\xEB\xFE");
    boot[510] = 0x55;
    boot[511] = static_cast<char>(0xAA);
    image.replace(0, kImageSectorBytes, boot);
    for (int copy = 0; copy < 2; ++copy) {
        const std::size_t fat = (1 + static_cast<std::size_t>(copy) * 9) * kImageSectorBytes;
        image.replace(fat, 3, "\xF0\xFF\xFF");
    }
    return image;
}

}  // namespace tunecrate
