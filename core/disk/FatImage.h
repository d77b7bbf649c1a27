// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/disk/FileOps.h"

namespace tunecrate {

inline constexpr std::uint32_t kImageSectorBytes = 512;
inline constexpr std::uint32_t kImageSectors = 2880;
inline constexpr std::uint64_t kImageBytes = std::uint64_t{kImageSectors} * kImageSectorBytes;   // 1,474,560
inline constexpr std::uint32_t kImageRootEntries = 224;
inline constexpr std::uint32_t kDirEntryBytes = 32;

// One file (or folder) of the root directory, with the slots it takes: the
// long-name slots of other tools come before the short entry.
struct FatEntry {
    std::string shortName;          // "SONG.NAM", or "song.nam" when the case flags say so
    std::string longName;           // empty without a valid long name
    std::uint8_t attributes = 0;
    std::uint16_t firstCluster = 0;
    std::uint32_t size = 0;
    std::uint32_t stamp = 0;        // the date and time of the last write, as packed in the entry
    std::uint32_t firstSlot = 0;    // the first long-name slot, else `slot`
    std::uint32_t slot = 0;         // the short entry
    bool IsFolder() const { return (attributes & 0x10) != 0; }
    // Inline: a reading looks a dozen names up among the root's entries.
    bool Matches(std::string_view name) const {
        return EqualsNoCase(name, shortName) || (!longName.empty() && EqualsNoCase(name, longName));
    }
};

// The file system of a 1.44 MB FAT12 floppy image: its layout, its FAT and its
// root directory, held in memory. It reads and writes nothing itself; the
// volume moves sectors between it and the image file, in a crash-safe order.
class FatImage {
public:
    // Checks the boot sector and the FAT size, then takes the first
    // FatUsedBytes() of the first FAT and the root directory's sectors. A
    // refusal's reason names what is wrong, without the file name.
    static Expected<FatImage> Parse(std::string_view bootSector);
    Result Load(std::string_view fat, std::string_view root);
    // As Load, but the bytes are looked at where they lie, not copied, until
    // the first change: most images are opened only to be read. They must
    // stay as they are while this image (or a copy of it) is read.
    Result Borrow(std::string_view fat, std::string_view root);

    std::uint64_t HeadBytes() const;                    // boot sector up to the end of the root
    // The leading sectors of a FAT that hold the entries of the disk's
    // clusters. The others are never read or written: a boot sector may give
    // its FATs nearly the whole disk.
    std::uint64_t FatUsedBytes() const;
    // The bytes of a FAT that hold the entries of the reserved entries and
    // the disk's clusters; what follows them is no entry of anything.
    std::uint64_t FatEntryBytes() const { return ((std::uint64_t{m_clusterCount} + 2) * 3 + 1) / 2; }
    std::uint64_t FatOffset(int copy) const;
    std::uint64_t RootOffset() const;
    std::uint64_t ClusterOffset(std::uint16_t cluster) const;
    std::uint32_t ClusterCount() const { return m_clusterCount; }
    std::string_view FatBytes() const { return m_borrowed ? m_fatBorrowed : std::string_view(m_fat); }
    std::string_view RootBytes() const { return m_borrowed ? m_rootBorrowed : std::string_view(m_root); }

