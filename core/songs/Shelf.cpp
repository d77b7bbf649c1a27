// SPDX-License-Identifier: MIT
#include "core/songs/Shelf.h"

#include <stdio.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <cerrno>
#include <map>
#include <set>

#include "core/disk/BlockDevice.h"
#include "core/disk/DiskStore.h"
#include "core/disk/FileOps.h"
#include "core/disk/FolderListing.h"
#include "core/disk/FolderTree.h"
#include "core/disk/ImageVolume.h"
#include "core/disk/StickSlots.h"
#include "core/songs/FloppyCatalogue.h"
#include "core/songs/SongFloppyImage.h"
#include "core/text/Encoding.h"
#include "core/text/SearchText.h"
#include "core/Texts.h"
#include "core/text/TypedText.h"

namespace tunecrate {

namespace {

constexpr int kHighestNumber = kHighestImageNumber;
constexpr std::size_t kLongestLabel = 40;
constexpr std::string_view kNewPrefix = "DSKA", kNewExtension = ".IMG";

bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Case-insensitive byte order, the emulator's; bytes for a tie, so that the
// order never depends on the listing.
bool NoCaseLess(std::string_view a, std::string_view b) {
    const auto folded = std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return static_cast<unsigned char>(Lower(x)) < static_cast<unsigned char>(Lower(y));
    });
    if (folded || EqualsNoCase(a, b) == false) return folded;
    return a < b;
}

// The characters of UTF-8 text; nullopt when it is not UTF-8 (overlong
// forms, surrogates and values past U+10FFFF included).
std::optional<std::vector<char32_t>> DecodeUtf8(std::string_view text) {
    std::vector<char32_t> characters;
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = lead < 0x80 ? 1 : (lead & 0xE0) == 0xC0 ? 2 : (lead & 0xF0) == 0xE0 ? 3 : (lead & 0xF8) == 0xF0 ? 4 : 0;
        if (length == 0 || i + length > text.size()) return std::nullopt;
        char32_t c = length == 1 ? lead : lead & (0x7F >> length);
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) return std::nullopt;
            c = (c << 6) | (next & 0x3F);
        }
        static constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (c < kSmallest[length] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return std::nullopt;
        characters.push_back(c);
        i += length;
    }
    return characters;
}

std::string FourDigits(int number) {
    char digits[8];
    std::snprintf(digits, sizeof digits, "%04d", number);
    return digits;
}

// The volume's reason with the image's path given as its file name, on one
// line (a list's cell) with the system's reason kept.
Result Shortened(Result result, const std::string& path, const std::string& file) {
    std::string& reason = result.reason;
    // On from after each replacement: the name may hold the path ("stick.bin@012" for "stick.bin@012").
    for (std::size_t at = 0; !path.empty() && (at = reason.find(path, at)) != std::string::npos; at += file.size()) {
        reason.replace(at, path.size(), file);
    }
    reason = OneLine(reason);
    return result;
}

// The first line of a reason: what is wrong, without what to do about it.
Result FirstLine(Result result) {
    result.reason = result.reason.substr(0, result.reason.find('\n'));
    return result;
}

// Why an entry is no image to read or write; empty for a plain file. A link
// is never one, wherever it leads: a write through it would land elsewhere.
std::string Oddity(const FolderEntry& entry) {
    using Kind = FolderEntry::Kind;
    switch (entry.kind) {
        case Kind::File: return {};
        case Kind::Folder: return Translated(texts::kShelfFolder, {entry.name});
        case Kind::Fifo: return Translated(texts::kShelfFifo, {entry.name});
        case Kind::Device: return Translated(texts::kShelfDevice, {entry.name});
        case Kind::Other: return Translated(texts::kShelfNotAFile, {entry.name});
        case Kind::Link: break;
    }
    if (!entry.leadsTo) return Translated(texts::kShelfLinkNowhere, {entry.name});
    if (*entry.leadsTo == Kind::Device) return Translated(texts::kShelfLinkToDevice, {entry.name});
    if (*entry.leadsTo == Kind::File && !entry.leadsInside) return Translated(texts::kShelfLinkOutside, {entry.name});
    return Translated(texts::kShelfLink, {entry.name});
}

}  // namespace

