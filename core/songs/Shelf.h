// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/Result.h"
#include "core/disk/FloppyFinder.h"
#include "core/disk/StickSlots.h"
#include "core/text/SongNames.h"

namespace tunecrate {

class FloppyVolume;

// A shelf is a folder of floppy images as a floppy emulator sees it: every
// *.img or *.ima entry of the folder itself (its subfolders and the emulator's
// own files are none of ours). In the emulator's indexed naming a file name
// is a prefix of letters, exactly four digits, then anything
// ("DSKA0003 Wedding.img"); other names are listed in case-insensitive byte
// order, which is why their numbers must be zero-padded.

bool IsShelfImageName(std::string_view fileName);

// The indexed name's parts; nullopt for a name outside that naming.
struct IndexedName {
    std::string prefix;   // "DSKA"
    int number = 0;       // 0..9999 as written, 3 for "0003"
    std::string label;    // what follows the digits, without the extension: " Wedding"
    std::string extension;   // ".img", as spelt
};
std::optional<IndexedName> ParseIndexedName(std::string_view fileName);
// The file name of those parts, the number in four digits.
std::string IndexedFileName(const IndexedName& name);
// The highest number the emulator's indexed naming reaches (0999).
inline constexpr int kHighestImageNumber = 999;

// An entry of a shelf with an image name. Only a plain file is an image;
// anything else (a folder, a FIFO, a device, any symbolic link) keeps its
// number and its place in the list but is never read or written: `oddity`
// says why, and is empty for an image file.
struct ShelfEntry {
    std::string file;
    std::string oddity;
    bool IsImage() const { return oddity.empty(); }
};

// The entries of `folder` with an image name in the emulator's order:
// indexed names by number (then name), then the others in case-insensitive
// byte order; nullopt (errno set) when the folder cannot be read.
std::optional<std::vector<ShelfEntry>> ListShelfEntries(const std::string& folder);

// Their names alone.
std::optional<std::vector<std::string>> ListShelfImages(const std::string& folder);

// Where a shelf opens when no image is shown: the first mounted removable
// volume whose top folder holds an image; nullopt when there is none.
std::optional<std::string> FindShelfFolder(const std::vector<MountEntry>& mounts);

// One image as the shelf shows it. Texts are the catalogue's CP932 bytes.
struct ShelfRow {
    std::string file;                    // the name in the folder
    std::optional<int> number;           // from an indexed name
    std::array<std::string, kSlotCount> titles, comments;
    std::array<bool, kSlotCount> holdsSong{};
    std::array<std::uint64_t, kSlotCount> songBytes{};   // of the .B00 file
    int songs = 0;
    std::int64_t freeBytes = 0;
    Result condition;                    // Ok, or why it cannot be used, or its damage
    // Every problem a check of its file system found, one sentence each.
    std::vector<std::string> damage;
    bool catalogueRead = false;          // the titles and songs are the image's own
    bool emptySlot = false;              // a stick's slot that holds no floppy
    // Read and shown, though perhaps damaged: writes to it will be refused.
    bool usable() const { return condition.ok() || (catalogueRead && !damage.empty()); }
};

// The row of an entry before anything is read: its name and number, and for
// an entry that is no image, why (such a row is final: it is never read).
ShelfRow UnreadShelfRow(const ShelfEntry& entry);

// The number of a shelf entry: a stick's slot ("@007"), or an indexed name's.
std::optional<int> ShelfEntryNumber(const std::string& file);

// An image's path as its shelf and its entry there, ShelfEntryPath's
// reverse: "stick@7" is slot 7 of the stick ("@007"), anything else a file
// of its folder.
std::pair<std::string, std::string> ShelfOfImage(const std::string& path);

// The path of a shelf entry: a file in the folder, or a slot of the stick.
std::string ShelfEntryPath(const std::string& folder, const std::string& file);

// Whether a reading looks for damage (every chain of the image followed).
// The shelf and a check show it; a list of songs shows the same songs either
// way, and looks only where the catalogue cannot be read, to say why.
enum class DamageLook { Always, WhenUnreadable };

// Reads what the shelf shows of one image, never writing to it and never
// waiting for another program that holds it: a truncated, locked or
// oversized image gives a row with its reason, a damaged one a row as far as
// it can be read, with its damage.
ShelfRow ReadShelfImage(const std::string& folder, const std::string& file, DamageLook damage = DamageLook::Always);

// The same for a floppy already open; `file` names it in the row, and
// `shownAs` (where given) in its messages: a slot's row keeps "@012", its
// messages say "stick.bin@012".
ShelfRow ReadShelfFloppy(FloppyVolume& volume, const std::string& file, const std::string& shownAs = {},
                         DamageLook damage = DamageLook::Always);

// What the shelf shows of an entry of `folder`: its image read, or for an
// entry that is no image (never opened), why.
ShelfRow ReadShelfEntry(const std::string& folder, const ShelfEntry& entry, DamageLook damage = DamageLook::Always);

// Reads the entries of one shelf in turn, as ReadShelfEntry does. On a
// factory stick the slots ahead are share-locked a window at a time, in one
// lock call where each slot would make two: a thousand slots are read in a
// few milliseconds, and the calls were a tenth of that. Writers elsewhere
// wait at most while a window is read. Keep it no longer than the reading.
class ShelfReader {
public:
    explicit ShelfReader(std::string folder, DamageLook damage = DamageLook::Always);
    ShelfRow Read(const ShelfEntry& entry);

private:
    std::string m_folder;
    DamageLook m_damage;
    std::shared_ptr<const StickHold> m_hold;
    std::optional<StickHold::SharedSlots> m_ahead;
};

// The floppies a path names: a drive's device or a floppy folder (one that
// holds a catalogue or slot files, whatever else it holds), an image file,
// or each entry of a shelf folder.
struct FloppiesAtPath {
    std::string folder;               // where the images are; the floppy folder or device itself
    std::vector<ShelfEntry> images;   // in shelf order, odd entries too; none for a floppy folder
    bool floppyFolder = false;
    bool stick = false;               // a factory stick (device or dump): `images` are its slots, "@000" on
    std::string refusal;              // why nothing at the path can be read, in plain words
    std::shared_ptr<const void> hold; // a stick stays held while its slots are read
};
FloppiesAtPath FloppiesAt(const std::string& path);

// Each floppy that `path` names, with its path, as the shelf reads it; a
// stick's unused slots are left out. `refusal` says why there are none, where
// the path is something else that the user should be told about.
struct FloppyRows {
    std::vector<std::pair<std::string, ShelfRow>> rows;
    std::string refusal;
};
FloppyRows ReadFloppiesAt(const std::string& path, DamageLook damage = DamageLook::Always);

// What the search looks at in a row: each slot's title and comment in search form.
struct ShelfKeys {
    std::array<std::string, kSlotCount> titles, comments;
    std::string file;
};
ShelfKeys SearchKeysOf(const ShelfRow& row);

// The slots of a row that `query` finds (by title or comment, in search
// form); a query found in the file name alone finds the row with no slot.
struct ShelfHit {
    bool found = false;
    std::array<bool, kSlotCount> foundSlots{};   // not "slots": Qt takes that word
};
// One hit per row; every row is found by an empty query.
std::vector<ShelfHit> SearchShelf(const std::vector<ShelfKeys>& rows, std::string_view query);
// One row, for a query already in search form (SearchKey).
ShelfHit MatchShelfRow(const ShelfKeys& row, std::string_view key);
// What a hit adds to the count of matches: each slot it finds, or one for a
// row found by its file name alone.
int MatchCount(const ShelfHit& hit);

// The shelf as a table for a spreadsheet (CSV, UTF-8 with a byte order mark,
// CRLF) and as plain text for disk labels: one line per image.
std::string ShelfCsv(const std::vector<ShelfRow>& rows);
// A field of such a table, quoted where it holds a comma, a quote or a line end.
std::string CsvField(const std::string& text);
std::string ShelfText(const std::vector<ShelfRow>& rows);

// Where new images take their numbers: after the highest number in use
// (then, past the last, the lowest free ones), or the lowest free numbers,
// gaps between images first.
enum class NewNumbers { AfterHighest, GapsFirst };

// The numbers from 0 to `highest` that `taken` leaves free, in the order new
// images take them as `numbers` says; at most `count` of them.
std::vector<int> FreeNumbersInOrder(const std::set<int>& taken, int highest, NewNumbers numbers, std::size_t count);

// The names of `count` new images in the folder's naming (the prefix most of
// its indexed names use, else "DSKA"; ".IMG"), numbered as `numbers` says;
// never a number in use in any spelling or by any kind of entry, never past
// 0999. Refused (with the reason) when there are not enough numbers.
struct NewImageNames {
    Result result;
    std::vector<std::string> names;
};
NewImageNames NextImageNames(const std::vector<std::string>& existing, int count, NewNumbers numbers = NewNumbers::AfterHighest);

// Makes `count` new, formatted, empty song floppy images in `folder`, with
// numbers NextImageNames gives; stops at the first failure. Each appears under its name
// only when it is whole. The names made come back
// even on failure.
NewImageNames MakeShelfImages(const std::string& folder, int count, NewNumbers numbers = NewNumbers::AfterHighest);

// Makes `count` new song floppies in unused slots of a stick (a device or a
// dump of one), chosen as `numbers` says: names "@NNN" as ShelfEntryPath joins them. A
// blank stick gets its first ones; a stick of any other layout is refused.
// A slot is written all but its boot sector first, then the boot sector,
// each with a flush: cut short, the slot stays unused.
// With `slot`, one floppy in that slot only: refused where it holds anything.
NewImageNames MakeStickFloppies(const std::string& stick, int count, NewNumbers numbers = NewNumbers::AfterHighest,
                                std::optional<int> slot = std::nullopt);


// The unmounted removable disks laid out as factory sticks, as /dev paths:
// the disks' sizes come from `sysBlock`, and only those of a stick's size
// (two slots to 64 GB) are opened, to read their first sectors.
std::vector<std::string> FindSlotSticks(const std::vector<MountEntry>& mounts, const std::string& sysBlock = "/sys/class/block",
                                        const std::string& devFolder = "/dev");

// The image's file name with `label` after its number, keeping the prefix,
// the number and the extension ("DSKA0003.IMG" + "Wedding" ->
// "DSKA0003 Wedding.IMG"); an empty label takes the label away. Blanks around
// the label are dropped. Refused, with the reason, for a name outside the
// indexed naming and for a label that is not UTF-8, holds "/" or a control
// character (C1 included) or more than 40 bytes, is dots alone, or holds what
// a FAT32 stick cannot (\ : * ? " < > |, a dot at its end).
struct LabelledName {
    Result result;
    std::string name;
    bool ascii = true;   // false: the emulator's display will not show it as typed
};
LabelledName LabelImageName(std::string_view fileName, std::string_view label);

// Renames the image file `file` of `folder` to carry `label`; never replaces
// a file, and holds the image's lock while it renames. Refused for an entry
// that is no image file (a link above all), and for a name that equals
// another entry's without regard to case: the stick is FAT32, where names
// that differ only in case are one name.
LabelledName LabelShelfImage(const std::string& folder, const std::string& file, std::string_view label);

}  // namespace tunecrate
