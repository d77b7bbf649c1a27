// SPDX-License-Identifier: MIT
#include "core/FloppyCatalogue.h"

#include <algorithm>
#include <charconv>

#include "core/Encoding.h"
#include "core/FloppyVolume.h"
#include "core/SongNames.h"

namespace tunecrate {

namespace {

// Real catalogues are under 11 KB; anything beyond this reads as missing lines.
constexpr std::size_t kCatalogueReadLimit = 1 << 20;

constexpr std::string_view kLineEnd = "\r\n";

bool IsTrailingSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// Splits catalogue content into its lines; each line is cut on a character
// boundary to the longest piece kept, so an over-long line never spills into
// the next slot.
std::vector<std::string> CatalogueLines(std::string_view content, std::size_t count) {
    std::vector<std::string> lines;
    while (lines.size() < count && !content.empty()) {
        auto end = content.find('\n');
        std::string_view line = content.substr(0, end);
        line = CutToWholeCharacters(line, kCatalogueLineBytes);
        while (!line.empty() && IsTrailingSpace(line.back())) line.remove_suffix(1);
        lines.emplace_back(line);
        if (end == std::string_view::npos) break;
        content.remove_prefix(end + 1);
    }
    lines.resize(count);   // lines the file no longer has read as empty
    return lines;
}

bool IsSongFloppy(const FloppyVolume& volume) {
    for (int i = 0; i < kProbedSlots; ++i) {
        if (volume.Exists(SlotName(i) + std::string(kSongExtension))) return true;
    }
    return false;
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

SlotRow ReadSlot(const FloppyVolume& volume, int slot, std::string title, std::string comment) {
    SlotRow row;
    row.number = slot + 1;
    row.title = std::move(title);
    row.comment = std::move(comment);
    const std::string base = SlotName(slot);
    auto songBytes = volume.FileSize(base + ".b00");
    if (!songBytes) {
        row.state = SlotState::EmptySlot;
        row.sizeText = kEmptySizeText;
        return row;
    }
    auto eventsBytes = volume.FileSize(base + ".evt");
    row.state = eventsBytes ? SlotState::FullSong : SlotState::PartialSong;
    row.sizeText = SizeText(*songBytes, eventsBytes.value_or(0), eventsBytes.has_value());
    return row;
}

std::string Field(const std::vector<SlotRow>& rows, int r, std::string SlotRow::*field) {
    if (r >= static_cast<int>(rows.size())) return {};
    return rows[static_cast<std::size_t>(r)].*field;
}

}  // namespace

std::string UnreadableFloppyMessage(std::string_view floppyRoot) {
    return "Cannot open " + std::string(floppyRoot) + "song.nam.\nPlease insert valid floppy disk.";
}

CatalogueReading ReadCatalogue(FloppyVolume* volume) {
    CatalogueReading reading;
    if (volume == nullptr) return reading;
    if (reading.failure = volume->Problem(); !reading.failure.empty()) return reading;
    if (!volume->Space()) return reading;

    auto titles = volume->ReadFile(kTitlesFile, kCatalogueReadLimit);
    if (!titles) {
        // A catalogue that exists but cannot be read is never replaced by blanks.
        if (volume->Exists(kTitlesFile) || !IsSongFloppy(*volume)) return reading;
        FileResult created = volume->WriteFile(kTitlesFile, BlankTitlesFile());
        titles = volume->ReadFile(kTitlesFile, kCatalogueReadLimit);
        if (!created.ok() || !titles) {
            reading.failure = CatalogueWriteMessage(volume->Root(), kTitlesFile, created);
            return reading;
        }
    }

    // Measured after a song.nam just created, so the figures include it.
    auto space = volume->Space();
    if (!space || space->totalUnits == 0) return reading;
    reading.FreePercent = static_cast<int>(std::min<std::uint64_t>(100, 100 * space->freeUnits / space->totalUnits));
    reading.FreeBytes = static_cast<std::int64_t>(space->FreeBytes());

    auto comments = volume->ReadFile(kCommentsFile, kCatalogueReadLimit);
    if (!comments) {
        if (volume->Exists(kCommentsFile)) {
            reading.FreePercent = -1;
            reading.FreeBytes = 0;
            return reading;
        }
        FileResult created = volume->WriteFile(kCommentsFile, EmptyCommentsFile());
        comments = volume->ReadFile(kCommentsFile, kCatalogueReadLimit);
        if (!created.ok() || !comments) {
            reading.failure = CatalogueWriteMessage(volume->Root(), kCommentsFile, created);
            reading.FreePercent = -1;
            reading.FreeBytes = 0;
            return reading;
        }
    }

    auto titleLines = CatalogueLines(*titles, kSlotCount);
    auto commentLines = CatalogueLines(*comments, kSlotCount);
    for (int slot = 0; slot < kSlotCount; ++slot) {
        auto index = static_cast<std::size_t>(slot);
        reading.rows.push_back(ReadSlot(*volume, slot, std::move(titleLines[index]), std::move(commentLines[index])));
    }
    reading.readable = true;
    return reading;
}

std::string TitlesFileBytes(const std::vector<SlotRow>& rows) {
    std::string bytes;
    bytes.reserve(kCatalogueLines * (kTitleBytes + kLineEnd.size()));
    for (int r = 0; r < kCatalogueLines; ++r) {
        std::string title = Field(rows, r, &SlotRow::title);
        std::replace(title.begin(), title.end(), '\n', ' ');   // a title is never two lines
        // Never split a two-byte character: the instrument would show garbage.
        std::string line(CutToWholeCharacters(title, kTitleBytes));
        line.resize(kTitleBytes, ' ');
        bytes += line;
        bytes += kLineEnd;
    }
    return bytes;
}

std::string CommentsFileBytes(const std::vector<SlotRow>& rows) {
    std::string bytes;
    for (int r = 0; r < kCatalogueLines; ++r) {
        std::string comment = Field(rows, r, &SlotRow::comment);
        std::replace(comment.begin(), comment.end(), '\n', ' ');
        bytes += CutToWholeCharacters(comment, kCatalogueLineBytes);
        bytes += kLineEnd;
    }
    return bytes;
}

FileResult WriteTitles(FloppyVolume& volume, const std::vector<SlotRow>& rows) {
    return volume.WriteFile(kTitlesFile, TitlesFileBytes(rows));
}

FileResult WriteComments(FloppyVolume& volume, const std::vector<SlotRow>& rows) {
    return volume.WriteFile(kCommentsFile, CommentsFileBytes(rows));
}

std::vector<std::string> WriteCatalogue(FloppyVolume& volume, const std::vector<SlotRow>& rows) {
    std::vector<std::string> failures;
    if (FileResult r = WriteTitles(volume, rows); !r.ok()) {
        failures.push_back(CatalogueWriteMessage(volume.Root(), kTitlesFile, r));
    }
    if (FileResult r = WriteComments(volume, rows); !r.ok()) {
        failures.push_back(CatalogueWriteMessage(volume.Root(), kCommentsFile, r));
    }
    return failures;
}

std::string CatalogueWriteMessage(std::string_view floppyRoot, std::string_view file, const FileResult& result) {
    std::string text = "Cannot write " + std::string(floppyRoot) + std::string(file) + ".";
    std::string reason = result.Reason();
    if (!reason.empty()) text += "\n" + reason;
    return text;
}

std::string FreeSpaceText(std::int64_t freeBytes) {
    // The single-precision constant is part of the figure the user has always seen.
    const double kb = static_cast<double>(freeBytes) * static_cast<double>(0.001f);
    // to_chars ignores the user's locale: the figure keeps its decimal point.
    char buffer[64];
    auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, kb, std::chars_format::fixed, 2);
    if (error != std::errc()) return "空き ? kb";
    return "空き " + std::string(buffer, end) + " kb";
}

}  // namespace tunecrate
