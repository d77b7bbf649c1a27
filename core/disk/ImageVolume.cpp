// SPDX-License-Identifier: MIT
#include "core/disk/ImageVolume.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory_resource>
#include <utility>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/disk/BlockDevice.h"
#include "core/disk/DiskStore.h"
#include "core/disk/FatImage.h"
#include "core/disk/ImageCheck.h"
#include "core/disk/Sha256.h"
#include "core/disk/StickSlots.h"
#include "core/Texts.h"

namespace tunecrate {
namespace {

// The boot sector, two FATs of nine sectors and a root of fourteen: the head
// of every 1.44 MB floppy that the usual formatters make.
constexpr std::size_t kUsualHeadSectors = 1 + 2 * 9 + 14;

std::uint32_t ClustersFor(std::uint64_t bytes) {
    return static_cast<std::uint32_t>((bytes + kImageSectorBytes - 1) / kImageSectorBytes);
}

// Runs of neighbouring clusters, so a file moves in few large transfers.
template <typename Visit>
bool ForEachRun(const std::vector<std::uint16_t>& clusters, Visit visit) {
    std::size_t start = 0;
    for (std::size_t i = 1; i <= clusters.size(); ++i) {
        if (i == clusters.size() || clusters[i] != clusters[i - 1] + 1) {
            if (!visit(start, i - start)) return false;
            start = i;
        }
    }
    return true;
}

// One change as planned: the entries it replaces, its new bytes and place.
struct Planned {
    const FileChange* change = nullptr;
    bool remove = false;
    std::string bytes;
    std::vector<FatEntry> existing;          // the first is replaced, the others go
    std::vector<std::uint16_t> clusters;     // the new content's
    std::optional<std::uint32_t> newSlot;    // for a name the root does not have yet
};

// The block kept for the next image opened, freed when its thread ends.
struct SpareBlock {
    void* block = nullptr;
    SpareBlock() = default;
    SpareBlock(const SpareBlock&) = delete;
    SpareBlock& operator=(const SpareBlock&) = delete;
    ~SpareBlock() { ::operator delete(block); }
};
thread_local SpareBlock t_spare;

}  // namespace

// The open image: its store, its file system in memory and what each of the
// image's own FAT copies and root sectors hold, so only changes are written.
class ImageFile {
public:
    // A shelf opens a thousand images one after another: the block of the
    // last one closed is kept for the next (one per thread). Not under the
    // address sanitizer, which is to see every block's end.
#ifndef __SANITIZE_ADDRESS__
    static void* operator new(std::size_t size) {
        if (size == sizeof(ImageFile) && t_spare.block != nullptr) return std::exchange(t_spare.block, nullptr);
        return ::operator new(size);
    }
    static void operator delete(void* block, std::size_t size) {
        if (size == sizeof(ImageFile) && t_spare.block == nullptr) {
            t_spare.block = block;
        } else {
            ::operator delete(block);
        }
    }
#endif
    std::shared_ptr<const StickHold> hold;   // the stick, for a slot; given up after the store
    std::unique_ptr<ImageStore> store;
    bool readOnly = false;
    bool device = false;   // a drive's disk, not an image file
    FatImage fat;
    // What the disk holds of each FAT and of the root. Until the first
    // change `fat` holds just what the first FAT and the root hold, so their
    // copies are made only then: most images opened are only read.
    std::string fatOnDisk[2];   // only once KeepDiskCopies ran
    std::string rootOnDisk;     // only once KeepDiskCopies ran
    bool diskCopies = false;
    // The sectors read when opened, kept: the boot sector and the second FAT
    // are looked at where they were read rather than copied out.
    char head[kImageSectorBytes * kUsualHeadSectors];   // left unset until read: made for overwrite
    std::string headElsewhere;       // the FATs and root of an unusual layout, read apart from the head
    std::string_view secondFatRead;  // in one of them
    void KeepDiskCopies() {
        if (diskCopies) return;
        fatOnDisk[0] = fat.FatBytes();
        fatOnDisk[1] = secondFatRead;
        rootOnDisk = fat.RootBytes();
        diskCopies = true;
    }
    std::string_view FirstFatOnDisk() const { return diskCopies ? std::string_view(fatOnDisk[0]) : fat.FatBytes(); }
    std::string_view SecondFatOnDisk() const { return diskCopies ? std::string_view(fatOnDisk[1]) : secondFatRead; }
    std::string broken;   // why nothing more is written: an earlier write failed
    std::string_view boot;   // the boot sector as read when opened (never written), in `head`
    bool unflushed = false;

