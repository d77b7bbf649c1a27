// SPDX-License-Identifier: MIT
#include "core/songs/ShelfImages.h"

#include <algorithm>
#include <cerrno>
#include <map>
#include <set>

#include "core/Texts.h"
#include "core/disk/DiskStore.h"
#include "core/disk/FatImage.h"
#include "core/disk/FileOps.h"
#include "core/disk/FolderTree.h"
#include "core/disk/StickSlots.h"
#include "core/disk/Trash.h"

namespace tunecrate {

namespace {

// The highest number a folder's image takes on its way through a swap:
// out of the emulator's sight, where a crash half-way leaves it findable.
constexpr int kHighestPassingNumber = 9999;

// The reason of a failure, the system's where it gave none.
std::string Why(const Result& result) {
    return result.reason.empty() ? Result::FromErrno(result.error != 0 ? result.error : EIO).reason : result.reason;
}

Result Told(Result result, std::string reason) {
    result.reason = std::move(reason);
    return result;
}

// One shelf opened for a gesture: its numbers in use, and how an image is
// read, written, moved and taken away there.
class Place {
public:
    // `write`: a shelf only copied from is opened for reading, so a read-only stick or dump will do.
    static Expected<Place> Open(const std::string& shelf, bool write = true) {
        Place place;
        place.m_shelf = shelf;
        if (!IsFolder(shelf) && MayBeStick(shelf)) {
            Expected<OpenedStick> opened = OpenStick(shelf, write);
            if (!opened) return opened.error();
            // A blank stick takes new floppies (from slot 0), as a stick the factory tool just made.
            const bool blank = write && opened->reading.layout == StickLayout::Blank;
            if ((opened->reading.layout != StickLayout::Slots && !blank) || opened->reading.slotCount < 2) {
                return Result::Refused(NotSlotStickMessage(shelf, opened->reading));
            }
            for (int slot = 0; slot < opened->reading.slotCount; ++slot) {
                if (!opened->hold->SlotUnused(slot)) place.m_taken[slot] = SlotPathOf("", slot);
            }
            place.m_stick.emplace(std::move(*opened));
            return place;
        }
        errno = 0;
        auto entries = ListShelfEntries(shelf);
        if (!entries) {
            const int error = errno != 0 ? errno : EIO;
            return Result::FromErrno(error, Translated(texts::kCannotRead, {shelf, Result::FromErrno(error).reason}));
        }
        place.m_entries = std::move(*entries);
        std::vector<std::string> names;
        for (const ShelfEntry& entry : place.m_entries) {
            names.push_back(entry.file);
            if (const auto number = ShelfEntryNumber(entry.file)) place.m_taken.emplace(*number, entry.file);
        }
        // New names take the prefix most of the shelf uses.
        const NewImageNames next = NextImageNames(names, 1);
        const auto parsed = next.names.empty() ? std::nullopt : ParseIndexedName(next.names.front());
        place.m_prefix = parsed ? parsed->prefix : "DSKA";
        return place;
    }

    bool stick() const { return m_stick.has_value(); }
    int Highest() const { return stick() ? m_stick->reading.slotCount - 1 : kHighestImageNumber; }
    const std::map<int, std::string>& taken() const { return m_taken; }

    // The images by number: a stick's used slots, a folder's indexed image files.
    std::vector<std::pair<int, std::string>> Images() const {
        std::vector<std::pair<int, std::string>> images;
        if (stick()) {
            for (const auto& [number, file] : m_taken) images.emplace_back(number, file);
            return images;
        }
        for (const ShelfEntry& entry : m_entries) {
            if (const auto indexed = ParseIndexedName(entry.file); indexed && entry.IsImage()) images.emplace_back(indexed->number, entry.file);
        }
        std::stable_sort(images.begin(), images.end(), [](const auto& x, const auto& y) { return x.first < y.first; });
        return images;
    }

