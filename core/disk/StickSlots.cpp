// SPDX-License-Identifier: MIT
#include "core/disk/StickSlots.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

#include "core/Texts.h"
#include "core/disk/BlockDevice.h"
#include "core/disk/DiskStore.h"
#include "core/disk/FatImage.h"
#include "core/disk/FloppyFinder.h"

namespace tunecrate {

namespace {

constexpr std::size_t kSector = 512;

std::atomic<bool>& AnyDeviceAllowed() {
    static std::atomic<bool> allowed{false};
    return allowed;
}

unsigned Le16(const char* b) {
    return static_cast<unsigned char>(b[0]) | static_cast<unsigned>(static_cast<unsigned char>(b[1])) << 8;
}


// The boot sector of a 1.44 MB floppy; some instruments write no signature.
bool IsFloppyBoot(std::string_view sector) { return FatImage::Parse(sector).has_value(); }

// A file system that starts at byte 0 (a stick formatted without a table).
std::optional<std::string> FileSystemAt(std::string_view s) {
    if (s.substr(3, 8) == "EXFAT   ") return "exFAT";
    if (s.substr(3, 8) == "NTFS    ") return "NTFS";
    if (Le16(s.data() + 510) != 0xAA55) return std::nullopt;
    const unsigned sectorBytes = Le16(s.data() + 11);
    const bool bpb = (sectorBytes == 512 || sectorBytes == 1024 || sectorBytes == 2048 || sectorBytes == 4096) &&
                     s[13] != 0 && Le16(s.data() + 14) != 0 && s[16] != 0;
    if (!bpb) return std::nullopt;
    if (s.substr(82, 8) == "FAT32   " || Le16(s.data() + 22) == 0) return "FAT32";
    return "FAT";
}

// An MBR: the boot signature and four entries whose boot flags are 0 or 0x80,
// at least one of them used. (A GPT disk has one such entry, of type 0xEE.)
bool PartitionTableAt(std::string_view s) {
    if (Le16(s.data() + 510) != 0xAA55) return false;
    bool used = false;
    for (int i = 0; i < 4; ++i) {
        const char* entry = s.data() + 446 + 16 * i;
        const auto flag = static_cast<unsigned char>(entry[0]);
        if (flag != 0 && flag != 0x80) return false;
        used = used || entry[4] != 0;
    }
    return used;
}

}  // namespace

bool MayBeStick(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return false;
    return S_ISBLK(st.st_mode) || (S_ISREG(st.st_mode) && static_cast<std::uint64_t>(st.st_size) >= 2 * kSlotStride);
}

bool UnusedSector(std::string_view sector) {
    // All one byte when each byte equals the next: one vectorised compare,
    // where most sectors of a stick are asked about.
    return sector.empty() || std::memcmp(sector.data(), sector.data() + 1, sector.size() - 1) == 0;
}

int StickSlotCount(std::uint64_t bytes) {
    if (bytes < kImageBytes) return 0;
    return static_cast<int>(std::min<std::uint64_t>(kMaxStickSlots, (bytes - kImageBytes) / kSlotStride + 1));
}

std::optional<SlotPath> ParseSlotPath(std::string_view path) {
    const auto at = path.rfind('@');
    if (at == std::string_view::npos || at == 0) return std::nullopt;
    const std::optional<int> number = SlotNumberOf(path.substr(at + 1));
    if (!number) return std::nullopt;
    return SlotPath{std::string(path.substr(0, at)), *number};
}

std::optional<int> SlotNumberOf(std::string_view digits) {
    if (digits.empty() || digits.size() > 3 || !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return std::nullopt;
    }
    int number = 0;
    for (char c : digits) number = number * 10 + (c - '0');
    return number;
}

std::string SlotPathOf(std::string_view stick, int slot) {
    char digits[16];
    // A shelf names each of a thousand slots: the usual three digits by hand.
    if (slot >= 0 && slot <= 999) {
        digits[0] = '@';
        digits[1] = static_cast<char>('0' + slot / 100);
        digits[2] = static_cast<char>('0' + slot / 10 % 10);
        digits[3] = static_cast<char>('0' + slot % 10);
        digits[4] = '\0';
    } else {
        std::snprintf(digits, sizeof digits, "@%03d", slot);
    }
    std::string path;
    path.reserve(stick.size() + std::strlen(digits));
    return path.append(stick).append(digits);
}

std::optional<SlotPath> SlotOfPath(const std::string& path) {
    auto slot = ParseSlotPath(path);
    struct stat st {};
    if (!slot || ::stat(path.c_str(), &st) == 0 || ::stat(slot->stick.c_str(), &st) != 0) return std::nullopt;
    if (!S_ISBLK(st.st_mode) && !S_ISREG(st.st_mode)) return std::nullopt;
    return slot;
}

StickReading ReadStickLayout(ImageStore& stick, std::uint64_t bytes) {
    StickReading reading;
    reading.slotCount = StickSlotCount(bytes);
    std::string sector(kSector, '\0');
    if (!stick.Read(0, sector.data(), kSector)) return reading;
    // A floppy in slot 0 first: its boot sector carries the signature too.
    if (IsFloppyBoot(sector)) {
        reading.layout = StickLayout::Slots;
        return reading;
    }
    if (auto fileSystem = FileSystemAt(sector)) {
        reading.layout = StickLayout::FileSystem;
        reading.what = *fileSystem;
        return reading;
    }
    if (PartitionTableAt(sector)) {
        reading.layout = StickLayout::FileSystem;
        reading.what = static_cast<unsigned char>(sector[446 + 4]) == 0xEE ? "GPT" : "MBR";
        return reading;
    }
    if (!UnusedSector(sector)) return reading;
    // Slot 0 unused: the first floppy further on tells the layout.
    for (int slot = 1; slot < reading.slotCount; ++slot) {
        if (!stick.Read(slot * kSlotStride, sector.data(), kSector)) return reading;
        if (IsFloppyBoot(sector)) {
            reading.layout = StickLayout::Slots;
            return reading;
        }
    }
    reading.layout = StickLayout::Blank;
    return reading;
}

std::string NotSlotStickMessage(const std::string& stick, const StickReading& reading) {
    if (reading.slotCount < 2) return Translated(texts::kStickTooSmall, {stick});
    switch (reading.layout) {
        case StickLayout::FileSystem: return Translated(texts::kStickHasFileSystem, {stick, reading.what});
        case StickLayout::Blank: return Translated(texts::kStickIsBlank, {stick});
        case StickLayout::Unknown: return Translated(texts::kStickUnknown, {stick});
        case StickLayout::Slots: break;
    }
    return {};
}

bool SlotWindow::Inside(std::uint64_t offset, std::size_t size) const {
    if (offset <= m_size && size <= m_size - offset) return true;
    errno = EINVAL;
    return false;
}

bool SlotWindow::Read(std::uint64_t offset, char* data, std::size_t size) {
    return Inside(offset, size) && m_stick->Read(m_offset + offset, data, size);
}

bool SlotWindow::ReadFromDisk(std::uint64_t offset, char* data, std::size_t size) {
    return Inside(offset, size) && m_stick->ReadFromDisk(m_offset + offset, data, size);
}

bool SlotWindow::Write(std::uint64_t offset, std::string_view bytes) {
    return Inside(offset, bytes.size()) && m_stick->Write(m_offset + offset, bytes);
}

void AllowAnyStickDevice(bool allow) { AnyDeviceAllowed() = allow; }

namespace {

struct Holds {
    std::mutex mutex;
    std::map<std::string, std::weak_ptr<const StickHold>> held;
};
Holds& TheHolds() {
    static Holds holds;
    return holds;
}

}  // namespace

std::shared_ptr<const StickHold> StickHold::Held(const std::string& stick) {
    Holds& holds = TheHolds();
    const std::lock_guard lock(holds.mutex);
    const auto it = holds.held.find(stick);
    return it == holds.held.end() ? nullptr : it->second.lock();
}

bool StickHold::ReadSlotStart(int slot, char* sector) const {
    return m_fd >= 0 && ::pread(m_fd, sector, kSector, static_cast<off_t>(slot * kSlotStride)) == static_cast<ssize_t>(kSector);
}

bool StickHold::SlotUnused(int slot) const {
    char sector[kSector];
    return ReadSlotStart(slot, sector) && UnusedSector(std::string_view(sector, sizeof sector));
}

Expected<std::shared_ptr<const StickHold>> StickHold::Take(const std::string& stick) {
    Holds& holds = TheHolds();
    const std::lock_guard lock(holds.mutex);
    auto& held = holds.held;
    if (auto existing = held[stick].lock()) return existing;

    DiskAccess access;
    access.exclusive = true;
    access.nonBlocking = true;
    Expected<OpenDisk> opened = OpenDiskAt(stick, access);
    if (!opened) return opened.error();
    if (opened->device && opened->bytes > kImageBytes && !AnyDeviceAllowed() &&
        (!IsRemovableDevice(stick) || opened->bytes > kLargestStick)) {
        return Result::FromErrno(EPERM, Translated(texts::kStickDeviceRefused, {stick}));
    }
    std::shared_ptr<StickHold> hold(new StickHold);
    hold->m_device = opened->device;
    hold->m_bytes = opened->bytes;
    hold->m_reading = ReadStickLayout(*opened->store, opened->bytes);
    // Kept open: a device's exclusive claim, and the reading of unused slots.
    hold->m_fd = opened->store->ReleaseFd();
    held[stick] = hold;
    return std::shared_ptr<const StickHold>(std::move(hold));
}

class StickHold::Reader final : public ImageStore {
public:
    Reader(std::shared_ptr<const StickHold> hold, int slot) : m_hold(std::move(hold)), m_slot(slot) {}
    ~Reader() override { m_hold->UnshareSlot(m_slot); }
    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;
    bool Read(std::uint64_t offset, char* data, std::size_t size) override {
        for (std::size_t done = 0; done < size;) {
            const ssize_t got = ::pread(m_hold->m_fd, data + done, size - done, static_cast<off_t>(offset + done));
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) {
                if (got == 0) errno = EIO;   // the stick ended early
                return false;
            }
            done += static_cast<std::size_t>(got);
        }
        return true;
    }
    bool Write(std::uint64_t, std::string_view) override {
        errno = EBADF;   // opened for reading
        return false;
    }
    bool Flush() override { return true; }

private:
    std::shared_ptr<const StickHold> m_hold;
    int m_slot;
};