    bool Write(std::uint64_t offset, std::string_view bytes) {
        unflushed = true;
        return store->Write(offset, bytes);
    }
    // A barrier: what was written before is on the disk before anything after.
    bool FlushWrites() {
        if (!unflushed) return true;
        unflushed = false;
        return store->Flush();
    }

    // Whole sectors go straight from `bytes`; only where the content ends
    // inside a sector is a padded copy made, so a song is never copied whole.
    bool WriteData(const std::vector<std::uint16_t>& clusters, std::string_view bytes) {
        return ForEachRun(clusters, [&](std::size_t first, std::size_t count) {
            const std::size_t from = first * kImageSectorBytes;
            const std::size_t size = count * kImageSectorBytes;
            const std::string_view content = from < bytes.size() ? bytes.substr(from, size) : std::string_view();
            const std::size_t whole = content.size() / kImageSectorBytes * kImageSectorBytes;
            const std::uint64_t offset = fat.ClusterOffset(clusters[first]);
            if (whole > 0 && !Write(offset, content.substr(0, whole))) return false;
            if (whole == size) return true;
            std::string tail(size - whole, '\0');
            tail.replace(0, content.size() - whole, content.substr(whole));
            return Write(offset + whole, tail);
        });
    }

    // Writes the sectors of `now` that differ from what the disk holds.
    bool WriteChanged(std::uint64_t offset, std::string_view now, std::string& onDisk) {
        for (std::size_t at = 0; at < now.size();) {
            if (now.compare(at, kImageSectorBytes, onDisk, at, kImageSectorBytes) == 0) {
                at += kImageSectorBytes;
                continue;
            }
            std::size_t end = at + kImageSectorBytes;
            while (end < now.size() && now.compare(end, kImageSectorBytes, onDisk, end, kImageSectorBytes) != 0) {
                end += kImageSectorBytes;
            }
            if (!Write(offset + at, now.substr(at, end - at))) return false;
            onDisk.replace(at, end - at, now, at, end - at);
            at = end;
        }
        return true;
    }

    // Both copies: the second is what a repair tool falls back on.
    bool WriteFats() {
        return WriteChanged(fat.FatOffset(0), fat.FatBytes(), fatOnDisk[0]) &&
               WriteChanged(fat.FatOffset(1), fat.FatBytes(), fatOnDisk[1]);
    }
    bool WriteRoot() { return WriteChanged(fat.RootOffset(), fat.RootBytes(), rootOnDisk); }

