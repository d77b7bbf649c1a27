// SPDX-License-Identifier: MIT
#include "core/songs/FloppyCatalogue.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <map>

#include "core/text/Encoding.h"
#include "core/disk/FloppyVolume.h"
#include "core/text/SongNames.h"
#include "core/Texts.h"
#include "core/text/TypedText.h"

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

// The first `count` lines as the rows show them, empty where the file has
// none: without their line ends, cut on a character boundary to the longest
// piece kept, trailing white space removed. Each is cut before it is copied.
std::vector<std::string> CatalogueLines(std::string_view content, std::size_t count) {
    std::vector<std::string> lines;
    lines.reserve(count);
    while (lines.size() < count && !content.empty()) {
        const auto end = content.find('\n');
        std::string_view line = content.substr(0, end);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        std::string_view piece = CutToWholeCharacters(line, kCatalogueLineBytes);
        while (!piece.empty() && IsTrailingSpace(piece.back())) piece.remove_suffix(1);
        lines.emplace_back(piece);
        if (end == std::string_view::npos) break;
        content.remove_prefix(end + 1);
    }
    lines.resize(count);
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
                 const std::optional<FileLook>& events, CatalogueDetail detail) {
    SlotRow row;
    row.number = slot + 1;
    row.title = std::move(title);
    row.comment = std::move(comment);
    if (!song || !song->size) {
        row.state = SlotState::EmptySlot;
        if (detail == CatalogueDetail::Full) row.sizeText = kEmptySizeText;
        return row;
    }
    row.songBytes = *song->size;
    const bool hasEvents = events && events->size;
    row.state = hasEvents ? SlotState::FullSong : SlotState::PartialSong;
    if (detail == CatalogueDetail::Listing) return row;
    row.stamp.reserve(song->stamp.size() + 1 + (events ? events->stamp.size() : 0));
    row.stamp.append(song->stamp).append(1, '/').append(events ? events->stamp : std::string());
    row.sizeText = SizeText(*song->size, hasEvents ? *events->size : 0, hasEvents);
    return row;
}

}  // namespace

std::string UnreadableFloppyMessage(std::string_view floppyRoot) {
    return Translated(texts::kUnreadableFloppy, {floppyRoot});
}

std::string UnreadableFloppyNotice(const Result& failure, std::string_view floppyRoot) {
    std::string text = UnreadableFloppyMessage(floppyRoot);
    if (failure.reason != text) text += "\n\n" + failure.reason;
    return text;
}