    // Names an image of this shelf in a message.
    std::string Named(const std::string& file) const { return stick() ? SlotPathOf(m_shelf, Number(file).value_or(0)) : file; }

    std::optional<int> Number(const std::string& file) const { return ShelfEntryNumber(file); }

    // Why `number` cannot take an image; Ok when it is free.
    Result Free(int number, int highest) const {
        if (number < 0 || number > highest) {
            return Result::Refused(Translated(texts::kNumberOutOfRange, {std::to_string(Highest())}));
        }
        if (const auto in = m_taken.find(number); in != m_taken.end()) {
            return Result::FromErrno(EEXIST, Translated(texts::kNumberTaken, {std::to_string(number), Named(in->second)}));
        }
        return {};
    }

    // A free number, as `numbers` says; nullopt when every one is taken.
    std::optional<int> FreeNumber(NewNumbers numbers) const {
        std::set<int> taken;
        for (const auto& [number, file] : m_taken) taken.insert(number);
        const std::vector<int> free = FreeNumbersInOrder(taken, Highest(), numbers, 1);
        return free.empty() ? std::nullopt : std::optional(free.front());
    }

    // The number a passing image takes: the highest free one.
    std::optional<int> PassingNumber() const {
        for (int n = stick() ? Highest() : kHighestPassingNumber; n >= 0; --n) {
            if (!m_taken.contains(n)) return n;
        }
        return std::nullopt;
    }

    // The image's label, kept where it goes ("" on a stick).
    std::string Label(const std::string& file) const {
        const auto indexed = stick() ? std::nullopt : ParseIndexedName(file);
        return indexed ? indexed->label : std::string();
    }

    Expected<std::string> Read(const std::string& file) {
        if (stick()) {
            const int slot = Number(file).value_or(-1);
            if (!m_taken.contains(slot)) return Result::Refused(Translated(texts::kSlotIsUnused, {Named(file)}));
            return ReadSlot(*m_stick->store, m_shelf, slot);
        }
        if (Result image = ImageEntry(file); !image.ok()) return image;
        const std::string path = JoinPath(m_shelf, file);
        DiskAccess access;
        access.nonBlocking = true;
        Expected<OpenDisk> opened = OpenDiskAt(path, access);
        if (!opened) return opened.error();
        if (opened->bytes != kImageBytes) {
            return Result::Refused(Translated(texts::kShelfImageSize, {file, std::to_string(opened->bytes), std::to_string(kImageBytes)}));
        }
        // Never half-way through another window's write of it.
        std::string bytes(kImageBytes, '\0');
        errno = 0;
        if (!LockWaiting(opened->store->fd(), false) || !opened->store->Read(0, bytes.data(), bytes.size())) {
            const int error = errno != 0 ? errno : EIO;
            return Result::FromErrno(error, Translated(texts::kCannotRead, {path, Result::FromErrno(error).reason}));
        }
        return bytes;
    }

    // A new image at `number`, never over one; the name it took.
    Expected<std::string> Put(int number, const std::string& label, std::string_view bytes) {
        if (Result free = Free(number, Highest()); !free.ok()) return free;
        if (stick()) {
            DiskStore& store = *m_stick->store;
            std::string boot(kImageSectorBytes, '\0');
            const std::uint64_t offset = static_cast<std::uint64_t>(number) * kSlotStride;
            errno = 0;
            // Looked at under the slot's lock: another program may have just written it.
            if (!LockSlotRange(store.fd(), offset, true, true) || !store.Read(offset, boot.data(), boot.size())) {
                const int error = errno != 0 ? errno : EIO;
                return Result::FromErrno(error, Translated(texts::kCannotWrite, {SlotPathOf(m_shelf, number), Result::FromErrno(error).reason}));
            }
            if (!UnusedSector(boot)) return Result::FromErrno(EEXIST, Translated(texts::kNumberTaken, {std::to_string(number), SlotPathOf(m_shelf, number)}));
            if (Result written = WriteSlot(store, m_shelf, number, bytes, true); !written.ok()) return written;
            m_stick->hold->NoteFloppyMade();
            m_stick->reading.layout = StickLayout::Slots;
            return Took(number, SlotPathOf("", number));
        }
        const std::string name = IndexedFileName({m_prefix, number, label, ".IMG"});
        const std::string path = JoinPath(m_shelf, name);
        if (Result made = CreateFileBytes(path, bytes); !made.ok()) return Told(made, Translated(texts::kCannotWrite, {path, Why(made)}));
        return Took(number, name);
    }