bool IsShelfImageName(std::string_view fileName) {
    if (fileName.size() < 5) return false;
    const std::string_view extension = fileName.substr(fileName.size() - 4);
    return EqualsNoCase(extension, ".img") || EqualsNoCase(extension, ".ima");
}

std::string IndexedFileName(const IndexedName& name) { return name.prefix + FourDigits(name.number) + name.label + name.extension; }

std::optional<IndexedName> ParseIndexedName(std::string_view fileName) {
    if (!IsShelfImageName(fileName)) return std::nullopt;
    std::size_t letters = 0;
    while (letters < fileName.size() && IsAsciiLetter(fileName[letters])) ++letters;
    if (letters == 0 || fileName.size() < letters + 4 + 4) return std::nullopt;
    for (std::size_t i = letters; i < letters + 4; ++i) {
        if (!IsDigit(fileName[i])) return std::nullopt;
    }
    const std::size_t rest = letters + 4, extension = fileName.size() - 4;
    if (rest < extension && IsDigit(fileName[rest])) return std::nullopt;   // five digits: another naming
    IndexedName name;
    name.prefix = std::string(fileName.substr(0, letters));
    name.number = std::stoi(std::string(fileName.substr(letters, 4)));
    name.label = std::string(fileName.substr(rest, extension - rest));
    name.extension = std::string(fileName.substr(extension));
    return name;
}

std::optional<std::vector<ShelfEntry>> ListShelfEntries(const std::string& folder) {
    auto listed = ListFolderEntries(folder);
    if (!listed) return std::nullopt;
    // Each name parsed once, not once per comparison: a stick holds up to 1,000 images.
    std::vector<std::pair<int, ShelfEntry>> keyed;   // (number, or past the last for other names; entry)
    for (FolderEntry& entry : *listed) {
        if (!IsShelfImageName(entry.name)) continue;
        const auto indexed = ParseIndexedName(entry.name);
        std::string oddity = Oddity(entry);
        keyed.emplace_back(indexed ? indexed->number : 1 << 20, ShelfEntry{std::move(entry.name), std::move(oddity)});
    }
    std::sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) {
        return a.first != b.first ? a.first < b.first : NoCaseLess(a.second.file, b.second.file);
    });
    std::vector<ShelfEntry> entries;
    entries.reserve(keyed.size());
    for (auto& [number, entry] : keyed) entries.push_back(std::move(entry));
    return entries;
}

std::optional<std::vector<std::string>> ListShelfImages(const std::string& folder) {
    auto entries = ListShelfEntries(folder);
    if (!entries) return std::nullopt;
    std::vector<std::string> names;
    names.reserve(entries->size());
    for (ShelfEntry& entry : *entries) names.push_back(std::move(entry.file));
    return names;
}

std::optional<std::string> FindShelfFolder(const std::vector<MountEntry>& mounts) {
    for (const MountEntry& mount : mounts) {
        if (!mount.removable) continue;
        const auto entries = ListShelfEntries(mount.mountPoint);
        if (entries && std::any_of(entries->begin(), entries->end(), [](const ShelfEntry& e) { return e.IsImage(); }))
            return mount.mountPoint;
    }
    return std::nullopt;
}

std::optional<int> ShelfEntryNumber(const std::string& file) {
    if (!file.empty() && file.front() == '@') return SlotNumberOf(std::string_view(file).substr(1));   // a stick's slot, "@007"
    if (auto indexed = ParseIndexedName(file)) return indexed->number;
    return std::nullopt;
}

ShelfRow UnreadShelfRow(const ShelfEntry& entry) {
    ShelfRow row;
    row.file = entry.file;
    row.number = ShelfEntryNumber(entry.file);
    if (!entry.IsImage()) row.condition = Result::Refused(entry.oddity);
    return row;
}

std::pair<std::string, std::string> ShelfOfImage(const std::string& path) {
    if (const auto slot = SlotOfPath(path)) return {slot->stick, SlotPathOf("", slot->slot)};
    const std::filesystem::path image(path);
    const std::string folder = image.parent_path().string();
    return {folder.empty() ? std::string(".") : folder, image.filename().string()};
}

std::string ShelfEntryPath(const std::string& folder, const std::string& file) {
    return !file.empty() && file.front() == '@' ? folder + file : JoinPath(folder, file);
}