Expected<CatalogueReading> ReadCatalogue(FloppyVolume* volume, CatalogueRepair repair, CatalogueDetail detail) {
    // Nothing known but that it holds no catalogue to read.
    const auto unreadable = [&] { return Result::Refused(UnreadableFloppyMessage(volume ? volume->Root() : std::string())); };
    if (volume == nullptr) return unreadable();
    if (Result opened = volume->Opened(); !opened.ok()) return opened;
    auto space = volume->Space();
    if (!space) return unreadable();

    // One look at every file of the reading, the instrument's spellings
    // first: a folder is read once at most, and not at all when all are there.
    static const std::vector<std::string> names = [] {
        std::vector<std::string> all = {std::string(kTitlesFile), std::string(kCommentsFile)};
        for (int slot = 0; slot < kSlotCount; ++slot) {
            all.push_back(SlotName(slot) + std::string(kSongExtension));
            all.push_back(SlotName(slot) + std::string(kEventsExtension));
        }
        return all;
    }();
    const std::vector<std::optional<FileLook>> looks = volume->LookAt(names);
    // Both at once: on an image they usually lie side by side.
    std::vector<std::string_view> catalogue;
    for (std::size_t file : {0, 1}) catalogue.push_back(looks[file] ? std::string_view(looks[file]->name) : std::string_view());
    std::vector<std::optional<std::string>> read = volume->ReadFiles(catalogue, kCatalogueReadLimit);

    auto titles = looks[0] ? std::move(read[0]) : std::nullopt;
    if (!titles) {
        // A catalogue that exists but cannot be read is never replaced by blanks.
        if (looks[0] || !IsSongFloppy(*volume)) return unreadable();
        Result created = repair == CatalogueRepair::Never ? Result{} : volume->WriteFile(kTitlesFile, BlankTitlesFile());
        titles = repair == CatalogueRepair::Never ? BlankTitlesFile() : volume->ReadFile(kTitlesFile, kCatalogueReadLimit);
        if (!created.ok() || !titles) return CatalogueWriteFailure(volume->Root(), kTitlesFile, created);
        // Measured after the song.nam just created, so the figures include it.
        space = volume->Space();
    }

    if (!space || space->totalUnits == 0) return unreadable();
    CatalogueReading reading;
    reading.FreePercent = static_cast<int>(std::min<std::uint64_t>(100, 100 * space->freeUnits / space->totalUnits));
    reading.FreeBytes = static_cast<std::int64_t>(space->FreeBytes());

    auto comments = looks[1] ? std::move(read[1]) : std::nullopt;
    if (!comments) {
        if (looks[1]) return unreadable();
        Result created = repair == CatalogueRepair::Never ? Result{} : volume->WriteFile(kCommentsFile, EmptyCommentsFile());
        comments = repair == CatalogueRepair::Never ? EmptyCommentsFile() : volume->ReadFile(kCommentsFile, kCatalogueReadLimit);
        if (!created.ok() || !comments) return CatalogueWriteFailure(volume->Root(), kCommentsFile, created);
    }

    auto titleLines = CatalogueLines(*titles, kSlotCount);
    auto commentLines = CatalogueLines(*comments, kSlotCount);
    reading.rows.reserve(kSlotCount);
    for (int slot = 0; slot < kSlotCount; ++slot) {
        auto index = static_cast<std::size_t>(slot);
        reading.rows.push_back(ReadSlot(slot, std::move(titleLines[index]), std::move(commentLines[index]),
                                        looks[2 + 2 * index], looks[3 + 2 * index], detail));
    }
    return reading;
}

namespace {

// Never split a two-byte character: the instrument would show garbage.
std::string TitleLine(const std::string& title) {
    std::string line(CutToWholeCharacters(OneLine(title), kTitleBytes));
    line.resize(kTitleBytes, ' ');
    return line;
}

std::string CommentLine(const std::string& comment) {
    return std::string(CutToWholeCharacters(OneLine(comment), kCatalogueLineBytes));
}

std::string FileOf(const std::vector<SlotRow>& rows, std::string SlotRow::*field, std::string (*lineOf)(const std::string&)) {
    std::string bytes;
    for (std::size_t r = 0; r < static_cast<std::size_t>(kCatalogueLines); ++r) {
        bytes += lineOf(r < rows.size() ? rows[r].*field : std::string());
        bytes += kLineEnd;
    }
    return bytes;
}

}  // namespace

std::string TitlesFileBytes(const std::vector<SlotRow>& rows) { return FileOf(rows, &SlotRow::title, TitleLine); }

std::string CommentsFileBytes(const std::vector<SlotRow>& rows) { return FileOf(rows, &SlotRow::comment, CommentLine); }

namespace {

// A catalogue file as its lines, each with its own line end as the file has
// it, so that a line no change touches is written back byte for byte.
std::vector<std::string> RawLines(std::string_view content) {
    std::vector<std::string> lines;
    while (!content.empty()) {
        const auto end = content.find('\n');
        const std::size_t size = end == std::string_view::npos ? content.size() : end + 1;
        lines.emplace_back(content.substr(0, size));
        content.remove_prefix(size);
    }
    return lines;
}

// The file with these lines changed, every other line as it was; a file of
// fewer than 40 lines gets blank ones up to 40, as the instrument expects.
std::string ChangedFile(std::string_view now, const std::map<int, std::string>& lines, std::string_view blankLine,
                        std::string (*lineOf)(const std::string&)) {
    std::vector<std::string> raw = RawLines(now);
    if (raw.size() < static_cast<std::size_t>(kCatalogueLines)) {
        if (!raw.empty() && raw.back().back() != '\n') raw.back() += kLineEnd;
        raw.resize(static_cast<std::size_t>(kCatalogueLines), std::string(blankLine) + std::string(kLineEnd));
    }
    for (const auto& [slot, text] : lines) raw[static_cast<std::size_t>(slot)] = lineOf(text) + std::string(kLineEnd);
    std::string bytes;
    for (const std::string& line : raw) bytes += line;
    return bytes;
}

}  // namespace