    // The image at `number` instead, its label kept; the name it took.
    Expected<std::string> Move(const std::string& file, int number, int highest) {
        if (Result free = Free(number, highest); !free.ok()) return free;
        const int from = Number(file).value_or(-1);
        if (stick()) {
            Expected<std::string> bytes = Read(file);
            if (!bytes) return bytes.error();
            Expected<std::string> put = Put(number, "", *bytes);
            if (!put) return put.error();
            // Only once the copy is whole and read back: a crash meanwhile leaves two.
            if (Result blanked = BlankSlot(*m_stick->store, m_shelf, from); !blanked.ok()) return blanked;
            m_taken.erase(from);
            return put;
        }
        if (Result image = ImageEntry(file); !image.ok()) return image;
        const auto indexed = ParseIndexedName(file);
        if (!indexed) return Result::Refused(Translated(texts::kOnlyNumberedImages));
        IndexedName moved = *indexed;
        moved.number = number;
        return Rename(file, moved);
    }

    // The image `file` with a new label, its number kept; the name it took.
    Expected<std::string> Relabel(const std::string& file, const std::string& label) {
        if (stick()) return file;   // a slot has no name to carry a label
        if (Result image = ImageEntry(file); !image.ok()) return image;
        auto indexed = ParseIndexedName(file);
        if (!indexed) return Result::Refused(Translated(texts::kOnlyNumberedImages));
        indexed->label = label.empty() ? "" : " " + label;
        if (IndexedFileName(*indexed) == file) return file;
        return Rename(file, *indexed);
    }

    // The image `file` holds `bytes` instead, whole or not at all.
    Expected<std::string> Rewrite(const std::string& file, std::string_view bytes) {
        if (stick()) {
            const int slot = Number(file).value_or(-1);
            if (!m_taken.contains(slot)) return Result::Refused(Translated(texts::kSlotIsUnused, {Named(file)}));
            if (Result written = WriteSlot(*m_stick->store, m_shelf, slot, bytes, true); !written.ok()) return written;
            return file;
        }
        if (Result image = ImageEntry(file); !image.ok()) return image;
        const std::string path = JoinPath(m_shelf, file);
        const FileLock lock(path);
        Result written = lock.result();
        if (written.ok()) written = WriteFileBytes(path, bytes);
        if (!written.ok()) return Told(written, Translated(texts::kCannotWrite, {path, Why(written)}));
        return file;
    }

    // Takes an image off the shelf; where it went (the trash), or "" for a slot.
    Expected<std::string> Remove(const std::string& file) {
        if (stick()) {
            const int slot = Number(file).value_or(-1);
            if (!m_taken.contains(slot)) return Result::Refused(Translated(texts::kSlotIsUnused, {Named(file)}));
            if (Result blanked = BlankSlot(*m_stick->store, m_shelf, slot); !blanked.ok()) return blanked;
            m_taken.erase(slot);
            return std::string();
        }
        if (Result image = ImageEntry(file); !image.ok()) return image;
        const std::string path = JoinPath(m_shelf, file);
        const FileLock lock(path);
        if (!lock.result().ok()) return Told(lock.result(), Translated(texts::kCannotTrash, {path, Why(lock.result())}));
        Expected<std::string> trashed = MoveToTrash(path);
        if (!trashed) return Told(trashed.error(), Translated(texts::kCannotTrash, {path, Why(trashed.error())}));
        Forget(file);
        return trashed;
    }

private:
    Place() = default;