namespace {

// ReadShelfImage, with the hold of the stick when `file` is a slot of one held.
// `shared`: the caller holds the slot's share already.
ShelfRow ReadImageRow(const std::string& folder, const std::string& file, DamageLook damage,
                      const std::shared_ptr<const StickHold>& hold, bool shared = false) {
    const bool slot = !file.empty() && file.front() == '@';
    const std::optional<int> number = ShelfEntryNumber(file);
    const auto emptySlot = [&] {
        ShelfRow row;
        row.file = file;
        row.number = number;
        row.emptySlot = true;
        row.condition = Result::Refused(Translated(texts::kSlotEmpty));
        return row;
    };
    const StickReading reading = hold ? hold->reading() : StickReading{};
    const bool slotOfHold = hold && number && *number >= 0 && reading.layout == StickLayout::Slots && *number < reading.slotCount;
    // Most slots of a stick are unused: one sector tells, where opening the
    // slot as a floppy takes several calls. It is read under the slot's lock
    // (a shelf's window holds it already) and is not read again.
    std::unique_ptr<ImageStore> reader;
    char boot[kImageSectorBytes];
    std::string_view bootRead;
    if (slotOfHold) {
        if (!shared) reader = hold->SlotReader(*number);
        if ((shared || reader) && hold->ReadSlotStart(*number, boot)) {
            bootRead = std::string_view(boot, sizeof boot);
            if (UnusedSector(bootRead)) return emptySlot();
        }
        if (shared) reader = hold->SlotReader(*number);
    } else if (hold && hold->SlotUnused(number.value_or(0))) {
        return emptySlot();
    }
    const std::string path = ShelfEntryPath(folder, file);
    // A slot is told by its stick's name and number: "sdb@007".
    const std::string named = slot ? folder.substr(folder.rfind('/') + 1) + file : file;
    // A slot of a stick held is read through the hold: a thousand slots, no path looked up or opened for each.
    std::optional<ImageVolume> opened;
    if (slotOfHold) {
        opened.emplace(hold, *number, path, std::move(reader), bootRead);
    } else {
        opened.emplace(path, ImageStoreWrapper{}, ImageAccess::ReadOnly);
    }
    ImageVolume& volume = *opened;
    if (!volume.Opened().ok()) {
        ShelfRow row;
        row.file = file;
        row.number = ShelfEntryNumber(file);
        row.emptySlot = volume.Blank() && slot;
        row.condition = row.emptySlot ? Result::Refused(Translated(texts::kSlotEmpty)) : Shortened(volume.Opened(), path, named);
        return row;
    }
    ShelfRow row = ReadShelfFloppy(volume, file, named, damage);
    row.condition = Shortened(row.condition, path, named);
    // Readable here, but a floppy emulator takes only the exact size.
    if (const std::uint64_t size = volume.FileBytes(); row.condition.ok() && size != kImageBytes) {
        row.condition = Result::Refused(Translated(texts::kShelfImageSize, {named, std::to_string(size), std::to_string(kImageBytes)}));
    }
    return row;
}

}  // namespace

ShelfRow ReadShelfImage(const std::string& folder, const std::string& file, DamageLook damage) {
    const bool slot = !file.empty() && file.front() == '@';
    return ReadImageRow(folder, file, damage, slot ? StickHold::Held(folder) : nullptr);
}

ShelfRow ReadShelfFloppy(FloppyVolume& volume, const std::string& file, const std::string& shownAs, DamageLook damage) {
    const std::string& named = shownAs.empty() ? file : shownAs;
    ShelfRow row;
    row.file = file;
    row.number = ShelfEntryNumber(file);
    Expected<CatalogueReading> reading = ReadCatalogue(&volume, CatalogueRepair::Never, CatalogueDetail::Listing);
    // A drive's disk is an image too; a folder's file system is the system's to check.
    if (const auto* image = dynamic_cast<const ImageVolume*>(&volume); image && (damage == DamageLook::Always || !reading)) {
        row.damage = image->Damage();
    }
    if (!row.damage.empty()) {
        row.condition = FirstLine(Result::Refused(Translated(texts::kImageDamaged, {named, row.damage.front()})));
    }
    if (!reading) {
        // A reading that writes nothing fails only on a floppy that cannot be
        // opened, or one that holds no catalogue: no song floppy.
        if (row.condition.ok()) {
            row.condition = !volume.Opened().ok() ? FirstLine(volume.Opened())
                                                  : Result::Refused(Translated(texts::kNotSongFloppy, {named}));
        }
        return row;
    }
    row.catalogueRead = true;
    for (std::size_t slot = 0; slot < kSlotCount && slot < reading->rows.size(); ++slot) {
        row.titles[slot] = std::move(reading->rows[slot].title);
        row.comments[slot] = std::move(reading->rows[slot].comment);
        row.holdsSong[slot] = reading->rows[slot].state != SlotState::EmptySlot;
        if (row.holdsSong[slot]) {
            ++row.songs;
            row.songBytes[slot] = reading->rows[slot].songBytes;
        }
    }
    row.freeBytes = reading->FreeBytes;
    return row;
}

