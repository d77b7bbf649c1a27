// SPDX-License-Identifier: MIT
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/Result.h"
#include "core/disk/FloppyFinder.h"
#include "core/disk/ImageVolume.h"

namespace tunecrate {

// A floppy emulator's factory firmware keeps its floppies in raw slots, with
// no file system: slot N starts at byte N × 1.5 MiB and holds one 1.44 MB
// floppy, then a gap. A stick is the device, or a dump of the whole device.
inline constexpr std::uint64_t kSlotStride = 1'572'864;
inline constexpr int kMaxStickSlots = 1000;
// The largest device taken for a stick without --force-device: a hard disk is never one.
inline constexpr std::uint64_t kLargestStick = 64'000'000'000;

// The unmounted removable disks of a stick's size (two slots to kLargestStick), as /dev paths.
std::vector<std::string> FindStickSizedDisks(const std::vector<MountEntry>& mounts, const std::string& sysBlock = "/sys/class/block",
                                            const std::string& devFolder = "/dev");

// A device, or a file large enough to be a whole stick's dump (two slots).
bool MayBeStick(const std::string& path);

// A slot's first sector all of one byte: nothing was ever written there,
// the slot is unused.
bool UnusedSector(std::string_view sector);

// How many slots a stick of `bytes` holds: each needs a whole floppy.
int StickSlotCount(std::uint64_t bytes);

// "STICK@N" names slot N of a stick ("/dev/sdb@12"); N has 1 to 3 digits.
// Syntax only: whether the stick is one is for the opening to find.
struct SlotPath {
    std::string stick;
    int slot = 0;
};
std::optional<SlotPath> ParseSlotPath(std::string_view path);
// The number of a slot's digits after the '@' ("007"): one to three digits.
std::optional<int> SlotNumberOf(std::string_view digits);
// The name a slot is shown by: the stick and the slot's three digits.
std::string SlotPathOf(std::string_view stick, int slot);
// A slot path whose stick exists, where nothing exists at the path itself
// (a file may be named "song@1").
std::optional<SlotPath> SlotOfPath(const std::string& path);

// What lies on a stick, read from a few sectors.
enum class StickLayout {
    Slots,        // floppies at multiples of 1.5 MiB: the factory firmware's
    FileSystem,   // a partition table or a file system at byte 0: a stick of image files
    Blank,        // nothing written where either would be
    Unknown,      // something else: never written to
};
struct StickReading {
    StickLayout layout = StickLayout::Unknown;
    std::string what;   // the file system or table found, for the messages ("FAT32")
    int slotCount = 0;  // the slots its size holds ("slots" is a word Qt takes)
};
// Reads sector 0 and, where it is blank, the first sector of each slot until
// a floppy is found. `bytes` is the stick's size.
StickReading ReadStickLayout(ImageStore& stick, std::uint64_t bytes);

// Why `stick` cannot be used as a factory stick, in plain words: which
// layout it has, which firmware reads it, and what to do instead.
std::string NotSlotStickMessage(const std::string& stick, const StickReading& reading);

// A slot seen as a floppy image of its own: offsets start at the slot, and a
// read or write that would leave it fails (EINVAL) before it reaches the stick.
class SlotWindow final : public ImageStore {
public:
    SlotWindow(std::unique_ptr<ImageStore> stick, std::uint64_t offset, std::uint64_t size)
        : m_stick(std::move(stick)), m_offset(offset), m_size(size) {}
    bool Read(std::uint64_t offset, char* data, std::size_t size) override;
    bool ReadFromDisk(std::uint64_t offset, char* data, std::size_t size) override;
    bool Write(std::uint64_t offset, std::string_view bytes) override;
    bool Flush() override { return m_stick->Flush(); }

private:
    bool Inside(std::uint64_t offset, std::size_t size) const;
    std::unique_ptr<ImageStore> m_stick;
    std::uint64_t m_offset;
    std::uint64_t m_size;
};

// A stick held for as long as any of its slots is open. A device is opened
// once with O_EXCL, so nothing mounts it meanwhile and a mounted one is
// refused; its layout is read once. A device that is not removable, or is
// larger than 64 GB, is refused unless AllowAnyStickDevice: a hard disk
// must never be taken for a stick.
class StickHold : public std::enable_shared_from_this<StickHold> {
public:
    static Expected<std::shared_ptr<const StickHold>> Take(const std::string& stick);
    // The hold on `stick` if one is taken now; never opens anything.
    static std::shared_ptr<const StickHold> Held(const std::string& stick);
    // True when the slot's first sector is all one byte: nothing was ever
    // written there. One small read, where opening the slot takes several.
    bool SlotUnused(int slot) const;
    // The slot's first sector, read through the hold with no lock taken: for
    // a reader that holds the slot's share already (a shelf's window).
    bool ReadSlotStart(int slot, char* sector) const;
    StickReading reading() const;
    // A floppy was just made in a slot: a blank stick is a factory stick now.
    void NoteFloppyMade() const { m_floppyMade = true; }
    bool device() const { return m_device; }
    std::uint64_t bytes() const { return m_bytes; }
    // The bytes of one slot read through the hold's own descriptor (offsets
    // from the stick's start), under a shared lock of the slot's range kept
    // while any such reader of it lives: another program's write of the
    // slot never comes half-way through. Null, with errno EWOULDBLOCK, while
    // a writer holds the slot; reading never waits for one.
    std::unique_ptr<ImageStore> SlotReader(int slot) const;
    // Slots [first, first + count) share-locked as SlotReader locks one, in
    // one lock rather than one per slot, for as long as the result lives: a
    // reading that goes through them in turn then makes no lock call for
    // each. Nothing when a writer holds any of them.
    class SharedSlots {
    public:
        SharedSlots(std::shared_ptr<const StickHold> hold, int first, int count)
            : m_hold(std::move(hold)), m_first(first), m_count(count) {}
        SharedSlots(SharedSlots&& other) noexcept
            : m_hold(std::move(other.m_hold)), m_first(other.m_first), m_count(other.m_count) {}
        SharedSlots& operator=(SharedSlots&&) = delete;
        SharedSlots(const SharedSlots&) = delete;
        ~SharedSlots() {
            if (m_hold) m_hold->UnshareSlots(m_first, m_count);
        }
        bool Covers(int slot) const { return slot >= m_first && slot - m_first < m_count; }