    // A folder's image under the name `to` gives, never over another; the name it took.
    Expected<std::string> Rename(const std::string& file, const IndexedName& to) {
        const std::string name = IndexedFileName(to);
        const std::string path = JoinPath(m_shelf, file);
        // The lock keeps the rename away from a write another window or a script is making.
        const FileLock lock(path);
        Result renamed = lock.result();
        if (renamed.ok()) renamed = RenameNoReplace(path, JoinPath(m_shelf, name));
        if (!renamed.ok()) return Told(renamed, Translated(texts::kCannotRenameTo, {file, name, Why(renamed)}));
        // Renamed, whatever the flush says: the numbers in use are as they are now.
        Forget(file);
        Took(to.number, name);
        if (Result synced = SyncFolder(m_shelf); !synced.ok()) return Told(synced, Translated(texts::kCannotRenameTo, {file, name, Why(synced)}));
        return name;
    }

    // Ok for a plain image file of the folder; why not for anything else.
    Result ImageEntry(const std::string& file) const {
        const auto entry = std::find_if(m_entries.begin(), m_entries.end(), [&](const ShelfEntry& e) { return e.file == file; });
        if (entry == m_entries.end()) return Result::FromErrno(ENOENT, Translated(texts::kCannotRead, {file, Result::FromErrno(ENOENT).reason}));
        if (!entry->IsImage()) return Result::Refused(entry->oddity);
        return {};
    }

    std::string Took(int number, std::string name) {
        m_taken[number] = name;
        if (!stick()) m_entries.push_back({name, {}});
        return name;
    }

    void Forget(const std::string& file) {
        const auto number = Number(file);
        if (const auto in = number ? m_taken.find(*number) : m_taken.end(); in != m_taken.end() && in->second == file) m_taken.erase(in);
        std::erase_if(m_entries, [&](const ShelfEntry& e) { return e.file == file; });
    }

