// SPDX-License-Identifier: MIT
#include "core/songs/StickConvert.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <map>

#include "core/Texts.h"
#include "core/disk/DiskStore.h"
#include "core/disk/FatImage.h"
#include "core/disk/FileOps.h"
#include "core/disk/StickSlots.h"
#include "core/songs/FloppyBackup.h"
#include "core/songs/Shelf.h"

namespace tunecrate {

namespace {

std::string ImageNameFor(int slot) {
    char name[32];
    std::snprintf(name, sizeof name, "DSKA%04d.IMG", slot % 10000);
    return name;
}

Result Failure(const char* text, const std::string& where) {
    const int error = errno != 0 ? errno : EIO;
    return Result::FromErrno(error, Translated(text, {where, Result::FromErrno(error).reason}));
}

}  // namespace

bool StickConversion::ok() const {
    return result.ok() && std::all_of(floppies.begin(), floppies.end(), [](const ConvertedFloppy& f) { return f.result.ok(); });
}

StickConversion StickToImages(const std::string& stick, const std::string& folder) {
    StickConversion done;
    if (!IsFolder(folder)) {
        done.result = Result::Refused(Translated(texts::kNotAFolder, {folder}));
        return done;
    }
    Expected<OpenedStick> opened = OpenStick(stick, false);
    if (!opened) {
        done.result = opened.error();
        return done;
    }
    if (opened->reading.layout != StickLayout::Slots || opened->reading.slotCount < 2) {
        done.result = Result::Refused(NotSlotStickMessage(stick, opened->reading));
        return done;
    }
    DiskStore& store = *opened->store;
    std::string slotBytes(kImageSectorBytes, '\0');
    for (int slot = 0; slot < opened->reading.slotCount; ++slot) {
        const std::uint64_t offset = slot * kSlotStride;
        const std::string where = SlotPathOf(stick, slot);
        ConvertedFloppy floppy{slot, JoinPath(folder, ImageNameFor(slot)), {}};
        errno = 0;
        // A slot being written by another program is read once it is done.
        if (!LockSlotRange(store.fd(), offset, false, true) || !store.Read(offset, slotBytes.data(), kImageSectorBytes)) {
            floppy.result = Failure(texts::kCannotRead, where);
            done.floppies.push_back(std::move(floppy));
            continue;
        }
        // Unused slots stay behind; a used one goes whole, damaged or not.
        if (UnusedSector(std::string_view(slotBytes).substr(0, kImageSectorBytes))) continue;
        if (Expected<std::string> read = ReadSlot(store, stick, slot); !read) {
            floppy.result = read.error();
        } else if (Result written = CreateFileBytes(floppy.image, *read); !written.ok()) {
            floppy.result = written;
            floppy.result.reason = Translated(texts::kCannotWrite, {floppy.image, written.reason});
        }
        done.floppies.push_back(std::move(floppy));
    }
    return done;
}

StickConversion ImagesToStick(const std::string& folder, const std::string& stick) {
    StickConversion done;
    const auto entries = ListShelfEntries(folder);
    if (!entries) {
        done.result = Failure(texts::kCannotRead, folder);
        return done;
    }
    Expected<OpenedStick> opened = OpenStick(stick, true);
    if (!opened) {
        done.result = opened.error();
        return done;
    }
    const int slots = opened->reading.slotCount;
    if (slots < 2) {
        done.result = Result::Refused(Translated(texts::kStickTooSmall, {stick}));
        return done;
    }
    // Each number once: the first image of a number in shelf order takes its slot.
    std::map<int, std::string> bySlot;
    for (const ShelfEntry& entry : *entries) {
        const auto indexed = ParseIndexedName(entry.file);
        if (!indexed || !entry.IsImage()) continue;
        ConvertedFloppy floppy{indexed->number, JoinPath(folder, entry.file), {}};
        if (indexed->number >= slots) {
            floppy.result = Result::Refused(Translated(texts::kBeyondLastSlot, {floppy.image, stick, SlotPathOf("", slots - 1).substr(1)}));
        } else if (const auto taken = bySlot.find(indexed->number); taken != bySlot.end()) {
            floppy.result = Result::Refused(Translated(texts::kSlotNumberTaken, {floppy.image, taken->second}));
        } else if (Result image = CheckRestoreImage(floppy.image); !image.ok()) {
            floppy.result = image;
        } else {
            bySlot.emplace(indexed->number, floppy.image);
            continue;
        }
        done.floppies.push_back(std::move(floppy));
    }
    DiskStore& store = *opened->store;
    const bool factory = opened->reading.layout == StickLayout::Slots;
    for (int slot = 0; slot < slots; ++slot) {
        const std::uint64_t offset = slot * kSlotStride;
        const std::string where = SlotPathOf(stick, slot);
        const auto image = bySlot.find(slot);
        errno = 0;
        if (image == bySlot.end()) {
            // A stick of another layout loses it: no boot sector of the old
            // file system may be taken for a floppy, nor the stick for a file stick.
            if (!factory && !store.Write(offset, std::string(kImageSectorBytes, '\0'))) {
                done.result = Failure(texts::kCannotWrite, where);
                return done;
            }
            continue;
        }
        ConvertedFloppy floppy{slot, image->second, {}};
        const std::optional<std::string> bytes = ReadFileBytes(image->second, kImageBytes + 1);
        const std::string_view floppyBytes = bytes ? std::string_view(*bytes).substr(0, kImageBytes) : std::string_view();
        if (!bytes) {
            floppy.result = Failure(texts::kCannotRead, image->second);
        } else {
            floppy.result = WriteSlot(store, stick, slot, floppyBytes, true);
        }
        done.floppies.push_back(std::move(floppy));
    }
    if (errno = 0; !factory && !store.Flush()) done.result = Failure(texts::kCannotWrite, stick);
    std::sort(done.floppies.begin(), done.floppies.end(), [](const ConvertedFloppy& a, const ConvertedFloppy& b) { return a.slot < b.slot; });
    return done;
}

}  // namespace tunecrate