    private:
        std::shared_ptr<const StickHold> m_hold;
        int m_first, m_count;
    };
    std::optional<SharedSlots> ShareSlots(int first, int count) const;
    ~StickHold();
    StickHold(const StickHold&) = delete;
    StickHold& operator=(const StickHold&) = delete;

private:
    class Reader;
    StickHold() = default;
    bool ShareSlot(int slot) const { return ShareSlotRange(slot, 1); }
    void UnshareSlot(int slot) const { UnshareSlots(slot, 1); }
    bool ShareSlotRange(int first, int count) const;
    void UnshareSlots(int first, int count) const;
    int m_fd = -1;
    bool m_device = false;
    std::uint64_t m_bytes = 0;
    StickReading m_reading;
    mutable std::atomic<bool> m_floppyMade{false};
    mutable std::mutex m_sharesMutex;
    mutable std::vector<int> m_shares;   // readers of each slot share-locked through the hold, by slot
};
void AllowAnyStickDevice(bool allow);

// Takes a lock on the byte range of one slot (or `slots` slots from it),
// shared or exclusive; a writer waits a little for another program that
// holds it. False with errno EWOULDBLOCK when it stays held.
bool LockSlotRange(int fd, std::uint64_t offset, bool exclusive, bool wait, int slots = 1);

class DiskStore;

// A stick held and opened whole: for reading, or for writing past the
// system's cache, so that a slot read back is what the stick holds.
struct OpenedStick {
    std::shared_ptr<const StickHold> hold;
    std::unique_ptr<DiskStore> store;
    StickReading reading;
    ~OpenedStick();
    OpenedStick(OpenedStick&&) noexcept;
    OpenedStick(std::shared_ptr<const StickHold> held, std::unique_ptr<DiskStore> opened, StickReading read);
};
Expected<OpenedStick> OpenStick(const std::string& stick, bool write);

// Slot `slot` whole (one floppy), read under the slot's shared lock, so
// never half-way through another program's write of it.
Expected<std::string> ReadSlot(DiskStore& stick, const std::string& stickName, int slot);

// Writes a whole floppy into a slot, under the slot's lock: all but the
// boot sector, a flush, then the boot sector and a flush, so that a slot
// cut short stays unused. With `verify`, the slot is read back and compared;
// one that differs is made unused again, as far as the stick lets it.
// The failure names the slot.
Result WriteSlot(DiskStore& stick, const std::string& stickName, int slot, std::string_view floppy, bool verify);

// Makes a slot unused, under its lock: its first sector blanked, flushed and
// read back. Its other bytes stay until a floppy is written there.
Result BlankSlot(DiskStore& stick, const std::string& stickName, int slot);

}  // namespace tunecrate