std::unique_ptr<ImageStore> StickHold::SlotReader(int slot) const {
    if (!ShareSlot(slot)) return nullptr;
    return std::make_unique<Reader>(shared_from_this(), slot);
}

std::optional<StickHold::SharedSlots> StickHold::ShareSlots(int first, int count) const {
    count = std::min(count, m_reading.slotCount - first);
    if (first < 0 || count <= 0 || !ShareSlotRange(first, count)) return std::nullopt;
    return std::optional<SharedSlots>(std::in_place, shared_from_this(), first, count);
}

namespace {

void UnlockSlots(int fd, int first, int count) {
    struct flock range {};
    range.l_type = F_UNLCK;
    range.l_whence = SEEK_SET;
    range.l_start = static_cast<off_t>(static_cast<std::uint64_t>(first) * kSlotStride);
    range.l_len = static_cast<off_t>(static_cast<std::uint64_t>(count) * kSlotStride);
    ::fcntl(fd, F_OFD_SETLK, &range);
}

}  // namespace

bool StickHold::ShareSlotRange(int first, int count) const {
    if (first < 0 || count <= 0) return false;
    const std::lock_guard lock(m_sharesMutex);
    const auto end = static_cast<std::size_t>(first) + static_cast<std::size_t>(count);
    if (end > m_shares.size()) m_shares.resize(std::max(end, static_cast<std::size_t>(m_reading.slotCount)), 0);
    // A range that readers hold already whole (a slot inside a shelf's
    // window) is locked as it is: no call. Otherwise one call for the whole
    // range: the slots another reader holds are the same lock of the same
    // descriptor, and a refused lock changes none.
    const auto begin = m_shares.begin() + first;
    const bool held = std::all_of(begin, begin + count, [](int readers) { return readers > 0; });
    if (!held && !LockSlotRange(m_fd, static_cast<std::uint64_t>(first) * kSlotStride, false, false, count)) return false;
    for (int slot = first; slot < first + count; ++slot) ++m_shares[static_cast<std::size_t>(slot)];
    return true;
}