    std::string m_shelf;
    std::optional<OpenedStick> m_stick;
    std::vector<ShelfEntry> m_entries;    // a folder's
    std::map<int, std::string> m_taken;   // each number in use, and the first entry that uses it
    std::string m_prefix;
};

ImageOutcome Outcome(const std::string& file, Expected<std::string> done) {
    return done ? ImageOutcome{file, *done, {}} : ImageOutcome{file, {}, done.error()};
}

}  // namespace

bool ImagesOutcome::ok() const {
    return result.ok() && std::all_of(images.begin(), images.end(), [](const ImageOutcome& image) { return image.result.ok(); });
}

Result ImagesOutcome::Failure() const {
    if (!result.ok()) return result;
    Result first;
    int failed = 0;
    for (const ImageOutcome& image : images) {
        if (image.result.ok()) continue;
        if (failed++ == 0) first = image.result;
    }
    if (failed > 1) {
        // Appended piece by piece: GCC 12 warns falsely on "\n" + a string here.
        first.reason += '\n';
        first.reason += Translated(texts::kMoreFailed, {std::to_string(failed - 1)});
    }
    return first;
}

ImagesOutcome RemoveShelfImages(const std::string& shelf, const std::vector<std::string>& files) {
    ImagesOutcome done;
    Expected<Place> place = Place::Open(shelf);
    if (!place) return {place.error(), {}};
    for (const std::string& file : files) done.images.push_back(Outcome(file, place->Remove(file)));
    return done;
}

ImageOutcome RenumberShelfImage(const std::string& shelf, const std::string& file, int number) {
    Expected<Place> place = Place::Open(shelf);
    if (!place) return {file, {}, place.error()};
    return Outcome(file, place->Move(file, number, place->Highest()));
}

ImagesOutcome SwapShelfImages(const std::string& shelf, const std::string& first, const std::string& second) {
    ImagesOutcome done;
    Expected<Place> place = Place::Open(shelf);
    if (!place) return {place.error(), {}};
    const auto a = place->Number(first), b = place->Number(second);
    if (!a || !b) return {Result::Refused(Translated(texts::kOnlyNumberedImages)), {}};
    if (*a == *b) return done;
    const auto passing = place->PassingNumber();
    if (!passing) return {Result::Refused(Translated(texts::kNoNumberToPass)), {}};
    const int highest = place->stick() ? place->Highest() : kHighestPassingNumber;
    Expected<std::string> aside = place->Move(first, *passing, highest);
    if (!aside) return {{}, {{first, {}, aside.error()}}};
    Expected<std::string> down = place->Move(second, *a, place->Highest());
    if (!down) {
        // The first goes back where it was: nothing changed.
        Expected<std::string> back = place->Move(*aside, *a, place->Highest());
        return {{}, {{first, back ? *back : *aside, back ? Result{} : back.error()}, {second, {}, down.error()}}};
    }
    done.images.push_back(Outcome(first, place->Move(*aside, *b, place->Highest())));
    done.images.push_back({second, *down, {}});
    return done;
}

ImagesOutcome CloseShelfGaps(const std::string& shelf) {
    ImagesOutcome done;
    Expected<Place> place = Place::Open(shelf);
    if (!place) return {place.error(), {}};
    const std::vector<std::pair<int, std::string>> images = place->Images();
    int next = 0;
    for (const auto& [number, file] : images) {
        // An entry that is no image keeps its number: the next image goes past it.
        while (next < number && place->taken().contains(next)) ++next;
        if (next >= number) {
            next = std::max(next, number + 1);
            continue;
        }
        ImageOutcome moved = Outcome(file, place->Move(file, next, place->Highest()));
        next = moved.result.ok() ? next + 1 : number + 1;
        done.images.push_back(std::move(moved));
    }
    return done;
}

ImageOutcome CopyShelfImage(const std::string& fromShelf, const std::string& file, const std::string& toShelf,
                            std::optional<int> number, NewNumbers numbers) {
    Expected<Place> from = Place::Open(fromShelf, toShelf == fromShelf);
    if (!from) return {file, {}, from.error()};
    Expected<std::string> bytes = from->Read(file);
    if (!bytes) return {file, {}, bytes.error()};
    const std::string label = from->Label(file);
    // The same shelf is opened once: the copy's number must be seen as taken by the next one.
    std::optional<Expected<Place>> other;
    if (toShelf != fromShelf) other.emplace(Place::Open(toShelf));
    if (other && !*other) return {file, {}, other->error()};
    Place& to = other ? **other : *from;
    if (!number) number = to.FreeNumber(numbers);
    if (!number) return {file, {}, Result::FromErrno(ENOSPC, Translated(to.stick() ? texts::kStickFull : texts::kShelfFull, {toShelf}))};
    return Outcome(file, to.Put(*number, label, *bytes));
}

ImageOutcome AddShelfImage(const std::string& shelf, std::string_view floppy, const std::string& label, NewNumbers numbers) {
    Expected<Place> place = Place::Open(shelf);
    if (!place) return {{}, {}, place.error()};
    const std::optional<int> number = place->FreeNumber(numbers);
    if (!number) return {{}, {}, Result::FromErrno(ENOSPC, Translated(place->stick() ? texts::kStickFull : texts::kShelfFull, {shelf}))};
    return Outcome({}, place->Put(*number, label.empty() ? "" : " " + label, floppy));
}

ImageOutcome RelabelShelfImage(const std::string& shelf, const std::string& file, const std::string& label) {
    Expected<Place> place = Place::Open(shelf);
    if (!place) return {file, {}, place.error()};
    return Outcome(file, place->Relabel(file, label));
}

ImageOutcome RewriteShelfImage(const std::string& shelf, const std::string& file, std::string_view floppy) {
    Expected<Place> place = Place::Open(shelf);
    if (!place) return {file, {}, place.error()};
    return Outcome(file, place->Rewrite(file, floppy));
}

}  // namespace tunecrate