ShelfRow ReadShelfEntry(const std::string& folder, const ShelfEntry& entry, DamageLook damage) {
    return entry.IsImage() ? ReadShelfImage(folder, entry.file, damage) : UnreadShelfRow(entry);
}

ShelfReader::ShelfReader(std::string folder, DamageLook damage)
    : m_folder(std::move(folder)), m_damage(damage), m_hold(StickHold::Held(m_folder)) {
    if (m_hold && m_hold->reading().layout != StickLayout::Slots) m_hold = nullptr;
}

ShelfRow ShelfReader::Read(const ShelfEntry& entry) {
    constexpr int kSlotsAhead = 32;
    const std::optional<int> slot = m_hold && entry.IsImage() && entry.file.starts_with('@') ? ShelfEntryNumber(entry.file) : std::nullopt;
    if (slot && !(m_ahead && m_ahead->Covers(*slot))) {
        m_ahead.reset();
        // Refused while a writer holds one of them: each slot is then locked alone.
        if (auto ahead = m_hold->ShareSlots(*slot, kSlotsAhead)) m_ahead.emplace(std::move(*ahead));
    }
    // The hold taken when the reading began: not looked up again for each of a thousand slots.
    return slot ? ReadImageRow(m_folder, entry.file, m_damage, m_hold, m_ahead && m_ahead->Covers(*slot))
                : ReadShelfEntry(m_folder, entry, m_damage);
}

FloppiesAtPath FloppiesAt(const std::string& path) {
    FloppiesAtPath found;
    const bool device = IsBlockDevice(path);
    if (MayBeStick(path)) {
        Expected<std::shared_ptr<const StickHold>> hold = StickHold::Take(path);
        if (hold && (*hold)->reading().layout == StickLayout::Slots && (*hold)->reading().slotCount > 1) {
            found.folder = path;
            found.stick = true;
            const int slots = (*hold)->reading().slotCount;
            found.images.reserve(static_cast<std::size_t>(slots));
            for (int slot = 0; slot < slots; ++slot) found.images.push_back({SlotPathOf("", slot), {}});
            found.hold = std::move(*hold);
            return found;
        }
        if (hold && (*hold)->bytes() >= 2 * kSlotStride) {
            found.folder = path;
            found.refusal = NotSlotStickMessage(path, (*hold)->reading());
            return found;
        }
        if (!hold && hold.error().error == EPERM) {   // a device that is perhaps no stick
            found.folder = path;
            found.refusal = hold.error().reason;
            return found;
        }
    }
    if (device) {   // a drive's disk, read as the window reads it
        found.folder = path;
        found.floppyFolder = true;
        return found;
    }
    if (!IsFolder(path)) {
        const auto slash = path.find_last_of('/');
        found.folder = slash == std::string::npos ? "." : path.substr(0, std::max<std::size_t>(slash, 1));
        found.images = {ShelfEntry{slash == std::string::npos ? path : path.substr(slash + 1), {}}};
        return found;
    }
    found.folder = path;
    auto volume = OpenFloppyVolume(path);
    bool floppy = volume->Exists(kTitlesFile);
    for (int slot = 0; slot < kSlotCount && !floppy; ++slot) floppy = volume->Exists(SlotName(slot) + std::string(kSongExtension));
    if (floppy) {
        found.floppyFolder = true;
    } else if (auto entries = ListShelfEntries(path)) {
        found.images = std::move(*entries);
    }
    return found;
}