void StickHold::UnshareSlots(int first, int count) const {
    const std::lock_guard lock(m_sharesMutex);
    for (int slot = first; slot < first + count; ++slot) --m_shares[static_cast<std::size_t>(slot)];
    // Each run of slots that no reader holds now, in one call.
    const auto unshared = [&](int slot) { return m_shares[static_cast<std::size_t>(slot)] == 0; };
    for (int slot = first; slot < first + count; ++slot) {
        if (!unshared(slot)) continue;
        int last = slot;
        while (last + 1 < first + count && unshared(last + 1)) ++last;
        UnlockSlots(m_fd, slot, last + 1 - slot);
        slot = last;
    }
}

StickReading StickHold::reading() const {
    StickReading now = m_reading;
    if (m_floppyMade && now.layout == StickLayout::Blank) now.layout = StickLayout::Slots;
    return now;
}

StickHold::~StickHold() {
    if (m_fd >= 0) ::close(m_fd);
}

bool LockSlotRange(int fd, std::uint64_t offset, bool exclusive, bool wait, int slots) {
    struct flock range {};
    range.l_type = exclusive ? F_WRLCK : F_RDLCK;
    range.l_whence = SEEK_SET;
    range.l_start = static_cast<off_t>(offset);
    range.l_len = static_cast<off_t>(static_cast<std::uint64_t>(slots) * kSlotStride);
    // Another window or a script holds a slot only for one operation.
    constexpr int kTries = 60;
    for (int i = 0;; ++i) {
        if (::fcntl(fd, F_OFD_SETLK, &range) == 0) return true;
        if (errno != EAGAIN && errno != EACCES && errno != EINTR) return false;
        if (!wait || i + 1 >= kTries) {
            errno = EWOULDBLOCK;
            return false;
        }
        ::usleep(50'000);
    }
}

std::vector<std::string> FindStickSizedDisks(const std::vector<MountEntry>& mounts, const std::string& sysBlock, const std::string& devFolder) {
    return FindRemovableDisks(mounts, 2 * kSlotStride / 512, kLargestStick / 512, sysBlock, devFolder);
}

OpenedStick::~OpenedStick() = default;
OpenedStick::OpenedStick(OpenedStick&&) noexcept = default;
OpenedStick::OpenedStick(std::shared_ptr<const StickHold> held, std::unique_ptr<DiskStore> opened, StickReading read)
    : hold(std::move(held)), store(std::move(opened)), reading(read) {}

Expected<OpenedStick> OpenStick(const std::string& stick, bool write) {
    Expected<std::shared_ptr<const StickHold>> hold = StickHold::Take(stick);
    if (!hold) return hold.error();
    DiskAccess access;
    access.write = write;
    access.direct = write;
    access.nonBlocking = true;
    Expected<OpenDisk> opened = OpenDiskAt(stick, access);
    if (!opened) return opened.error();
    return OpenedStick(*hold, std::move(opened->store), (*hold)->reading());
}

namespace {

Result SlotFailure(const char* text, const std::string& stickName, int slot) {
    const int error = errno != 0 ? errno : EIO;
    return Result::FromErrno(error, Translated(text, {SlotPathOf(stickName, slot), Result::FromErrno(error).reason}));
}

}  // namespace

Expected<std::string> ReadSlot(DiskStore& stick, const std::string& stickName, int slot) {
    const std::uint64_t offset = static_cast<std::uint64_t>(slot) * kSlotStride;
    std::string bytes(kImageBytes, '\0');
    errno = 0;
    if (!LockSlotRange(stick.fd(), offset, false, true) || !stick.Read(offset, bytes.data(), bytes.size())) {
        return SlotFailure(texts::kCannotRead, stickName, slot);
    }
    return bytes;
}

Result WriteSlot(DiskStore& stick, const std::string& stickName, int slot, std::string_view floppy, bool verify) {
    const std::uint64_t offset = static_cast<std::uint64_t>(slot) * kSlotStride;
    errno = 0;
    if (floppy.size() != kImageBytes) return Result::FromErrno(EINVAL);
    if (!LockSlotRange(stick.fd(), offset, true, true) ||
        // The boot sector last: cut short, the slot is still unused.
        !stick.Write(offset + kImageSectorBytes, floppy.substr(kImageSectorBytes)) || !stick.Flush() ||
        !stick.Write(offset, floppy.substr(0, kImageSectorBytes)) || !stick.Flush()) {
        return SlotFailure(texts::kCannotWrite, stickName, slot);
    }
    if (!verify) return {};
    std::string back(kImageBytes, '\0');
    if (!stick.Read(offset, back.data(), back.size())) return SlotFailure(texts::kCannotRead, stickName, slot);
    if (back != floppy) {
        // Not left as a floppy that reads back as some other one; best effort, the stick is failing.
        (void)stick.Write(offset, std::string(kImageSectorBytes, '\0'));
        (void)stick.Flush();
        return Result::FromErrno(EIO, Translated(texts::kSlotReadBackDiffers, {SlotPathOf(stickName, slot)}));
    }
    return {};
}

Result BlankSlot(DiskStore& stick, const std::string& stickName, int slot) {
    const std::uint64_t offset = static_cast<std::uint64_t>(slot) * kSlotStride;
    errno = 0;
    if (!LockSlotRange(stick.fd(), offset, true, true) || !stick.Write(offset, std::string(kImageSectorBytes, '\0')) ||
        !stick.Flush()) {
        return SlotFailure(texts::kCannotWrite, stickName, slot);
    }
    // Read back: a stick that drops writes would keep showing the floppy said to be gone.
    std::string back(kImageSectorBytes, '\1');
    if (!stick.Read(offset, back.data(), back.size())) return SlotFailure(texts::kCannotRead, stickName, slot);
    if (!UnusedSector(back)) return Result::FromErrno(EIO, Translated(texts::kSlotReadBackDiffers, {SlotPathOf(stickName, slot)}));
    return {};
}

}  // namespace tunecrate