    // Inline: a reading follows every chain of the disk through it.
    std::uint16_t Next(std::uint16_t cluster) const { return EntryIn(FatBytes(), cluster); }
    // The entry of `cluster` in FAT bytes other than ours (the second copy).
    static std::uint16_t EntryIn(std::string_view fat, std::uint16_t cluster) {
        const std::size_t at = cluster + cluster / 2u;
        const std::uint32_t pair = static_cast<unsigned char>(fat[at]) | std::uint32_t{static_cast<unsigned char>(fat[at + 1])} << 8;
        return static_cast<std::uint16_t>((cluster & 1) ? pair >> 4 : pair & 0xFFF);
    }
    void SetNext(std::uint16_t cluster, std::uint16_t next);
    std::uint32_t FreeClusters() const;
    std::uint32_t BadClusters() const;   // marked bad (0xFF7)
    // The first `count` free clusters that `inUse` does not mark (non-zero),
    // or nothing when fewer are free. `inUse` has one flag per cluster number
    // (or is empty).
    std::optional<std::vector<std::uint16_t>> TakeFree(std::uint32_t count,
                                                       const std::vector<std::uint8_t>& inUse = {}) const;
    // What stopped a chain early: it left the disk, met a free or bad
    // cluster, or looped; or it ended short of the size it was traced with.
    enum class ChainFault { None, LeavesDisk, MeetsFree, MeetsBad, Loops, Short };
    // The clusters of a chain as far as it can be followed, and its fault.
    struct TracedChain {
        std::vector<std::uint16_t> clusters;
        ChainFault fault = ChainFault::None;
    };
    TracedChain TraceChain(std::uint16_t first, std::uint32_t size) const;
    // The same into `traced`, whose clusters keep their memory from one chain to the next.
    void TraceChain(std::uint16_t first, std::uint32_t size, TracedChain& traced) const;
    // The same, the clusters appended to `clusters`: a reading of every chain
    // keeps them one after another, with no copy of each.
    ChainFault TraceChainOnto(std::uint16_t first, std::uint32_t size, std::vector<std::uint16_t>& clusters) const;
    // The clusters of a file, or nothing when its chain leaves the disk,
    // loops, meets a free or bad cluster, or is shorter than `size` needs.
    std::optional<std::vector<std::uint16_t>> Chain(std::uint16_t first, std::uint32_t size) const;
    // Links `clusters` in order, ending the chain.
    void Link(const std::vector<std::uint16_t>& clusters);
    void Free(const std::vector<std::uint16_t>& clusters);

    // The files and folders of a folder's bytes (the root's or a subfolder's
    // clusters), without "." and "..", deleted entries and the volume label.
    static std::vector<FatEntry> ParseEntries(std::string_view folder);
    const std::vector<FatEntry>& Entries() const;
    // Files and folders answering to `name` (long or short, any ASCII case).
    std::vector<FatEntry> Find(std::string_view name) const;
    // The root slots a new entry may take (deleted ones, then those from the
    // end mark on), in order.
    std::vector<std::uint32_t> FreeSlots() const;
    // The slot of the end mark (the first slot that begins with 0), or the
    // slot count when the root has none.
    std::uint32_t EndSlot() const;
    // The live long-name slots right before the free slot `slot`, nearest
    // first: they belong to no file, and other tools would give a new entry
    // in `slot` their long name.
    std::vector<std::uint32_t> LongNameSlotsBefore(std::uint32_t slot) const;
    // Clears a slot to zeros: past the end mark, where nobody looks.
    void ClearSlot(std::uint32_t slot);
    // Writes a short entry into `slot` for a new file; false when `name` is no 8.3 name.
    bool PutEntry(std::uint32_t slot, std::string_view name, std::uint16_t firstCluster, std::uint32_t size);
    // Points an entry at a new content, marking it changed (archive) as FAT writers do.
    void SetFile(std::uint32_t slot, std::uint16_t firstCluster, std::uint32_t size);
    void MarkDeleted(std::uint32_t firstSlot, std::uint32_t lastSlot);

private:
    std::uint32_t m_reservedSectors = 1;
    std::uint32_t m_sectorsPerFat = 9;
    std::uint32_t m_clusterCount = 0;
    // Of the disk's clusters, the free and the bad ones: counted in one pass
    // when first asked for, then kept by SetNext.
    struct Counts { std::uint32_t free = 0, bad = 0; };
    const Counts& Count() const;
    mutable std::optional<Counts> m_counts;
    // Until the first change, what Borrow was given; then our own copies.
    void Own();
    bool m_borrowed = false;
    std::string_view m_fatBorrowed, m_rootBorrowed;
    std::string m_fat;
    std::string m_root;
    // The root read into entries once, until the next change of the root.
    mutable std::optional<std::vector<FatEntry>> m_entries;
};

inline constexpr std::uint8_t kReadOnlyAttribute = 0x01;
inline constexpr std::uint8_t kArchiveAttribute = 0x20;
inline constexpr std::uint16_t kBadClusterMark = 0xFF7;

// Whether a folder slot is in use and part of a long name (not a deleted slot).
bool IsLongNameSlot(std::string_view slot);

// The 11 bytes of the short name for `name`, with the case flags of byte 12,
// or nothing when it is no 8.3 name of plain ASCII characters.
std::optional<std::pair<std::string, std::uint8_t>> ShortNameFor(std::string_view name);

// A blank formatted image: the boot sector values that mkfs.fat gives a
// 1440 KB floppy, empty FATs and an empty root.
std::string BlankFloppyImage(std::uint32_t volumeId);

}  // namespace tunecrate