Result UpdateCatalogue(FloppyVolume& volume, const std::vector<SlotText>& changes) {
    struct Half {
        std::string_view file;
        std::optional<std::string> SlotText::*text;
        std::string blankLine;
        std::string (*lineOf)(const std::string&);
    };
    std::vector<FileChange> files;
    for (const Half& half : {Half{kTitlesFile, &SlotText::title, std::string(kTitleBytes, ' '), TitleLine},
                             Half{kCommentsFile, &SlotText::comment, "", CommentLine}}) {
        std::map<int, std::string> lines;
        for (const SlotText& change : changes) {
            if (change.slot >= 0 && change.slot < kCatalogueLines && (change.*half.text)) {
                lines[change.slot] = *(change.*half.text);
            }
        }
        if (lines.empty()) continue;
        const std::optional<std::uint64_t> size = volume.FileSize(half.file);
        const std::optional<std::string> now = volume.ReadFile(half.file, kCatalogueReadLimit);
        // Unreadable is not empty, nor is a file larger than what is read: its other lines would be lost.
        if ((!now && volume.Exists(half.file)) || (size && *size > kCatalogueReadLimit)) {
            return CatalogueWriteFailure(volume.Root(), half.file, Result::FromErrno(EIO));
        }
        std::string bytes = ChangedFile(now.value_or(""), lines, half.blankLine, half.lineOf);
        if (now == bytes) continue;   // a damaged floppy is not touched for nothing
        files.push_back(FileChange{std::string(half.file), std::move(bytes)});
    }
    if (files.empty()) return {};
    // Both files in one change: whichever of them a crash leaves new, each
    // slot's lines are still its song's or blank.
    Result written = volume.Apply(files, CatalogueReserve::Use);
    if (!written.ok()) return CatalogueWriteFailure(volume.Root(), files.size() == 1 ? files[0].name : std::string(kTitlesFile), written);
    return written;
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
    const Expected<CatalogueReading> now = ReadCatalogue(&volume);
    if (!now) return Result::Refused(now.error().reason);
    if (!CatalogueStillShows(now->rows, shown, {change.slot})) return Result::Refused(CatalogueChangedMessage(false));
    Result result = UpdateCatalogue(volume, {change});
    if (result.ok() && !CatalogueStillShows(now->rows, shown)) result.Include(Result::Notice(CatalogueChangedMessage(true)));
    return result;
}

std::string CatalogueChangedMessage(bool applied) {
    std::string text = Translated(texts::kCatalogueChanged);
    // Piece by piece: GCC 12 takes a chain of + for overlapping copies.
    if (!applied) text.append("\n").append(Translated(texts::kNothingDone));
    return text;
}

Result CatalogueWriteFailure(std::string_view floppyRoot, std::string_view file, const Result& failure) {
    Result result = failure;
    result.reason = Translated(texts::kCannotWrite, {std::string(floppyRoot) + std::string(file), failure.reason});
    return result;
}

std::string FreeSpaceFigure(std::int64_t freeBytes, int coarser) {
    // The single-precision constant is part of the figure the user has always seen.
    double figure = static_cast<double>(freeBytes) * static_cast<double>(0.001f);
    coarser = std::clamp(coarser, 0, kCoarsestFreeSpaceUnit);
    for (int step = 0; step < coarser; ++step) figure /= 1000.0;
    // to_chars ignores the user's locale: the figure keeps its decimal point.
    char buffer[64];
    auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, figure, std::chars_format::fixed, coarser == 0 ? 2 : 1);
    return error != std::errc() ? std::string("?") : std::string(buffer, end);
}

std::string FreeSpaceText(std::int64_t freeBytes, int coarser) {
    static constexpr const char* kUnits[] = {"kb", "MB", "GB", "TB"};
    return Translated(texts::kFreeSpace, {FreeSpaceFigure(freeBytes, coarser), kUnits[std::clamp(coarser, 0, kCoarsestFreeSpaceUnit)]});
}

}  // namespace tunecrate
