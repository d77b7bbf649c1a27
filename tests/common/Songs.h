// SPDX-License-Identifier: MIT
// The one fixture family: a floppy (a folder or an image) and a hard-disk song
// folder, each built from a short text and read back in the same notation, so
// a test states before and after as two strings.
//
// Floppy: items separated by blanks.
//   "2:Blues/live=Blues+"   slot 2, title Blues, comment live, song file of
//                           the song "Blues", "+": with its events file
//   "3:Dawn/"               a title without a song; "=Demo@40000" a song of 40,000 bytes
//   "L10:Beyond/far"        line 10 of the catalogue, beyond the five slots
//   "#name"                 any other file (read back only)
// Folder: "Blues=Blues+/live" the files Blues.B00, Blues.EVT and Blues.cmt
// (holding "live"; no "/..." means no comment file); "Blues~=..." writes the
// extensions as .b00, .evt and .CMT. In titles and comments "_" is a blank.
#pragma once

#include <algorithm>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <utility>

#include "Scratch.h"
#include "core/disk/FloppyVolume.h"
#include "core/disk/ImageVolume.h"
#include "core/disk/StickSlots.h"
#include "core/songs/FloppyCatalogue.h"
#include "core/songs/SongFloppyImage.h"
#include "core/songs/SongSource.h"
#include "core/text/Encoding.h"
#include "core/text/SongNames.h"

