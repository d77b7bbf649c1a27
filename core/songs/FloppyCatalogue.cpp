// SPDX-License-Identifier: MIT
#include "core/songs/FloppyCatalogue.h"

#include <algorithm>
#include <cerrno>
#include <charconv>

#include "core/text/Encoding.h"
#include "core/disk/FloppyVolume.h"
#include "core/text/SongNames.h"
#include "core/text/Texts.h"

namespace tunecrate {

static_assert(kLargestTitlesFile == kCatalogueLines * (kTitleBytes + 2));
static_assert(kLargestCommentsFile == kCatalogueLines * (kCatalogueLineBytes + 2));

namespace {

// Real catalogues are under 11 KB; anything beyond this reads as missing lines.
constexpr std::size_t kCatalogueReadLimit = 1 << 20;

constexpr std::string_view kLineEnd = "\r\n";

bool IsTrailingSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// The first `count` lines of a catalogue file as it has them, without their
// line ends; lines it lacks are empty.
std::vector<std::string> FileLines(std::string_view content, std::size_t count = kCatalogueLines) {
    std::vector<std::string> lines;
    lines.reserve(count);
    while (lines.size() < count && !content.empty()) {
        const auto end = content.find('\n');
        std::string_view line = content.substr(0, end);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.emplace_back(line);
        if (end == std::string_view::npos) break;
        content.remove_prefix(end + 1);
    }
    lines.resize(count);
    return lines;
}

// The first `count` lines as the rows show them: cut on a character boundary
// to the longest piece kept, trailing white space removed.
std::vector<std::string> CatalogueLines(std::string_view content, std::size_t count) {
    std::vector<std::string> lines = FileLines(content, count);
    for (std::string& line : lines) {
        std::string_view piece = CutToWholeCharacters(line, kCatalogueLineBytes);
        while (!piece.empty() && IsTrailingSpace(piece.back())) piece.remove_suffix(1);
        line = std::string(piece);
    }
    return lines;
}

bool IsSongFloppy(const FloppyVolume& volume) {
    std::vector<std::string> names;
    for (int i = 0; i < kProbedSlots; ++i) names.push_back(SlotName(i) + std::string(kSongExtension));
    const auto looks = volume.LookAt(names);
    return std::any_of(looks.begin(), looks.end(), [](const auto& look) { return look.has_value(); });
}

std::string BlankTitlesFile() {
    std::string bytes;
    for (int i = 0; i < kCatalogueLines; ++i) bytes += std::string(kTitleBytes, ' ') + std::string(kLineEnd);
    return bytes;
}

std::string EmptyCommentsFile() {
    std::string bytes;
    for (int i = 0; i < kCatalogueLines; ++i) bytes += kLineEnd;
    return bytes;
}

SlotRow ReadSlot(int slot, std::string title, std::string comment, const std::optional<FileLook>& song,
                 const std::optional<FileLook>& events) {
    SlotRow row;
    row.number = slot + 1;
    row.title = std::move(title);
    row.comment = std::move(comment);
    if (!song || !song->size) {
        row.state = SlotState::EmptySlot;
        row.sizeText = kEmptySizeText;
        return row;
    }
    const bool hasEvents = events && events->size;
    row.stamp = song->stamp + "/" + (events ? events->stamp : "");
    row.state = hasEvents ? SlotState::FullSong : SlotState::PartialSong;
    row.sizeText = SizeText(*song->size, hasEvents ? *events->size : 0, hasEvents);
    return row;
}

}  // namespace

std::string UnreadableFloppyMessage(std::string_view floppyRoot) {
    return "Cannot open " + std::string(floppyRoot) + "song.nam.\nPlease insert valid floppy disk.";
}

CatalogueReading ReadCatalogue(FloppyVolume* volume, CatalogueRepair repair) {
    CatalogueReading reading;
    if (volume == nullptr) return reading;
    if (reading.failure = volume->Problem(); !reading.failure.empty()) return reading;
    auto space = volume->Space();
    if (!space) return reading;

    // One look at every file of the reading, the instrument's spellings
    // first: a folder is read once at most, and not at all when all are there.
    std::vector<std::string> names = {std::string(kTitlesFile), std::string(kCommentsFile)};
    for (int slot = 0; slot < kSlotCount; ++slot) {
        names.push_back(SlotName(slot) + std::string(kSongExtension));
        names.push_back(SlotName(slot) + std::string(kEventsExtension));
    }
    const std::vector<std::optional<FileLook>> looks = volume->LookAt(names);
    const auto read = [&](std::size_t file) {
        return looks[file] ? volume->ReadFile(looks[file]->name, kCatalogueReadLimit) : std::nullopt;
    };

    auto titles = read(0);
    if (!titles) {
        // A catalogue that exists but cannot be read is never replaced by blanks.
        if (looks[0] || !IsSongFloppy(*volume)) return reading;
        Result created = repair == CatalogueRepair::Never ? Result{} : volume->WriteFile(kTitlesFile, BlankTitlesFile());
        titles = repair == CatalogueRepair::Never ? BlankTitlesFile() : volume->ReadFile(kTitlesFile, kCatalogueReadLimit);
        if (!created.ok() || !titles) {
            reading.failure = CatalogueWriteFailure(volume->Root(), kTitlesFile, created).reason;
            return reading;
        }
        // Measured after the song.nam just created, so the figures include it.
        space = volume->Space();
    }

    if (!space || space->totalUnits == 0) return reading;
    reading.FreePercent = static_cast<int>(std::min<std::uint64_t>(100, 100 * space->freeUnits / space->totalUnits));
    reading.FreeBytes = static_cast<std::int64_t>(space->FreeBytes());

    auto comments = read(1);
    if (!comments) {
        if (looks[1]) {
            reading.FreePercent = -1;
            reading.FreeBytes = 0;
            return reading;
        }
        Result created = repair == CatalogueRepair::Never ? Result{} : volume->WriteFile(kCommentsFile, EmptyCommentsFile());
        comments = repair == CatalogueRepair::Never ? EmptyCommentsFile() : volume->ReadFile(kCommentsFile, kCatalogueReadLimit);
        if (!created.ok() || !comments) {
            reading.failure = CatalogueWriteFailure(volume->Root(), kCommentsFile, created).reason;
            reading.FreePercent = -1;
            reading.FreeBytes = 0;
            return reading;
        }
    }

    auto titleLines = CatalogueLines(*titles, kSlotCount);
    auto commentLines = CatalogueLines(*comments, kSlotCount);
    reading.rows.reserve(kSlotCount);
    for (int slot = 0; slot < kSlotCount; ++slot) {
        auto index = static_cast<std::size_t>(slot);
        reading.rows.push_back(ReadSlot(slot, std::move(titleLines[index]), std::move(commentLines[index]),
                                        looks[2 + 2 * index], looks[3 + 2 * index]));
    }
    reading.readable = true;
    return reading;
}

namespace {

// A line is never two: a line break inside a text becomes a blank.
std::string OneLine(std::string text) {
    std::replace(text.begin(), text.end(), '\n', ' ');
    return text;
}

std::string TitlesFromLines(const std::vector<std::string>& lines) {
    std::string bytes;
    bytes.reserve(kCatalogueLines * (kTitleBytes + kLineEnd.size()));
    for (const std::string& title : lines) {
        // Never split a two-byte character: the instrument would show garbage.
        std::string line(CutToWholeCharacters(title, kTitleBytes));
        line.resize(kTitleBytes, ' ');
        bytes += line;
        bytes += kLineEnd;
    }
    return bytes;
}

std::string CommentsFromLines(const std::vector<std::string>& lines) {
    std::string bytes;
    for (const std::string& comment : lines) {
        bytes += CutToWholeCharacters(comment, kCatalogueLineBytes);
        bytes += kLineEnd;
    }
    return bytes;
}

std::vector<std::string> RowLines(const std::vector<SlotRow>& rows, std::string SlotRow::*field) {
    std::vector<std::string> lines(kCatalogueLines);
    for (std::size_t r = 0; r < rows.size() && r < lines.size(); ++r) lines[r] = OneLine(rows[r].*field);
    return lines;
}

}  // namespace

std::string TitlesFileBytes(const std::vector<SlotRow>& rows) {
    return TitlesFromLines(RowLines(rows, &SlotRow::title));
}

std::string CommentsFileBytes(const std::vector<SlotRow>& rows) {
    return CommentsFromLines(RowLines(rows, &SlotRow::comment));
}

Result UpdateCatalogue(FloppyVolume& volume, const std::vector<SlotText>& changes) {
    Result result;
    struct Half {
        std::string_view file;
        std::optional<std::string> SlotText::*text;
        std::string (*bytesOf)(const std::vector<std::string>&);
    };
    for (const Half& half : {Half{kTitlesFile, &SlotText::title, TitlesFromLines},
                             Half{kCommentsFile, &SlotText::comment, CommentsFromLines}}) {
        if (std::none_of(changes.begin(), changes.end(), [&](const SlotText& c) { return (c.*half.text).has_value(); })) {
            continue;
        }
        const std::optional<std::string> now = volume.ReadFile(half.file, kCatalogueReadLimit);
        if (!now && volume.Exists(half.file)) {
            // Unreadable is not empty: its other lines would be lost.
            result.Include(CatalogueWriteFailure(volume.Root(), half.file, Result::FromErrno(EIO)));
            continue;
        }
        std::vector<std::string> lines = FileLines(now.value_or(""));
        for (const SlotText& change : changes) {
            if (change.slot >= 0 && change.slot < kCatalogueLines && (change.*half.text)) {
                lines[static_cast<std::size_t>(change.slot)] = OneLine(*(change.*half.text));
            }
        }
        const std::string bytes = half.bytesOf(lines);
        if (now == bytes) continue;   // a damaged floppy is not touched for nothing
        if (Result r = volume.WriteFile(half.file, bytes); !r.ok()) {
            result.Include(CatalogueWriteFailure(volume.Root(), half.file, r));
        }
    }
    return result;
}

bool CatalogueStillShows(const std::vector<SlotRow>& now, const std::vector<SlotRow>& shown,
                         const std::vector<int>& slots) {
    if (slots.empty()) return now == shown;
    for (int slot : slots) {
        const auto s = static_cast<std::size_t>(slot);
        if (slot < 0 || s >= now.size() || s >= shown.size() || !(now[s] == shown[s])) return false;
    }
    return true;
}

Result EditSlotText(FloppyVolume& volume, const std::vector<SlotRow>& shown, const SlotText& change) {
    const CatalogueReading now = ReadCatalogue(&volume);
    if (!now.readable) {
        return Result::Refused(now.failure.empty() ? UnreadableFloppyMessage(volume.Root()) : now.failure);
    }
    if (!CatalogueStillShows(now.rows, shown, {change.slot})) return Result::Refused(CatalogueChangedMessage(false));
    Result result = UpdateCatalogue(volume, {change});
    if (result.ok() && !CatalogueStillShows(now.rows, shown)) result.Include(Result::Notice(CatalogueChangedMessage(true)));
    return result;
}

std::string CatalogueChangedMessage(bool applied) {
    std::string text = Say(texts::kCatalogueChanged);
    if (!applied) text += "\n" + Say(texts::kNothingDone);
    return text;
}

Result CatalogueWriteFailure(std::string_view floppyRoot, std::string_view file, const Result& failure) {
    Result result = failure;
    result.reason = "Cannot write " + std::string(floppyRoot) + std::string(file) + "." +
                    (failure.reason.empty() ? "" : "\n" + failure.reason);
    return result;
}

std::string FreeSpaceText(std::int64_t freeBytes, int coarser) {
    // The single-precision constant is part of the figure the user has always seen.
    double figure = static_cast<double>(freeBytes) * static_cast<double>(0.001f);
    static constexpr const char* kUnits[] = {"kb", "MB", "GB", "TB"};
    coarser = std::clamp(coarser, 0, kCoarsestFreeSpaceUnit);
    for (int step = 0; step < coarser; ++step) figure /= 1000.0;
    // to_chars ignores the user's locale: the figure keeps its decimal point.
    char buffer[64];
    auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, figure, std::chars_format::fixed, coarser == 0 ? 2 : 1);
    const std::string_view shown = error != std::errc() ? std::string_view("?") : std::string_view(buffer, end);
    return Say(texts::kFreeSpace, {shown, kUnits[coarser]});
}

}  // namespace tunecrate