FloppyRows ReadFloppiesAt(const std::string& path, DamageLook damage) {
    FloppyRows read;
    auto& rows = read.rows;
    const FloppiesAtPath found = FloppiesAt(path);
    read.refusal = found.refusal;
    if (found.floppyFolder) {
        auto volume = OpenFloppyVolume(found.folder);
        rows.emplace_back(found.folder, ReadShelfFloppy(*volume, found.folder, {}, damage));
    }
    ShelfReader reader(found.folder, damage);
    for (const ShelfEntry& entry : found.images) {
        ShelfRow row = reader.Read(entry);
        if (!row.emptySlot) rows.emplace_back(ShelfEntryPath(found.folder, entry.file), std::move(row));
    }
    return read;
}

std::vector<int> FreeNumbersInOrder(const std::set<int>& taken, int highest, NewNumbers numbers, std::size_t count) {
    std::vector<int> free;
    const int after = numbers == NewNumbers::GapsFirst || taken.empty() ? 0 : *taken.rbegin() + 1;
    for (int n = after; n <= highest && free.size() < count; ++n) {
        if (!taken.contains(n)) free.push_back(n);
    }
    for (int n = 0; n < std::min(after, highest + 1) && free.size() < count; ++n) {
        if (!taken.contains(n)) free.push_back(n);
    }
    return free;
}

NewImageNames NextImageNames(const std::vector<std::string>& existing, int count, NewNumbers order) {
    NewImageNames made;
    if (count < 1 || count > kHighestNumber + 1) {
        made.result = Result::Refused(Translated(texts::kImageCount, {std::to_string(kHighestNumber + 1)}));
        return made;
    }
    std::set<int> taken;
    std::map<std::string, int> prefixes;   // how many names use each prefix, in any case
    std::string prefix(kNewPrefix);
    int uses = 0;
    for (const std::string& name : existing) {
        const auto indexed = ParseIndexedName(name);
        if (!indexed) continue;
        taken.insert(indexed->number);
        std::string key = indexed->prefix;
        for (char& c : key) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        if (const int n = ++prefixes[key]; n > uses) uses = n, prefix = indexed->prefix;
    }
    std::vector<int> numbers = FreeNumbersInOrder(taken, kHighestNumber, order, static_cast<std::size_t>(count));
    if (static_cast<int>(numbers.size()) < count) {
        made.result = Result::Refused(
            Translated(texts::kTooFewNumbers, {std::to_string(numbers.size()), prefix + FourDigits(kHighestNumber)}));
        return made;
    }
    std::sort(numbers.begin(), numbers.end());
    for (int n : numbers) made.names.push_back(prefix + FourDigits(n) + std::string(kNewExtension));
    return made;
}

NewImageNames MakeShelfImages(const std::string& folder, int count, NewNumbers numbers) {
    // Every entry's number is taken, whatever the entry is: a new image never meets a name in use.
    const auto existing = ListShelfImages(folder);
    if (!existing) return {Result::FromErrno(errno, Translated(texts::kCannotRead, {folder, Result::FromErrno(errno).reason})), {}};
    NewImageNames planned = NextImageNames(*existing, count, numbers), made;
    made.result = planned.result;
    for (const std::string& name : planned.names) {
        const std::string path = JoinPath(folder, name);
        if (Result r = CreateSongFloppyImage(path); !r.ok()) {
            made.result = r;
            made.result.reason = Translated(texts::kCannotWrite, {path, r.reason});
            break;
        }
        made.names.push_back(name);
    }
    return made;
}

std::vector<std::string> FindSlotSticks(const std::vector<MountEntry>& mounts, const std::string& sysBlock,
                                        const std::string& devFolder) {
    std::vector<std::string> sticks;
    for (const std::string& device : FindStickSizedDisks(mounts, sysBlock, devFolder)) {
        const Expected<std::shared_ptr<const StickHold>> hold = StickHold::Take(device);
        if (hold && (*hold)->reading().layout == StickLayout::Slots) sticks.push_back(device);
    }
    return sticks;
}