namespace tunecrate::testing {

// The floppy's slot rows as a reading finds them; none when it cannot be read.
inline std::vector<SlotRow> RowsOf(FloppyVolume* volume, CatalogueRepair repair = CatalogueRepair::WhenMissing) {
    const Expected<CatalogueReading> reading = ReadCatalogue(volume, repair);
    return reading ? reading->rows : std::vector<SlotRow>{};
}

// A floppy folder, an image file, or slot 1 of a factory stick's dump (two
// slots, slot 0 unused, every byte outside slot 1 a filler it must keep).
enum class Medium { Folder, Image, Slot };
// What a slot's description says when a byte outside the slot changed.
inline constexpr const char* kWroteOutsideItsSlot = "WROTE-OUTSIDE-ITS-SLOT";
inline const char* MediumName(Medium m) { return m == Medium::Folder ? "Folder" : m == Medium::Image ? "Image" : "Slot"; }
inline std::string MediumParamName(const ::testing::TestParamInfo<Medium>& param) { return MediumName(param.param); }

inline std::map<std::string, std::string>& KnownSongs() {
    static std::map<std::string, std::string> songs;   // bytes -> "Tag" or "Tag@size"
    return songs;
}

// Song bytes that no other song's can pass for: every byte value, line ends
// and zero bytes included, seeded by the tag; a description names them `name`.
inline std::string SongBytes(const std::string& tag, std::size_t size = 3000, const std::string& name = "") {
    std::string bytes = tag + '\0';
    std::uint32_t state = 2166136261u;
    for (char c : tag) state = (state ^ static_cast<unsigned char>(c)) * 16777619u;
    while (bytes.size() < size) {
        state = state * 1103515245u + 12345u;
        bytes += static_cast<char>(state >> 16);
    }
    bytes.resize(size);
    KnownSongs().emplace(bytes, !name.empty() ? name : size == 3000 ? tag : tag + "@" + std::to_string(size));
    return bytes;
}
inline std::string EventsBytes(const std::string& tag) { return SongBytes(tag + "~", 300, tag + "~"); }

inline std::string TagOf(const std::optional<std::string>& bytes) {
    if (!bytes) return "";
    auto known = KnownSongs().find(*bytes);
    return known == KnownSongs().end() ? "?" + std::to_string(bytes->size()) : known->second;
}

inline std::string Blanks(std::string text, char from, char to) {
    std::replace(text.begin(), text.end(), from, to);
    return text;
}

// "Title/comment=Tag@size+" split into its parts.
struct SongPlan { std::string title, comment, tag; bool hasComment = false, events = false; std::size_t size = 3000; };
inline SongPlan ParseSong(std::string text) {
    SongPlan plan;
    if (auto eq = text.find('='); eq != std::string::npos) {
        plan.tag = text.substr(eq + 1);
        text.resize(eq);
        plan.events = !plan.tag.empty() && plan.tag.back() == '+';
        if (plan.events) plan.tag.pop_back();
        if (auto at = plan.tag.find('@'); at != std::string::npos) {
            plan.size = std::stoul(plan.tag.substr(at + 1));
            plan.tag.resize(at);
        }
    }
    if (auto slash = text.find('/'); slash != std::string::npos) {
        plan.comment = Blanks(text.substr(slash + 1), '_', ' ');
        plan.hasComment = true;
        text.resize(slash);
    }
    plan.title = Blanks(text, '_', ' ');
    return plan;
}

inline std::vector<std::string> Items(std::string_view description) {
    std::istringstream in{std::string(description)};
    std::vector<std::string> items;
    for (std::string item; in >> item;) items.push_back(item);
    return items;
}

// A catalogue file of 40 CR LF lines starting with these, padded to `width` (17 for titles).
inline std::string Lines(std::vector<std::string> lines, std::size_t width) {
    lines.resize(40);
    std::string file;
    for (std::string& line : lines) file += line.append(width - std::min(width, line.size()), ' ') + "\r\n";
    return file;
}

// The folders core listed (core_tests wraps opendir); ListingsOf counts those that were `folder` and starts afresh.
// The songs of a drop as rows name them: "HD" titles in `folder`, else slot indices (0 to 4).
inline SongSource SourceOf(const std::string& type, const std::vector<std::string>& names, const std::string& folder = {},
                           FloppyVolume* volume = nullptr) {
    SongsOnHardDisk songs;
    SongsOnFloppy onFloppy{volume, {}};
    for (const std::string& name : names) type == "HD" ? songs.songs.push_back({folder, name}) : onFloppy.indices.push_back(std::stoi(name));
    std::ranges::sort(onFloppy.indices);
    return type == "HD" ? SongSource(songs) : SongSource(onFloppy);
}

inline std::vector<std::string>& ListedFolders() { static std::vector<std::string> folders; return folders; }
inline long ListingsOf(const std::string& folder) {
    std::error_code ignored;
    const auto same = [&](const std::string& listed) { return std::filesystem::equivalent(listed, folder, ignored); };
    return std::ranges::count_if(std::exchange(ListedFolders(), {}), same);
}

// A song floppy built from its description, in a folder of its own or in `where`.
class TestFloppy {
public:
    TestFloppy(Medium medium, std::string_view description, const std::string& where = "")
        : m_medium(medium), m_root(where.empty() ? m_dir.path() : where) {
        m_location = medium == Medium::Folder ? m_root : medium == Medium::Image ? m_root + "/floppy.img" : StickPath() + "@001";
        if (medium == Medium::Slot) {
            // Sparse where it is zero: the stick fits a small test disk.
            const std::string gap(kSlotStride - kImageBytes, kStickFiller);
            MakeSparseFile(StickPath(), 2 * kSlotStride,
                           {{kImageBytes, gap}, {kSlotStride, NewSongFloppyImageBytes()}, {kSlotStride + kImageBytes, gap}});
        }
        EXPECT_TRUE(medium != Medium::Image || CreateSongFloppyImage(m_location).ok());
        std::vector<std::string> titles(40), comments(40);
        std::vector<FileChange> files;
        for (const std::string& item : Items(description)) {
            const bool line = item[0] == 'L';
            const auto colon = item.find(':');
            const int number = std::stoi(item.substr(line ? 1 : 0, colon));
            const SongPlan plan = ParseSong(item.substr(colon + 1));
            titles[static_cast<std::size_t>(number - 1)] = Utf8ToCp932(plan.title).value_or("?");
            comments[static_cast<std::size_t>(number - 1)] = Utf8ToCp932(plan.comment).value_or("?");
            if (plan.tag.empty()) continue;
            const std::string base = SlotName(number - 1);
            files.push_back({base + ".B00", SongBytes(plan.tag, plan.size)});
            if (plan.events) files.push_back({base + ".EVT", EventsBytes(plan.tag)});
        }
        files.push_back({"song.nam", Lines(titles, 17)});
        files.push_back({"comments.dat", Lines(comments, 0)});
        for (const FileChange& file : medium == Medium::Folder ? files : std::vector<FileChange>{})
            WriteWhole(m_root + "/" + file.name, std::get<std::string>(*file.content));
        EXPECT_TRUE(medium == Medium::Folder || Open()->Apply(files, CatalogueReserve::Use).ok());
    }

