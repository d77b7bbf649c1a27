// SPDX-License-Identifier: MIT
#include "cli/Commands.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <unistd.h>
#include <filesystem>
#include <memory>

#include "core/disk/DrivePresence.h"
#include "core/disk/FileOps.h"
#include "core/disk/FloppyVolume.h"
#include "core/disk/FloppyFinder.h"
#include "core/disk/StickSlots.h"
#include "core/songs/FloppyBackup.h"
#include "core/songs/FloppyCatalogue.h"
#include "core/songs/FloppyDrop.h"
#include "core/songs/FolderDrop.h"
#include "core/songs/HardDiskSongs.h"
#include "core/songs/Ingest.h"
#include "core/songs/Prompter.h"
#include "core/songs/Shelf.h"
#include "core/songs/ShelfDuplicates.h"
#include "core/songs/ShelfImages.h"
#include "core/songs/SongFloppyImage.h"
#include "core/songs/StickConvert.h"
#include "core/text/DragPayload.h"
#include "core/text/Encoding.h"
#include "core/text/SongNames.h"
#include "core/Texts.h"
#include "core/text/TypedText.h"

namespace tunecrate {

namespace {

// A field of a list line: a CSV field, or tab-separated with no tab or line end in it.
// A field put on the line in place: a list of a thousand images is five thousand lines.
void AppendListField(std::string& line, std::string_view text, bool csv) {
    if (csv) {
        line += CsvField(std::string(text));
        return;
    }
    const std::size_t at = line.size();
    line.append(text);
    std::replace_if(line.begin() + static_cast<std::ptrdiff_t>(at), line.end(), [](char c) { return c == '\t' || c == '\n' || c == '\r'; }, ' ');
}

int List(const CommandLine& line, std::ostream& out, std::ostream& err) {
    int status = 0;
    if (line.csv) out << "\xEF\xBB\xBF" << Translated(texts::kListCsvHeader) << "\r\n";
    const char separator = line.csv ? ',' : '\t';
    const std::string_view end = line.csv ? "\r\n" : "\n";
    std::string said;
    for (const std::string& path : line.paths) {
        // A damaged image's songs are listed as far as they can be read; `check` tells the damage.
        const FloppyRows read = ReadFloppiesAt(path, DamageLook::WhenUnreadable);
        if (!read.refusal.empty()) {
            err << "tunecrate: " << read.refusal << "\n";
            status = 1;
        } else if (read.rows.empty()) {
            err << "tunecrate: " << Translated(texts::kHoldsNoImages, {path}) << "\n";
        }
        for (const auto& [where, row] : read.rows) {
            if (!row.usable()) {
                err << "tunecrate: " << row.condition.reason << "\n";
                status = 1;
                continue;
            }
            for (int slot = 0; slot < kSlotCount; ++slot) {
                const auto s = static_cast<std::size_t>(slot);
                if (!row.holdsSong[s]) continue;
                said.clear();
                AppendListField(said, where, line.csv);
                said += separator;
                said += std::to_string(slot + 1);
                said += separator;
                AppendListField(said, Cp932ToUtf8(row.titles[s]), line.csv);
                said += separator;
                said += std::to_string(row.songBytes[s]);
                said += separator;
                AppendListField(said, Cp932ToUtf8(row.comments[s]), line.csv);
                said += end;
                out.write(said.data(), static_cast<std::streamsize>(said.size()));
            }
        }
    }
    return status;
}

int Check(const CommandLine& line, std::ostream& out, std::ostream& err) {
    int status = 0;
    for (const std::string& path : line.paths) {
        const FloppyRows read = ReadFloppiesAt(path);
        if (read.rows.empty()) {
            err << "tunecrate: " << (read.refusal.empty() ? Translated(texts::kHoldsNoImages, {path}) : read.refusal) << "\n";
            status = 1;
        }
        // Every problem of an image on a line of its own, so a script can count them.
        for (const auto& [where, row] : read.rows) {
            for (const std::string& problem : row.damage) out << where << ": " << problem << "\n";
            if (row.damage.empty()) out << where << ": " << (row.condition.ok() ? Translated(texts::kImageOk) : row.condition.reason) << "\n";
            if (!row.condition.ok()) status = 1;
        }
    }
    return status;
}

int New(const CommandLine& line, std::ostream& out, std::ostream& err) {
    const std::string& path = line.paths[0];
    if (IsFolder(path) || MayBeStick(path)) {
        const NewNumbers numbers = line.gaps ? NewNumbers::GapsFirst : NewNumbers::AfterHighest;
        const NewImageNames made = IsFolder(path) ? MakeShelfImages(path, line.count, numbers) : MakeStickFloppies(path, line.count, numbers);
        for (const std::string& name : made.names) out << ShelfEntryPath(path, name) << "\n";
        if (made.result.ok()) return 0;
        err << "tunecrate: " << made.result.reason << "\n";
        return 1;
    }
    if (line.count != 1) {
        err << "tunecrate: " << Translated(texts::kCountNeedsShelf, {path}) << "\n";
        return 1;
    }
    // STICK@N: a floppy in that slot, never a file of that name beside the stick.
    if (const std::optional<SlotPath> slot = SlotOfPath(path)) {
        const NewImageNames made = MakeStickFloppies(slot->stick, 1, NewNumbers::AfterHighest, slot->slot);
        for (const std::string& name : made.names) out << ShelfEntryPath(slot->stick, name) << "\n";
        if (made.result.ok()) return 0;
        err << "tunecrate: " << made.result.reason << "\n";
        return 1;
    }
    const int status = MakeNewFloppy(path, err);
    if (status == 0) out << path << "\n";
    return status;
}

int Export(const CommandLine& line, std::ostream&, std::ostream& err) {
    const std::string& source = line.paths[0];
    const std::string& folder = line.paths[1];
    if (!IsFolder(folder)) {
        err << "tunecrate: " << Translated(texts::kNotAFolder, {folder}) << "\n";
        return 1;
    }
    auto volume = OpenFloppyVolume(source);
    // Reading the floppy never writes to it, even where a catalogue file is missing.
    Expected<CatalogueReading> reading = ReadCatalogue(volume.get(), CatalogueRepair::Never);
    if (!reading) {
        err << "tunecrate: " << reading.error().reason << "\n";
        return 1;
    }
    const SongsOnFloppy songs{volume.get(), SlotsWithSongs(reading->rows)};
    DecliningPrompter prompter(&err);
    DropContext context{volume.get(), reading->rows, prompter, false};
    DropIntoFolder(context, folder, songs);
    // A song left out because its name is taken was not exported either.
    return prompter.problems == 0 && prompter.declined == 0 ? 0 : 1;
}

// Songs go into the target image, or into a shelf's last image and then into
// new numbered images, five at most to an image. Every song that does not
// arrive is named with the reason, and the exit status is then 1.
int Import(const CommandLine& line, std::ostream& out, std::ostream& err) {
    std::error_code error;
    const std::string songsFolder = std::filesystem::absolute(line.paths[0], error).lexically_normal().string();
    const std::string& target = line.paths[1];
    if (!IsFolder(songsFolder)) {
        err << "tunecrate: " << Translated(texts::kNotAFolder, {line.paths[0]}) << "\n";
        return 1;
    }
    int status = 0;
    std::vector<std::string> pending;   // the songs not placed yet, in order
    for (const HardDiskRow& row : ListFolderSongs(songsFolder)) {
        std::string song = HardDiskBaseName(songsFolder, row.title);
        if (CanTravelInPayload(song)) {
            pending.push_back(std::move(song));
        } else {
            err << "tunecrate: " << CannotDragMessage(song) << "\n";
            status = 1;
        }
    }
    const auto notPlaced = [&](const std::vector<std::string>& songs, const std::string& reason) {
        for (const std::string& song : songs) err << "tunecrate: " << Translated(texts::kNotPlaced, {song, OneLine(reason)}) << "\n";
        if (!songs.empty()) status = 1;
    };
    const FloppiesAtPath found = IsFolder(target) || MayBeStick(target) ? FloppiesAt(target) : FloppiesAtPath{};
    if (!found.refusal.empty()) {
        notPlaced(pending, found.refusal);
        return status;
    }
    const bool shelf = found.stick || (IsFolder(target) && !found.floppyFolder);
    std::vector<std::string> floppies;   // the places to fill, in order
    if (found.stick) {
        // The last slot that holds a floppy.
        for (auto slot = found.images.rbegin(); slot != found.images.rend(); ++slot) {
            if (!ReadShelfImage(target, slot->file).emptySlot) {
                floppies.push_back(ShelfEntryPath(target, slot->file));
                break;
            }
        }
    } else if (shelf) {
        // The last image file: songs never go through a link, nor into anything else with an image name.
        const auto last = std::find_if(found.images.rbegin(), found.images.rend(), [](const ShelfEntry& e) { return e.IsImage(); });
        if (last != found.images.rend()) floppies.push_back(JoinPath(target, last->file));
    } else {
        floppies.push_back(target);
    }
    DecliningPrompter prompter(&err);
    // Anything told on the way (a song placed, with room the image could not free) is said in the status too.
    const auto ended = [&] { return prompter.problems > 0 ? 1 : status; };
    std::string lastReason;   // why the last floppy took no more
    for (std::size_t f = 0; !pending.empty(); ++f) {
        if (f == floppies.size()) {
            if (!shelf) break;
            const NewImageNames made = found.stick ? MakeStickFloppies(target, 1) : MakeShelfImages(target, 1);
            if (!made.result.ok() || made.names.empty()) {
                notPlaced(pending, made.result.reason);
                return ended();
            }
            floppies.push_back(ShelfEntryPath(target, made.names[0]));
        }
        auto volume = OpenFloppyVolume(floppies[f]);
        Expected<CatalogueReading> reading = ReadCatalogue(volume.get());
        if (!reading) {
            lastReason = reading.error().reason;
            // A shelf's last image that cannot be used: new images take the songs.
            if (shelf && f == 0 && floppies.size() == 1) continue;
            notPlaced(pending, lastReason);
            return ended();
        }
        // As many songs as the image has free slots; the rest wait for the next image.
        const auto free = static_cast<std::size_t>(std::count_if(
            reading->rows.begin(), reading->rows.end(), [](const SlotRow& r) { return r.state == SlotState::EmptySlot; }));
        lastReason = Translated(texts::kNoFreeSlot, {volume->Root()});
        if (free == 0) continue;
        const std::vector<std::string> batch(pending.begin(), pending.begin() + static_cast<std::ptrdiff_t>(std::min(free, pending.size())));
        std::vector<std::string> left;   // songs for the next image, in their order
        SongsOnHardDisk songs;
        for (const std::string& song : batch) songs.songs.push_back(SplitHardDiskItem(song));
        DropContext context{volume.get(), reading->rows, prompter, false};
        const std::vector<SongPlace> places = DropIntoFreeSlots(context, songs).places;
        for (const SongPlace& place : places) {
            if (place.slot >= 0) {
                out << place.item << "\t" << floppies[f] << "\t" << place.slot + 1 << "\n";
            } else if (place.noFreeSlot) {
                left.push_back(place.item);
                lastReason = place.reason;
            } else {
                notPlaced({place.item}, place.reason);
            }
        }
        left.insert(left.end(), pending.begin() + static_cast<std::ptrdiff_t>(batch.size()), pending.end());
        // A failure stops the import there: what did not go is named, not tried elsewhere.
        if (std::any_of(places.begin(), places.end(), [](const SongPlace& p) { return p.slot < 0 && !p.noFreeSlot; })) {
            notPlaced(left, Translated(texts::kDropStopped));
            return ended();
        }
        pending = std::move(left);
    }
    notPlaced(pending, lastReason);
    return ended();
}

// Ctrl-C stops a whole-disk copy between two tracks, so it can say where it stopped.
volatile std::sig_atomic_t g_interrupted = 0;

// A progress line on a terminal, with the time left; Ctrl-C stops the copy.
class CopyLine {
public:
    CopyLine(std::ostream& err, std::string what) : m_err(err), m_what(std::move(what)), m_shown(::isatty(STDERR_FILENO) == 1) {
        g_interrupted = 0;
        m_old = std::signal(SIGINT, [](int) { g_interrupted = 1; });
    }
    ~CopyLine() { std::signal(SIGINT, m_old); }
    CopyLine(const CopyLine&) = delete;
    CopyLine& operator=(const CopyLine&) = delete;
    CopyProgress Progress() {
        m_started = std::chrono::steady_clock::now();
        return [this](std::uint32_t done, std::uint32_t total) {
            if (m_shown) {
                const double soFar = std::chrono::duration<double>(std::chrono::steady_clock::now() - m_started).count();
                const std::optional<int> left = done < total ? SecondsLeft(soFar, done, total) : std::nullopt;
                m_err << "\r" << m_what << " " << (total == 0 ? 100 : done * 100 / total) << "% (" << done << "/" << total << ")"
                      << (left ? "  " + TimeLeftText(*left) : std::string()) << "\x1b[K" << (done == total ? "\n" : "")
                      << std::flush;
            }
            return g_interrupted == 0;
        };
    }

private:
    std::ostream& m_err;
    std::string m_what;
    bool m_shown;
    void (*m_old)(int) = SIG_DFL;
    std::chrono::steady_clock::time_point m_started;
};

// Disks one after another from a drive onto a shelf, until --count disks
// are read or Ctrl-C: one line for each on the output.
int Ingest(const CommandLine& line, std::ostream& out, std::ostream& err, const DiskServiceMaker& diskService) {
    const std::string& drive = line.paths[0];
    const std::string& shelf = line.paths[1];
    g_interrupted = 0;
    const auto old = std::signal(SIGINT, [](int) { g_interrupted = 1; });
    Expected<IngestShelf> onto = IngestShelf::Open(shelf, [] { return g_interrupted == 0; });
    if (!onto) {
        std::signal(SIGINT, old);
        err << "tunecrate: " << onto.error().reason << "\n";
        return 1;
    }
    // Without the service the disks are taken out by hand, as the drive allows.
    Expected<std::unique_ptr<DiskService>> service = diskService();
    const bool serviced = service && (*service)->Available();
    DriveLook look(drive, serviced);
    DiskArrival arrival(true);
    const IngestOptions options{line.gaps ? NewNumbers::GapsFirst : NewNumbers::AfterHighest, line.keepCopies, {}};
    std::vector<IngestedDisk> table;
    bool failed = false, waitTold = false;
    while ((line.disks == 0 || table.size() < static_cast<std::size_t>(line.disks)) && g_interrupted == 0) {
        if (!arrival.Seen(look.Bytes())) {
            if (!waitTold) err << Translated(texts::kIngestWaiting, {drive}) << "\n" << std::flush;
            waitTold = true;
            ::usleep(250'000);
            continue;
        }
        waitTold = false;
        IngestedDisk disk;
        {
            CopyLine progress(err, Translated(texts::kReadingDisk));
            disk = onto->Take(drive, ReadMountTable(), options, progress.Progress());
            if (line.retries > 0 && disk.written() && !disk.unreadable.empty() && g_interrupted == 0) {
                disk = onto->Retry(drive, ReadMountTable(), line.retries, progress.Progress());
            }
        }
        if (disk.cancelled && !disk.written()) break;
        table.push_back(disk);
        out << IngestLine(disk) << "\n" << std::flush;
        failed = failed || !disk.result.ok() || !disk.unreadable.empty();
        if (serviced) {
            if (Result ejected = (*service)->Eject(drive); !ejected.ok()) err << "tunecrate: " << ejected.reason << "\n";
        }
        arrival.Taken();
        if (line.disks == 0 || table.size() < static_cast<std::size_t>(line.disks)) err << Translated(texts::kInsertNextDisk) << "\n";
    }
    std::signal(SIGINT, old);
    if (!line.tableFile.empty()) {
        if (Result saved = WriteFileBytes(line.tableFile, IngestCsv(table)); !saved.ok()) {
            err << "tunecrate: " << Translated(texts::kCannotWrite, {line.tableFile, saved.reason}) << "\n";
            failed = true;
        }
    }
    const auto written = std::count_if(table.begin(), table.end(), [](const IngestedDisk& disk) { return disk.written(); });
    err << Translated(texts::kIngestDone, {std::to_string(table.size()), std::to_string(written)}) << "\n";
    return failed ? 1 : 0;
}

int Backup(const CommandLine& line, std::ostream& out, std::ostream& err) {
    const std::string& source = line.paths[0];
    const std::string& image = line.paths[1];
    CopyLine progress(err, Translated(texts::kReadingDisk));
    const BackupOutcome outcome = BackupFloppy(source, image, line.replace, ReadMountTable(), progress.Progress());
    const std::string message = outcome.Message(source, image);
    if (outcome.result.ok() && !outcome.cancelled) {
        out << image << "\n";
        if (outcome.unreadable.empty()) return 0;
    }
    err << "tunecrate: " << message << "\n";
    return 1;
}

int Restore(const CommandLine& line, std::ostream& out, std::ostream& err) {
    const std::string& image = line.paths[0];
    const std::string& device = line.paths[1];
    CopyLine progress(err, Translated(texts::kWritingDisk));
    const RestoreOutcome outcome = RestoreFloppy(image, device, ReadMountTable(), progress.Progress());
    const std::string message = outcome.Message(image, device);
    if (outcome.result.ok() && outcome.writing.ok()) {
        out << message << "\n";
        return 0;
    }
    err << "tunecrate: " << message << "\n";
    return 1;
}

// A stick's slots into numbered images, or numbered images into a stick's
// slots: which way is told by which path is a folder.
int Convert(const CommandLine& line, std::ostream& out, std::ostream& err) {
    const std::string& from = line.paths[0];
    const std::string& to = line.paths[1];
    const bool toImages = IsFolder(to);
    if (toImages == IsFolder(from)) {
        err << "tunecrate: " << Translated(texts::kConvertNeeds, {}) << "\n";
        return 2;
    }
    const StickConversion done = toImages ? StickToImages(from, to) : ImagesToStick(from, to);
    if (!done.result.ok()) err << "tunecrate: " << done.result.reason << "\n";
    for (const ConvertedFloppy& floppy : done.floppies) {
        const std::string slot = SlotPathOf(toImages ? from : to, floppy.slot);
        if (floppy.result.ok()) {
            out << (toImages ? slot : floppy.image) << "\t" << (toImages ? floppy.image : slot) << "\n";
        } else {
            err << "tunecrate: " << floppy.result.reason << "\n";
        }
    }
    return done.ok() ? 0 : 1;
}

// One line per image done ("from<TAB>to"), its problem on the error stream.
int Report(const std::string& shelf, const ImagesOutcome& done, std::ostream& out, std::ostream& err) {
    if (!done.result.ok()) err << "tunecrate: " << done.result.reason << "\n";
    for (const ImageOutcome& image : done.images) {
        if (!image.result.ok()) {
            err << "tunecrate: " << image.result.reason << "\n";
            continue;
        }
        out << ShelfEntryPath(shelf, image.file);
        if (!image.to.empty()) out << "\t" << (image.to.front() == '/' ? image.to : ShelfEntryPath(shelf, image.to));
        out << "\n";
    }
    return done.ok() ? 0 : 1;
}

int Remove(const CommandLine& line, std::ostream& out, std::ostream& err) {
    int status = 0;
    for (const std::string& path : line.paths) {
        const auto [shelf, file] = ShelfOfImage(path);
        status |= Report(shelf, RemoveShelfImages(shelf, {file}), out, err);
    }
    return status;
}

int Renumber(const CommandLine& line, std::ostream& out, std::ostream& err) {
    if (line.closeGaps) return Report(line.paths[0], CloseShelfGaps(line.paths[0]), out, err);
    const auto [shelf, file] = ShelfOfImage(line.paths[0]);
    // The image at that number, whatever its label, when it is to be swapped.
    std::string other;
    for (const ShelfEntry& entry : line.swap ? FloppiesAt(shelf).images : std::vector<ShelfEntry>{}) {
        if (ShelfEntryNumber(entry.file) == line.number && entry.file != file) other = entry.file;
    }
    ImagesOutcome done;
    if (other.empty()) done.images.push_back(RenumberShelfImage(shelf, file, *line.number));
    else done = SwapShelfImages(shelf, file, other);
    return Report(shelf, done, out, err);
}

int Copy(const CommandLine& line, std::ostream& out, std::ostream& err) {
    const auto [shelf, file] = ShelfOfImage(line.paths[0]);
    const std::string& target = line.paths[1];
    ImageOutcome copied = CopyShelfImage(shelf, file, target, line.number, line.gaps ? NewNumbers::GapsFirst : NewNumbers::AfterHighest);
    if (!copied.result.ok()) {
        err << "tunecrate: " << copied.result.reason << "\n";
        return 1;
    }
    out << ShelfEntryPath(shelf, file) << "\t" << ShelfEntryPath(target, copied.to) << "\n";
    return 0;
}

// The songs of each shelf compared by content, as the shelf window marks
// them: a copy of a whole floppy as "IMAGE<TAB>*<TAB>FIRST<TAB>*", each
// song found before as "IMAGE<TAB>SLOT<TAB>FIRST<TAB>SLOT".
int Duplicates(const CommandLine& line, std::ostream& out, std::ostream& err) {
    int status = 0;
    for (const std::string& shelf : line.paths) {
        const FloppiesAtPath found = FloppiesAt(shelf);
        if (!found.refusal.empty() || (found.images.empty() && !IsFolder(shelf))) {
            err << "tunecrate: " << (found.refusal.empty() ? Translated(texts::kHoldsNoImages, {shelf}) : found.refusal) << "\n";
            status = 1;
            continue;
        }
        std::vector<std::string> paths;
        std::vector<FloppySongHashes> hashes;
        ShelfReader reader(found.folder);
        for (const ShelfEntry& entry : found.images) {
            const ShelfRow row = reader.Read(entry);
            paths.push_back(ShelfEntryPath(found.folder, entry.file));
            hashes.push_back(HashShelfImage(found.folder, entry.file, row.holdsSong));
        }
        const std::vector<ShelfCopies> copies = FindShelfDuplicates(hashes);
        for (std::size_t row = 0; row < copies.size(); ++row) {
            if (copies[row].sameAs) out << paths[row] << "\t*\t" << paths[*copies[row].sameAs] << "\t*\n";
            for (int slot = 0; slot < kSlotCount; ++slot) {
                if (const auto& first = copies[row].songSameAs[static_cast<std::size_t>(slot)]) {
                    out << paths[row] << "\t" << slot + 1 << "\t" << paths[first->row] << "\t" << first->slot + 1 << "\n";
                }
            }
        }
    }
    return status;
}

// The floppy named, else the one the window would find.
int Eject(const CommandLine& line, std::ostream& out, std::ostream& err, const DiskServiceMaker& diskService) {
    const std::vector<MountEntry> mounts = ReadMountTable();
    std::string floppy = line.paths.empty() ? std::string() : line.paths[0];
    if (floppy.empty()) {
        const auto found = FindFloppyLocation(mounts, [](const std::vector<MountEntry>& m) { return FindFloppyDevices(m); });
        if (!found) {
            err << "tunecrate: " << Translated(texts::kNoFloppyDrive) << "\n";
            return 1;
        }
        floppy = found->location;
    }
    // DBUS_SYSTEM_BUS_ADDRESS can point it elsewhere, as for every D-Bus program.
    Expected<std::unique_ptr<DiskService>> service = diskService();
    const Result ejected = service ? (*service)->EjectFloppy(floppy, mounts) : service.error();
    (ejected.ok() ? out : err) << (ejected.ok() ? "" : "tunecrate: ") << ejected.reason << "\n";
    return ejected.ok() ? 0 : 1;
}

}  // namespace

int MakeNewFloppy(const std::string& path, std::ostream& err) {
    const Result made = NewFloppyResult(path, CreateSongFloppyImage(path));
    if (made.ok()) return 0;
    err << "tunecrate: " << made.reason << "\n";
    return 1;
}

int RunCommand(const CommandLine& line, std::ostream& out, std::ostream& err, const DiskServiceMaker& diskService) {
    AllowAnyStickDevice(line.forceDevice);
    if (line.command == "list") return List(line, out, err);
    if (line.command == "check") return Check(line, out, err);
    if (line.command == "new") return New(line, out, err);
    if (line.command == "export") return Export(line, out, err);
    if (line.command == "import") return Import(line, out, err);
    if (line.command == "backup") return Backup(line, out, err);
    if (line.command == "restore") return Restore(line, out, err);
    if (line.command == "eject") return Eject(line, out, err, diskService);
    if (line.command == "convert") return Convert(line, out, err);
    if (line.command == "remove") return Remove(line, out, err);
    if (line.command == "renumber") return Renumber(line, out, err);
    if (line.command == "copy") return Copy(line, out, err);
    if (line.command == "duplicates") return Duplicates(line, out, err);
    if (line.command == "ingest") return Ingest(line, out, err, diskService);
    err << "tunecrate: " << Translated(texts::kUnknownCommand, {line.command}) << "\n";
    return 2;
}

}  // namespace tunecrate