NewImageNames MakeStickFloppies(const std::string& stick, int count, NewNumbers numbers, std::optional<int> slot) {
    NewImageNames made;
    Expected<OpenedStick> opened = OpenStick(stick, true);
    if (!opened) {
        made.result = opened.error();
        return made;
    }
    const StickReading reading = opened->reading;
    if ((reading.layout != StickLayout::Slots && reading.layout != StickLayout::Blank) || reading.slotCount < 2) {
        made.result = Result::Refused(NotSlotStickMessage(stick, reading));
        return made;
    }
    if (slot && (*slot < 0 || *slot >= reading.slotCount)) {
        made.result = Result::Refused(Translated(texts::kNoSuchSlot, {stick, std::to_string(*slot), SlotPathOf("", reading.slotCount - 1).substr(1)}));
        return made;
    }
    std::set<int> used;
    for (int n = 0; n < reading.slotCount && !slot; ++n) {
        if (!opened->hold->SlotUnused(n)) used.insert(n);
    }
    const std::vector<int> order =
        slot ? std::vector<int>{*slot} : FreeNumbersInOrder(used, reading.slotCount - 1, numbers, static_cast<std::size_t>(reading.slotCount));
    DiskStore& store = *opened->store;
    const std::string image = NewSongFloppyImageBytes();
    std::string boot(kImageSectorBytes, '\0');
    for (int n : order) {
        if (static_cast<int>(made.names.size()) >= count) break;
        const std::uint64_t offset = n * kSlotStride;
        errno = 0;
        // Looked at under the slot's lock: another program may have just written it.
        if (!LockSlotRange(store.fd(), offset, true, true) || !store.Read(offset, boot.data(), boot.size())) {
            made.result = Result::FromErrno(errno, Translated(texts::kCannotWrite, {SlotPathOf(stick, n), Result::FromErrno(errno).reason}));
            return made;
        }
        if (!UnusedSector(boot)) {
            if (!slot) continue;
            made.result = Result::FromErrno(EEXIST, Translated(texts::kImageExists, {SlotPathOf(stick, n)}));   // never replaced
            return made;
        }
        if (Result written = WriteSlot(store, stick, n, image, false); !written.ok()) {
            made.result = written;
            return made;
        }
        opened->hold->NoteFloppyMade();
        made.names.push_back(SlotPathOf("", n));
    }
    if (static_cast<int>(made.names.size()) < count) made.result = Result::FromErrno(ENOSPC, Translated(texts::kStickFull, {stick}));
    return made;
}