    const std::string& location() const { return m_location; }
    // The folder the floppy lives in (the image's folder, for an image).
    const std::string& root() const { return m_root; }
    std::unique_ptr<FloppyVolume> Open() const { return OpenFloppyVolume(m_location); }

    // The floppy as it is now, in the notation it was built from.
    std::string Describe() const {
        auto volume = Open();
        std::ostringstream out;
        const auto lines = [&](std::string_view file) {
            std::vector<std::string> found(40);
            std::istringstream in(volume->ReadFile(file, 1 << 20).value_or(""));
            std::string line;
            for (std::size_t i = 0; i < 40 && std::getline(in, line); ++i) {
                while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
                found[i] = Blanks(Cp932ToUtf8(line), ' ', '_');
            }
            return found;
        };
        const auto titles = lines(kTitlesFile), comments = lines(kCommentsFile);
        std::vector<std::string> known = {"SONG.NAM", "COMMENTS.DAT"};
        for (std::size_t i = 0; i < 40; ++i) {
            const std::string base = SlotName(static_cast<int>(i));
            const std::string song = i < 5 ? TagOf(volume->ReadFile(base + ".B00", 1 << 22)) : "";
            const std::string events = i < 5 ? TagOf(volume->ReadFile(base + ".EVT", 1 << 22)) : "";
            for (const char* extension : {".B00", ".EVT"}) known.push_back(base + extension);
            if (titles[i].empty() && comments[i].empty() && song.empty() && events.empty()) continue;
            out << (out.tellp() > 0 ? " " : "") << (i >= 5 ? "L" : "") << i + 1 << ":" << titles[i] << "/"
                << comments[i];
            if (!song.empty()) out << "=" << song;
            if (!events.empty()) out << (events == song + "~" ? "+" : "+" + events);
        }
        std::set<std::string> names;   // mcopy's names for an image, upper case
        const std::string stick = m_medium == Medium::Slot ? ReadWhole(StickPath()).value_or("") : "";
        for (const auto& [name, bytes] : m_medium == Medium::Image ? PeerFiles(m_location)
                                         : m_medium == Medium::Slot ? PeerFiles(SlotCopy(stick))
                                                                    : Files{})
            names.insert(name);
        // A slot's writes stay inside it: slot 0 stays zero, the gaps filler.
        if (m_medium == Medium::Slot && !OutsideAsMade(stick)) out << " #" << kWroteOutsideItsSlot;
        for (const auto& entry : m_medium == Medium::Folder ? std::filesystem::directory_iterator(m_root)
                                                            : std::filesystem::directory_iterator())
            names.insert(entry.path().filename().string());
        for (const std::string& name : names)
            if (std::find(known.begin(), known.end(), Upper(name)) == known.end()) out << " #" << name;
        return out.str();
    }

private:
    using Files = std::map<std::string, std::string>;
    static constexpr char kStickFiller = '\x5A';
    std::string StickPath() const { return m_root + "/stick.bin"; }
    // Slot 1 as an image file of its own, for the peer to read.
    std::string SlotCopy(std::string_view stick) const {
        const std::string copy = m_dir.Path("slot.img");
        WriteWhole(copy, stick.substr(std::min<std::size_t>(stick.size(), kSlotStride), kImageBytes));
        return copy;
    }
    static bool OutsideAsMade(std::string_view stick) {
        const auto all = [&](std::uint64_t from, std::uint64_t to, char c) {
            return std::all_of(stick.begin() + static_cast<std::ptrdiff_t>(from), stick.begin() + static_cast<std::ptrdiff_t>(to),
                               [c](char b) { return b == c; });
        };
        return stick.size() == 2 * kSlotStride && all(0, kImageBytes, '\0') && all(kImageBytes, kSlotStride, kStickFiller) &&
               all(kSlotStride + kImageBytes, 2 * kSlotStride, kStickFiller);
    }
    TempDir m_dir;
    Medium m_medium;
    std::string m_root;
    std::string m_location;
};

// Puts files on the floppy byte for byte (a change without content takes a
// file away), for what the notation cannot say.
inline void PutFiles(const TestFloppy& floppy, const std::vector<FileChange>& files) {
    ASSERT_TRUE(floppy.Open()->Apply(files, CatalogueReserve::Use).ok());
}

class TestFolder {
public:
    explicit TestFolder(std::string_view description, const std::string& where = "")
        : m_path(where.empty() ? m_dir.path() : where) {
        std::filesystem::create_directories(m_path);
        for (const std::string& item : Items(description)) {
            // "Title~=Tag+/comment" read as the floppy's "Title/comment=Tag+".
            const auto eq = item.find('=');
            std::string title = item.substr(0, eq), rest = eq == std::string::npos ? "" : item.substr(eq + 1);
            const bool odd = !title.empty() && title.back() == '~';
            if (odd) title.pop_back();
            const auto slash = rest.find('/');
            const std::string comment = slash == std::string::npos ? "" : rest.substr(slash);
            const SongPlan plan = ParseSong(title + comment + "=" + rest.substr(0, slash));
            const std::string base = m_path + "/" + plan.title;
            WriteWhole(base + (odd ? ".b00" : ".B00"), SongBytes(plan.tag, plan.size));
            if (plan.events) WriteWhole(base + (odd ? ".evt" : ".EVT"), EventsBytes(plan.tag));
            if (plan.hasComment) WriteWhole(base + (odd ? ".CMT" : ".cmt"), Utf8ToCp932(plan.comment).value_or("?"));
        }
    }