    // Which clusters the files and folders hold, every chain followed as far
    // as it goes (into subfolders too); a cluster held is held, whatever the FAT says.
    ImageChains TraceChains() const {
        return TraceImageChains(fat, [this](std::span<const std::uint16_t> clusters, std::string& bytes) {
            return ReadFolder(clusters, bytes);
        });
    }

private:
    // A folder's clusters up to its end mark, a few at a time: what lies
    // beyond the mark is never read as entries, and a damaged folder may
    // claim the whole disk.
    bool ReadFolder(std::span<const std::uint16_t> clusters, std::string& bytes) const {
        constexpr std::size_t kBatch = 16;
        bytes.clear();
        for (std::size_t first = 0; first < clusters.size();) {
            std::size_t count = 1;
            while (count < kBatch && first + count < clusters.size() &&
                   clusters[first + count] == clusters[first + count - 1] + 1) {
                ++count;
            }
            const std::size_t at = bytes.size();
            bytes.resize(at + count * kImageSectorBytes);
            if (!store->Read(fat.ClusterOffset(clusters[first]), bytes.data() + at, bytes.size() - at)) return false;
            for (std::size_t slot = at; slot < bytes.size(); slot += kDirEntryBytes) {
                if (bytes[slot] == '\0') {
                    bytes.resize(slot);
                    return true;
                }
            }
            first += count;
        }
        return true;
    }
};

ImageVolume::ImageVolume(std::string imagePath, const ImageStoreWrapper& wrap, ImageAccess access)
    : m_imagePath(std::move(imagePath)) {
    auto file = std::make_unique_for_overwrite<ImageFile>();
    const bool onlyReading = access == ImageAccess::ReadOnly;
    DiskAccess how;
    how.write = !onlyReading;
    how.readOnlyFallback = true;
    // Exclusive: the kernel then refuses to mount the disk under us, and
    // refuses us a disk that is mounted; on a file it does nothing.
    // A slot of a stick: the stick's hold has the device exclusively, and
    // the slot is locked as a range of it.
    const std::optional<SlotPath> slot = SlotOfPath(m_imagePath);
    if (slot) {
        Expected<std::shared_ptr<const StickHold>> hold = StickHold::Take(slot->stick);
        if (!hold) {
            m_opened = hold.error();
            return;
        }
        const StickReading reading = (*hold)->reading();
        if (reading.layout != StickLayout::Slots) {
            m_opened = Result::Refused(NotSlotStickMessage(slot->stick, reading));
            return;
        }
        if (slot->slot >= reading.slotCount) {
            m_opened = Result::Refused(Translated(texts::kNoSuchSlot, {slot->stick, std::to_string(slot->slot),
                                                                      SlotPathOf("", reading.slotCount - 1).substr(1)}));
            return;
        }
        file->hold = std::move(*hold);
    }
    how.exclusive = !slot;
    // A drive's disk is read back at each flush: a worn disk or a failing
    // drive may lose a write and say it is done.
    how.verify = !slot;
    how.nonBlocking = true;
    Expected<OpenDisk> opened = OpenDiskAt(slot ? slot->stick : m_imagePath, how);
    if (!opened) {
        m_opened = opened.error();
        return;
    }
    const bool device = opened->device;
    file->device = device;
    file->readOnly = opened->readOnly;
    const int fd = opened->store->fd();
    file->store = std::move(opened->store);
    if (!(S_ISREG(opened->mode) || S_ISBLK(opened->mode))) {
        m_opened = Result::Refused(Translated(texts::kNotImageFile, {m_imagePath}));
        return;
    }
    const std::optional<std::uint64_t> openSize = opened->bytes;
    // Another program writing the image at the same time would corrupt it.
    const std::uint64_t slotOffset = slot ? slot->slot * kSlotStride : 0;
    const bool locked = slot          ? LockSlotRange(fd, slotOffset, !onlyReading && !file->readOnly, !onlyReading)
                        : onlyReading ? ::flock(fd, LOCK_SH | LOCK_NB) == 0
                                      : LockWaiting(fd, !file->readOnly);
    if (!locked) {
        m_opened = LockFailure();
        return;
    }
    if (slot) file->store = std::make_unique<SlotWindow>(std::move(file->store), slotOffset, kImageBytes);
    Load(std::move(file), slot.has_value(), device, *openSize, wrap);
}

ImageVolume::ImageVolume(const std::shared_ptr<const StickHold>& hold, int slot, std::string shownPath,
                         std::unique_ptr<ImageStore> reader, std::string_view boot)
    : m_imagePath(std::move(shownPath)) {
    // Refused a moment ago: asked again, so that the refusal's errno is this one's.
    if (!reader) reader = hold->SlotReader(slot);
    if (!reader) {
        m_opened = LockFailure();
        return;
    }
    auto file = std::make_unique_for_overwrite<ImageFile>();
    file->readOnly = true;
    const bool device = hold->device();
    file->device = device;
    file->store = std::make_unique<SlotWindow>(std::move(reader), static_cast<std::uint64_t>(slot) * kSlotStride, kImageBytes);
    file->hold = hold;
    Load(std::move(file), true, device, kImageBytes, {}, boot);
}

void ImageVolume::Load(std::unique_ptr<ImageFile> file, bool slot, bool device, std::uint64_t openSize, const ImageStoreWrapper& wrap,
                       std::string_view knownBoot) {
    m_fileBytes = slot ? kImageBytes : openSize;
    if (wrap) file->store = wrap(std::move(file->store));
    // A whole factory stick, or a dump of one, is no floppy: say what it is.
    if (!slot && openSize >= 2 * kSlotStride) {
        if (const StickReading reading = ReadStickLayout(*file->store, openSize); reading.layout == StickLayout::Slots) {
            m_opened = Result::Refused(Translated(texts::kIsSlotStick, {m_imagePath, std::to_string(reading.slotCount)}));
            return;
        }
    }
    // An image file may carry a tail; a disk is a floppy only at its exact size.
    if (!slot && (openSize < kImageBytes || (device && openSize != kImageBytes))) {
        m_opened = Result::Refused(Translated(
            texts::kNotFloppyImageBecause,
            {m_imagePath, Translated(texts::kImageSizeWrong, {std::to_string(openSize), std::to_string(kImageBytes)})}));
        return;
    }
    // The boot sector, and with it what follows on every real floppy: both
    // FATs and the root, so that one read brings all of them.
    // Read into untouched memory: the read fills all of it or fails.
    constexpr std::size_t kHeadBytes = kImageSectorBytes * kUsualHeadSectors;
    char* const headBuffer = file->head;
    const std::size_t known = knownBoot.size() == kImageSectorBytes ? kImageSectorBytes : 0;
    if (known > 0) std::memcpy(headBuffer, knownBoot.data(), known);
    if (!file->store->Read(known, headBuffer + known, kHeadBytes - known)) {
        m_opened = ReadFailure();
        return;
    }
    const std::string_view head(headBuffer, kHeadBytes);
    Expected<FatImage> parsed = FatImage::Parse(head.substr(0, kImageSectorBytes));
    if (!parsed) {
        // All one byte: nothing was ever written there (an unused slot).
        const std::string_view boot = head.substr(0, kImageSectorBytes);
        m_blank = UnusedSector(boot);
        m_opened = Result::Refused(slot && m_blank ? Translated(texts::kSlotHoldsNoFloppy, {m_imagePath})
                                                   : Translated(texts::kNotFloppyImageBecause, {m_imagePath, parsed.error().reason}));
        return;
    }
    file->fat = std::move(*parsed);
    file->boot = head.substr(0, kImageSectorBytes);
    // Each FAT as far as it holds the disk's clusters, and the root: the
    // reserved sectors and the rest of a FAT larger than the disk needs are
    // never read. Where nothing lies between them (every real floppy), they
    // come in one read.
    const FatImage& fat = file->fat;
    const std::uint64_t fatBytes = fat.FatUsedBytes();
    const std::uint64_t rootBytes = kImageRootEntries * kDirEntryBytes;
    auto read = [&](std::uint64_t offset, std::uint64_t size, std::string& bytes) {
        bytes.resize(size);
        return file->store->Read(offset, bytes.data(), bytes.size());
    };
    bool readable = true;
    std::string& elsewhere = file->headElsewhere;
    std::string_view first, root;
    if (fat.FatOffset(1) == fat.FatOffset(0) + fatBytes && fat.RootOffset() + rootBytes <= head.size()) {
        first = head.substr(fat.FatOffset(0), fatBytes);
        file->secondFatRead = head.substr(fat.FatOffset(1), fatBytes);
        root = head.substr(fat.RootOffset(), rootBytes);
    } else if (fat.FatOffset(1) == fat.FatOffset(0) + fatBytes) {
        readable = read(fat.FatOffset(0), 2 * fatBytes + rootBytes, elsewhere);
        first = std::string_view(elsewhere).substr(0, fatBytes);
        file->secondFatRead = std::string_view(elsewhere).substr(fatBytes, fatBytes);
        root = std::string_view(elsewhere).substr(2 * fatBytes);
    } else {
        readable = read(fat.FatOffset(0), fatBytes, file->fatOnDisk[0]) &&
                   read(fat.FatOffset(1), fatBytes, file->fatOnDisk[1]) &&
                   read(fat.RootOffset(), rootBytes, file->rootOnDisk);
        file->diskCopies = true;
        first = file->fatOnDisk[0];
        root = file->rootOnDisk;
    }
    if (!readable) {
        m_opened = ReadFailure();
        return;
    }
    // The head's bytes stay as read; the copies made apart are written as changes go.
    const bool inHead = !file->diskCopies;
    if (Result loaded = inHead ? file->fat.Borrow(first, root) : file->fat.Load(first, root); !loaded.ok()) {
        m_opened = Result::Refused(Translated(texts::kNotFloppyImageBecause, {m_imagePath, loaded.reason}));
        return;
    }
    m_image = std::move(file);
}

ImageVolume::~ImageVolume() = default;

Result ImageVolume::Refusal() const { return Result::FromErrno(EIO, m_opened.reason); }

Result ImageVolume::LockFailure() const {
    const int error = errno;
    return Result::FromErrno(error, error == EWOULDBLOCK ? Translated(texts::kImageInUse, {m_imagePath})
                                                         : Translated(texts::kCannotLock, {m_imagePath, Result::FromErrno(error).reason}));
}

Result ImageVolume::ReadFailure() const {
    const int error = errno;
    return Result::FromErrno(error, Translated(texts::kCannotRead, {m_imagePath, Result::FromErrno(error).reason}));
}

std::string ImageVolume::Mark() const {
    if (!m_image) return {};
    const ImageFile& image = *m_image;
    Sha256 digest;
    digest.Update(image.boot);
    digest.Update(image.FirstFatOnDisk());
    digest.Update(image.diskCopies ? std::string_view(image.rootOnDisk) : std::string_view(image.fat.RootBytes()));
    return HexOf(digest.Final());
}

Result ImageVolume::SameDiskAsOpened() const {
    const ImageFile& image = *m_image;
    const std::string_view root = image.diskCopies ? std::string_view(image.rootOnDisk) : std::string_view(image.fat.RootBytes());
    char sector[kImageSectorBytes];
    for (const auto& [offset, known] : {std::pair<std::uint64_t, std::string_view>{0, image.boot},
                                        std::pair<std::uint64_t, std::string_view>{image.fat.RootOffset(), root.substr(0, kImageSectorBytes)}}) {
        if (!image.store->ReadFromDisk(offset, sector, sizeof sector)) return ReadFailure();
        if (std::string_view(sector, sizeof sector) != known) {
            return Result::Refused(Translated(texts::kDiskChangedSinceOpened, {m_imagePath}));
        }
    }
    return {};
}

std::optional<SpaceInfo> ImageVolume::Space() const {
    if (!m_image) return std::nullopt;
    return SpaceInfo{m_image->fat.FreeClusters(), m_image->fat.ClusterCount(), kImageSectorBytes};
}

const FatEntry* ImageVolume::FindFile(std::string_view name) const {
    if (!m_image) return nullptr;
    for (const FatEntry& entry : m_image->fat.Entries()) {
        if (entry.Matches(name)) return &entry;
    }
    return nullptr;
}

bool ImageVolume::Exists(std::string_view name) const {
    return FindFile(name) != nullptr;
}

std::optional<std::uint64_t> ImageVolume::FileSize(std::string_view name) const {
    const FatEntry* entry = FindFile(name);
    if (!entry || entry->IsFolder()) return std::nullopt;
    return entry->size;
}

std::optional<std::string> ImageVolume::ReadFile(std::string_view name, std::size_t maxBytes) const {
    return std::move(ReadFiles({name}, maxBytes).front());
}

std::vector<std::optional<std::string>> ImageVolume::ReadFiles(const std::vector<std::string_view>& names, std::size_t maxBytes) const {
    std::vector<std::optional<std::string>> files(names.size());
    // Each cluster to read, and where its sector goes. A catalogue's files
    // take a few clusters: these lists and the sectors of a short run stay
    // on the stack, as a shelf reads a catalogue from each of a thousand images.
    struct Piece {
        std::uint16_t cluster;
        std::uint32_t file;
        std::size_t at;
    };
    alignas(std::max_align_t) std::byte scratch[1024];
    std::pmr::monotonic_buffer_resource arena(scratch, sizeof scratch);
    std::pmr::vector<Piece> pieces(&arena);
    pieces.reserve(16);
    std::vector<std::uint16_t> clusters;   // each file's in turn
    for (std::size_t i = 0; i < names.size(); ++i) {
        const FatEntry* entry = FindFile(names[i]);
        if (!entry || entry->IsFolder()) continue;
        // A size beyond its chain, a loop or a cluster off the disk:
        // unreadable, never someone else's data.
        clusters.clear();
        if (m_image->fat.TraceChainOnto(entry->firstCluster, entry->size, clusters) != FatImage::ChainFault::None) continue;
        const std::size_t size = std::min<std::size_t>(entry->size, maxBytes);
        clusters.resize(std::min<std::size_t>(clusters.size(), ClustersFor(size)));
        files[i].emplace(size, '\0');
        for (std::size_t k = 0; k < clusters.size(); ++k) pieces.push_back({clusters[k], static_cast<std::uint32_t>(i), k * kImageSectorBytes});
    }
    // One read for each run of neighbouring clusters, whichever files they
    // belong to: a file in few large transfers, files side by side in one.
    // Sorted in place (a stable sort would take a buffer): a cluster two
    // files share is read for each of them alike.
    std::sort(pieces.begin(), pieces.end(), [](const Piece& a, const Piece& b) { return a.cluster < b.cluster; });
    constexpr std::size_t kShortRun = 8;
    char shortRun[kShortRun * kImageSectorBytes];
    std::string longRun;
    for (std::size_t first = 0; first < pieces.size();) {
        std::size_t count = 1;
        while (first + count < pieces.size() && pieces[first + count].cluster == pieces[first + count - 1].cluster + 1) ++count;
        char* run = shortRun;
        if (count > kShortRun) {
            longRun.resize(count * kImageSectorBytes);
            run = longRun.data();
        }
        const bool read = m_image->store->Read(m_image->fat.ClusterOffset(pieces[first].cluster), run, count * kImageSectorBytes);
        for (std::size_t k = first; k < first + count; ++k) {
            std::optional<std::string>& file = files[pieces[k].file];
            if (!read) file.reset();
            // The last sector of a file holds its end and what lies past it.
            if (file) {
                std::memcpy(file->data() + pieces[k].at, run + (k - first) * kImageSectorBytes,
                            std::min<std::size_t>(kImageSectorBytes, file->size() - pieces[k].at));
            }
        }
        first += count;
    }
    return files;
}

namespace {

// Every write of ours puts a file in new clusters and dates it. The three
// fields go in six bits per printable character, 15 in all, so that the
// string keeps them without a heap block: a reading makes a dozen of them,
// and the shelf reads a thousand images.
std::string StampOf(const FatEntry& entry) {
    std::string text(15, '0');
    const auto put = [&](std::size_t at, std::uint32_t value, std::size_t digits) {
        for (std::size_t d = digits; d-- > 0; value >>= 6) text[at + d] = static_cast<char>('0' + (value & 63u));
    };
    put(0, entry.firstCluster, 3);
    put(3, entry.size, 6);
    put(9, entry.stamp, 6);
    return text;
}

}  // namespace

std::string ImageVolume::Stamp(std::string_view name) const {
    const FatEntry* entry = FindFile(name);
    return entry ? StampOf(*entry) : std::string();
}

// One search of the root per name, where Stamp and FileSize would make two.
std::vector<std::optional<FileLook>> ImageVolume::LookAt(const std::vector<std::string>& names) const {
    std::vector<std::optional<FileLook>> looks;
    looks.reserve(names.size());
    for (const std::string& name : names) {
        const FatEntry* entry = FindFile(name);
        if (!entry) {
            looks.emplace_back();
            continue;
        }
        std::optional<std::uint64_t> size;
        if (!entry->IsFolder()) size = entry->size;
        looks.push_back(FileLook{name, size, StampOf(*entry)});
    }
    return looks;
}

Result ImageVolume::ChangeRefusal(const std::vector<std::string>& names, const ImageChains& chains) const {
    if (!m_image) return Refusal();
    const ImageFile& image = *m_image;
    if (image.readOnly) {
        return Result::FromErrno(EROFS, Translated(image.device ? texts::kWriteProtectedDisk : texts::kImageFileReadOnly, {m_imagePath}));
    }
    if (!image.broken.empty()) return Result::FromErrno(EIO, image.broken);
    // Which copy is right is for a repair tool to decide; a write would make
    // both alike, and a checker could no longer tell.
    if (const auto entry = FirstFatDifference(image.fat, image.FirstFatOnDisk(), image.SecondFatOnDisk())) {
        return Result::FromErrno(EIO, Translated(texts::kImageDamaged, {m_imagePath, FatDifferenceText(*entry)}));
    }
    for (const std::string& name : names) {
        for (const FatEntry& entry : image.fat.Find(name)) {
            const std::string shown = entry.longName.empty() ? entry.shortName : entry.longName;
            if (entry.IsFolder()) return Result::FromErrno(EISDIR, Translated(texts::kIsFolder, {Root() + shown}));
            if ((entry.attributes & kReadOnlyAttribute) != 0) {
                return Result::FromErrno(EACCES, Translated(texts::kReadOnlyFile, {Root() + shown}));
            }
            // Freeing a damaged chain could free another file's clusters.
            for (const ImageChains::Item& item : chains.items) {
                if (!item.inRoot || item.entry.slot != entry.slot) continue;
                if (std::string damage = ChainDamage(image.fat, chains, item); !damage.empty()) {
                    return Result::FromErrno(EIO, Translated(texts::kImageDamaged, {m_imagePath, damage}));
                }
            }
        }
    }
    return {};
}

Result ImageVolume::CheckChange(const std::vector<std::string>& names) const {
    if (!m_image) return Refusal();
    return ChangeRefusal(names, m_image->TraceChains());
}

std::vector<std::string> ImageVolume::Damage() const {
    if (!m_image) return {};
    return ImageProblems(m_image->fat, m_image->FirstFatOnDisk(), m_image->SecondFatOnDisk(), m_image->TraceChains());
}

Result ImageVolume::Apply(const std::vector<FileChange>& changes, CatalogueReserve reserve) {
    if (!m_image) return Refusal();
    ImageFile& image = *m_image;
    FatImage& fat = image.fat;
    const std::uint64_t capacity = std::uint64_t{fat.ClusterCount()} * kImageSectorBytes;

    std::vector<Planned> plan;
    std::vector<std::string> names;
    for (const FileChange& change : changes) {
        Planned p;
        p.change = &change;
        p.remove = !change.content;
        p.existing = fat.Find(change.name);
        // The exact spelling is the one replaced; other variants go.
        std::stable_partition(p.existing.begin(), p.existing.end(), [&](const FatEntry& e) {
            return e.shortName == change.name || e.longName == change.name;
        });
        if (p.remove && p.existing.empty()) continue;   // nothing to take away
        names.push_back(change.name);
        plan.push_back(std::move(p));
    }
    if (plan.empty()) return {};
    const ImageChains chains = image.TraceChains();
    if (Result refused = ChangeRefusal(names, chains); !refused.ok()) return refused;
    std::vector<std::vector<std::uint16_t>> oldChains;
    for (Planned& p : plan) {
        for (const FatEntry& entry : p.existing) oldChains.push_back(fat.TraceChain(entry.firstCluster, 0).clusters);
        if (p.remove) continue;
        Result read = ReadContent(*p.change->content, capacity, p.bytes);
        if (!read.ok()) return read;
        if (p.existing.empty() && !ShortNameFor(p.change->name)) {
            return Result::FromErrno(EINVAL, Translated(texts::kNotFloppyName, {p.change->name}));
        }
    }

    std::uint32_t needed = 0;
    std::size_t newNames = 0;
    for (const Planned& p : plan) {
        needed += ClustersFor(p.bytes.size());
        newNames += !p.remove && p.existing.empty();
    }
    // Free in the FAT and held by no chain (one that runs into a free cluster holds it).
    std::uint32_t free = fat.FreeClusters();
    for (std::uint16_t c : chains.heldUnused) free -= fat.Next(c) == 0;
    // The reserve is kept for new data; a change that only takes files away needs none.
    const std::uint64_t keep = reserve == CatalogueReserve::Keep ? CatalogueReserveBytes(kImageSectorBytes) / kImageSectorBytes : 0;
    if (needed > 0 && std::uint64_t{needed} + keep > free) return Result::FromErrno(ENOSPC);
    const std::vector<std::uint32_t> slots = fat.FreeSlots();
    if (slots.size() < newNames) return Result::FromErrno(ENOSPC, Translated(texts::kRootFolderFull));
    // A drive's disk may have been swapped while a question was open, and an
    // image rewritten by another program: what we hold of it would then be
    // written over another disk's file system.
    if (Result same = SameDiskAsOpened(); !same.ok()) return same;

    image.KeepDiskCopies();   // `fat` is about to change
    auto fail = [&](const char* part) {
        const int err = errno != 0 ? errno : EIO;
        image.broken = err == kReadBackDiffers
                           ? Translated(texts::kDiskWriteNotKept, {m_imagePath})
                           : Translated(texts::kImageWriteFailed, {m_imagePath, Translated(part), Result::FromErrno(err).reason});
        // What is read from now on is what the disk is known to hold, never
        // the change that did not get there.
        image.fat.Load(image.fatOnDisk[0], image.rootOnDisk);
        return Result::FromErrno(err, image.broken);
    };

    // 1. The new contents go into clusters that no file holds. New entries
    //    past the end mark get cleared slots first, so that whichever root
    //    sectors reach the disk later, no old garbage becomes an entry.
    std::vector<std::uint8_t> taken(chains.owners.begin(), chains.owners.end());
    std::size_t nextSlot = 0;
    const std::uint32_t end = fat.EndSlot();
    std::uint32_t lastNew = 0;
    bool pastEnd = false;
    for (Planned& p : plan) {
        if (p.remove) continue;
        auto clusters = fat.TakeFree(ClustersFor(p.bytes.size()), taken);
        if (!clusters) return Result::FromErrno(ENOSPC);
        for (std::uint16_t c : *clusters) taken[c] = 1;
        p.clusters = std::move(*clusters);
        if (!image.WriteData(p.clusters, p.bytes)) return fail(texts::kPartFileData);
        if (p.existing.empty()) {
            p.newSlot = slots[nextSlot++];
            if (*p.newSlot >= end) {
                pastEnd = true;
                lastNew = std::max(lastNew, *p.newSlot);
            }
        }
    }
    if (pastEnd) {
        for (std::uint32_t s = end; s <= std::min(lastNew + 1, kImageRootEntries - 1); ++s) fat.ClearSlot(s);
        if (!image.WriteRoot()) return fail(texts::kPartFolder);
    }
    if (!image.FlushWrites()) return fail(texts::kPartFlush);

    // 2. Both FATs link the new chains; the old ones stay allocated.
    for (const Planned& p : plan) fat.Link(p.clusters);
    if (!image.WriteFats()) return fail(texts::kPartFat);
    if (!image.FlushWrites()) return fail(texts::kPartFlush);

    // 3. Entries switch to their new chains. Long-name slots of entries that
    //    go, where they lie in another sector than their entry, are cleared
    //    first: a crash between leaves a file under its short name, never a
    //    long name without its file. So are long-name slots that belong to no
    //    file right before a new entry's slot, which other tools would give
    //    it as its name: in its sector they go with the entry's write.
    const std::uint32_t perSector = kImageSectorBytes / kDirEntryBytes;
    bool longNames = false;
    std::vector<std::uint32_t> orphansBesideEntries;
    for (const Planned& p : plan) {
        for (std::size_t i = p.remove ? 0 : 1; i < p.existing.size(); ++i) {
            const FatEntry& entry = p.existing[i];
            for (std::uint32_t s = entry.firstSlot; s < entry.slot && s / perSector != entry.slot / perSector; ++s) {
                fat.MarkDeleted(s, s);
                longNames = true;
            }
        }
        for (std::uint32_t s : p.newSlot ? fat.LongNameSlotsBefore(*p.newSlot) : std::vector<std::uint32_t>{}) {
            if (s / perSector == *p.newSlot / perSector) {
                orphansBesideEntries.push_back(s);
                continue;
            }
            fat.MarkDeleted(s, s);
            longNames = true;
        }
    }
    if (longNames && (!image.WriteRoot() || !image.FlushWrites())) return fail(texts::kPartFolder);
    for (std::uint32_t s : orphansBesideEntries) fat.MarkDeleted(s, s);
    for (const Planned& p : plan) {
        const std::uint16_t first = p.clusters.empty() ? 0 : p.clusters.front();
        const auto size = static_cast<std::uint32_t>(p.bytes.size());
        if (!p.remove && p.newSlot) fat.PutEntry(*p.newSlot, p.change->name, first, size);
        if (!p.remove && !p.existing.empty()) fat.SetFile(p.existing.front().slot, first, size);
        for (std::size_t i = p.remove ? 0 : 1; i < p.existing.size(); ++i) {
            fat.MarkDeleted(p.existing[i].firstSlot, p.existing[i].slot);
        }
    }
    if (!image.WriteRoot() || !image.FlushWrites()) return fail(texts::kPartFolder);

    // 4. The old chains are freed. The new files are durable already: a
    //    failure here leaves lost clusters, not a failed change. So does a
    //    crash before these writes reach the disk, so they wait for the next
    //    flush (the next change's first), and a change costs three flushes.
    for (const auto& chain : oldChains) fat.Free(chain);
    if (!image.WriteFats()) {
        const Result failed = fail(texts::kPartFat);
        return Result::Notice(Translated(texts::kOldRoomNotFreed, {m_imagePath, Result::FromErrno(failed.error).reason}));
    }
    return {};
}

void ImageVolume::Flush() {
    // Every change flushes its own writes; this is for the caller's peace of mind.
    if (m_image) m_image->store->Flush();
}

}  // namespace tunecrate