LabelledName LabelImageName(std::string_view fileName, std::string_view label) {
    LabelledName labelled;
    const auto refused = [&](std::string reason) {
        labelled.result = Result::Refused(std::move(reason));
        return labelled;
    };
    const auto indexed = ParseIndexedName(fileName);
    if (!indexed) return refused(Translated(texts::kOnlyNumberedImages));
    while (!label.empty() && label.front() == ' ') label.remove_prefix(1);
    while (!label.empty() && label.back() == ' ') label.remove_suffix(1);
    const auto characters = DecodeUtf8(label);
    if (!characters) return refused(Translated(texts::kLabelNotUtf8));
    // C1 controls too: a file manager shows them as nothing, or as boxes.
    const bool control = std::any_of(characters->begin(), characters->end(), [](char32_t c) {
        return c < 0x20 || (c >= 0x7f && c <= 0x9f) || c == '/';
    });
    if (control || label.size() > kLongestLabel) return refused(Translated(texts::kBadLabel, {std::to_string(kLongestLabel)}));
    if (!label.empty() && label.find_first_not_of('.') == std::string_view::npos) return refused(Translated(texts::kLabelDotsOnly));
    // The stick is FAT32: these characters cannot be in a name there, and a
    // name's last dot would be taken away.
    if (label.find_first_of("\\:*?\"<>|") != std::string_view::npos || (!label.empty() && label.back() == '.'))
        return refused(Translated(texts::kLabelNotOnFat32));
    labelled.ascii = std::all_of(label.begin(), label.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    labelled.name = IndexedFileName({indexed->prefix, indexed->number, label.empty() ? "" : " " + std::string(label), indexed->extension});
    return labelled;
}

LabelledName LabelShelfImage(const std::string& folder, const std::string& file, std::string_view label) {
    LabelledName labelled = LabelImageName(file, label);
    if (!labelled.result.ok() || labelled.name == file) return labelled;
    const std::string from = JoinPath(folder, file), to = JoinPath(folder, labelled.name);
    const auto entries = ListFolderEntries(folder);
    if (!entries) {
        labelled.result = Result::FromErrno(errno);
        labelled.result.reason = Translated(texts::kCannotRead, {folder, labelled.result.reason});
        return labelled;
    }
    for (const FolderEntry& entry : *entries) {
        if (entry.name == file && entry.kind != FolderEntry::Kind::File) {
            labelled.result = Result::Refused(Oddity(entry));
            return labelled;
        }
        // Names that differ only in case are one name on the stick, whatever this folder's file system says.
        if (entry.name != file && EqualsNoCase(entry.name, labelled.name)) {
            labelled.result = Result::FromErrno(EEXIST, entry.name == labelled.name
                                                            ? Translated(texts::kImageExists, {labelled.name})
                                                            : Translated(texts::kLabelCaseTaken, {labelled.name, entry.name}));
            return labelled;
        }
    }
    // The lock keeps the rename away from a write that another window or a
    // script is making to the image; no link is followed to take it.
    const FileLock lock(from);
    if (!lock.result().ok()) {
        labelled.result = lock.result();
        labelled.result.reason = Translated(texts::kCannotRenameFile, {from, labelled.result.reason});
    } else if (Result renamed = RenameNoReplace(from, to); !renamed.ok()) {
        labelled.result = renamed;
        labelled.result.reason = Translated(texts::kCannotRenameTo, {from, labelled.name, labelled.result.reason});
    } else if (Result synced = SyncFolder(folder); !synced.ok()) {
        // Renamed, but not known to be on the stick.
        labelled.result = synced;
        labelled.result.reason = Translated(texts::kCannotRenameTo, {from, labelled.name, synced.reason});
    }
    return labelled;
}

ShelfKeys SearchKeysOf(const ShelfRow& row) {
    ShelfKeys keys;
    for (std::size_t slot = 0; slot < kSlotCount; ++slot) {
        keys.titles[slot] = SearchKey(Cp932ToUtf8(row.titles[slot]));
        keys.comments[slot] = SearchKey(Cp932ToUtf8(row.comments[slot]));
    }
    keys.file = SearchKey(row.file);
    return keys;
}

ShelfHit MatchShelfRow(const ShelfKeys& row, std::string_view key) {
    ShelfHit hit;
    for (std::size_t slot = 0; slot < kSlotCount; ++slot) {
        hit.foundSlots[slot] = !key.empty() && (KeyFound(row.titles[slot], key) || KeyFound(row.comments[slot], key));
        hit.found = hit.found || hit.foundSlots[slot];
    }
    hit.found = hit.found || KeyFound(row.file, key);
    return hit;
}

std::vector<ShelfHit> SearchShelf(const std::vector<ShelfKeys>& rows, std::string_view query) {
    const std::string key = SearchKey(query);
    std::vector<ShelfHit> hits;
    hits.reserve(rows.size());
    for (const ShelfKeys& row : rows) hits.push_back(MatchShelfRow(row, key));
    return hits;
}

int MatchCount(const ShelfHit& hit) {
    return hit.found ? std::max<int>(1, static_cast<int>(std::ranges::count(hit.foundSlots, true))) : 0;
}

std::string CsvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string quoted = "\"";
    for (char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + "\"";
}

std::string ShelfCsv(const std::vector<ShelfRow>& rows) {
    std::string csv = "\xEF\xBB\xBF" + Translated(texts::kShelfCsvHeader) + "\r\n";
    for (const ShelfRow& row : rows) {
        // Appended piece by piece: GCC 12 warns falsely on long chains of + here.
        if (row.number) csv += std::to_string(*row.number);
        csv += ',';
        csv += CsvField(row.file);
        for (const std::string& title : row.titles) {
            csv += ',';
            csv += CsvField(Cp932ToUtf8(title));
        }
        csv += ',';
        csv += std::to_string(row.songs);
        csv += ',';
        if (row.usable()) csv += FreeSpaceFigure(row.freeBytes);
        csv += ',';
        csv += CsvField(row.condition.reason);
        csv += "\r\n";
    }
    return csv;
}

std::string ShelfText(const std::vector<ShelfRow>& rows) {
    std::string text;
    for (const ShelfRow& row : rows) {
        text += row.file + "\n";
        if (!row.usable()) text += "    (" + row.condition.reason + ")\n";
        for (std::size_t slot = 0; slot < kSlotCount; ++slot) {
            if (!row.holdsSong[slot] && row.titles[slot].empty()) continue;
            text += "    " + std::to_string(slot + 1) + ". " + Cp932ToUtf8(row.titles[slot]) + "\n";
        }
    }
    return text;
}

}  // namespace tunecrate