    const std::string& path() const { return m_path; }
    std::string Item(const std::string& title) const { return m_path + "/" + title; }

    // The folder as it is now: songs in the notation above, other entries (and a second spelling) as "#name".
    std::string Describe() const {
        std::map<std::string, std::map<std::string, std::string>> songs;   // title -> extension -> real name
        std::vector<std::string> others;
        for (const auto& entry : std::filesystem::directory_iterator(m_path)) {
            const std::string name = entry.path().filename().string();
            const auto dot = name.rfind('.');
            std::string extension = dot == std::string::npos ? "" : name.substr(dot);
            for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            const bool ours = entry.is_regular_file() && (extension == ".b00" || extension == ".evt" || extension == ".cmt");
            if (!ours || !songs[name.substr(0, dot)].emplace(extension, name).second) others.push_back(name);
        }
        std::ostringstream out;
        for (const auto& [title, files] : songs) {
            const auto read = [&](const char* extension) {
                return files.count(extension) != 0 ? ReadWhole(m_path + "/" + files.at(extension)) : std::nullopt;
            };
            const std::string song = TagOf(read(".b00")), events = TagOf(read(".evt"));
            const bool odd = files.count(".b00") != 0 && files.at(".b00") == title + ".b00";
            out << (out.tellp() > 0 ? " " : "") << Blanks(title, ' ', '_') << (odd ? "~" : "");
            if (files.count(".b00") != 0) out << "=" << song;
            if (files.count(".evt") != 0) out << (events == song + "~" ? "+" : "+" + events);
            if (files.count(".cmt") != 0) out << "/" << Blanks(Cp932ToUtf8(read(".cmt").value_or("")), ' ', '_');
        }
        std::sort(others.begin(), others.end());
        for (const std::string& other : others) out << " #" << other;
        return out.str();
    }

private:
    TempDir m_dir;
    std::string m_path;
};

// Entries made from a list: "a/" a folder, "a/b" a file holding its own name (its folders made too).
inline void MakeTree(const std::string& root, std::string_view list) {
    for (const std::string& item : Items(list)) {
        std::filesystem::create_directories(std::filesystem::path(root + "/" + item).parent_path());
        if (!item.ends_with('/')) WriteWhole(root + "/" + item, item);
    }
}

// Everything below `root` in that notation, links never followed: "b=a" a file holding another name, "l@" a
// link, "f|" a FIFO or device (never opened).
inline std::set<std::string> TreeEntries(const std::string& root) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
        const std::string name = entry.path().lexically_relative(root).string();
        const bool link = entry.is_symlink(), folder = !link && entry.is_directory(), file = !link && entry.is_regular_file();
        const std::string bytes = !file ? name : ReadWhole(entry.path()).value_or("?");
        names.insert(link ? name + "@" : folder ? name + "/" : !file ? name + "|" : bytes == name ? name : name + "=" + bytes);
    }
    return names;
}

}  // namespace tunecrate::testing
