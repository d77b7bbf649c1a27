// SPDX-License-Identifier: MIT
// Random sequences of drops, deletions, renames and catalogue edits on a floppy (a folder or an image) and two
// song folders, checked after every step against a model of which song is where under which title: no song is lost
// or changed unless the user replaced or deleted it, every floppy title stays with its song, song.nam keeps its
// size, and no staged or stray file is left behind.
#include <gtest/gtest.h>
#include <rapidcheck.h>
#include <rapidcheck/gtest.h>
#include <rapidcheck/state.h>

#include <array>

#include "ScriptedPrompter.h"
#include "Songs.h"
#include "core/songs/FloppyDrop.h"
#include "core/songs/FolderDrop.h"
#include "core/songs/Prompter.h"
#include "core/songs/SongDeletion.h"
#include "core/songs/SongRename.h"

namespace tunecrate::testing {
namespace {

// A floppy slot, or a song of a folder: its song (by tag; "" none), title, comment and whether it has a .cmt file.
struct Entry { std::string tag, title, comment; bool commentFile = false; };
struct Model { std::array<Entry, 5> slots; std::array<std::map<std::string, Entry>, 2> folders; };   // folders A, B

const std::set<std::string> kWithEvents = {"S0", "S2"};
std::string Song(const std::string& tag) { return tag.empty() ? "" : "=" + tag + (kWithEvents.contains(tag) ? "+" : ""); }

// The model in the notation the disks describe themselves in.
std::string Floppy(const Model& m) {
    std::string out;
    for (int i = 0; i < 5; ++i) {
        const Entry& e = m.slots[i];
        if (!e.tag.empty() || !e.title.empty() || !e.comment.empty())
            out += (out.empty() ? "" : " ") + std::to_string(i + 1) + ":" + e.title + "/" + e.comment + Song(e.tag);
    }
    return out;
}
std::string Folder(const std::map<std::string, Entry>& songs) {
    std::string out;
    for (const auto& [title, e] : songs) out += (out.empty() ? "" : " ") + title + Song(e.tag) + (e.commentFile ? "/" + e.comment : "");
    return out;
}

Model Initial() {
    return {{Entry{"S0", "Blues", "live"}, {"S1", "Rock", ""}, {}, {"S5", "", "far"}, {}},
            {std::map<std::string, Entry>{{"Jazz", {"S2", "Jazz", "take", true}}, {"Dawn", {"S3", "Dawn", ""}}},
             std::map<std::string, Entry>{{"Demo", {"S4", "Demo", "live", true}}}}};
}

struct Disks {
    explicit Disks(Medium m)
        : floppy(m, Floppy(Initial())), a(Folder(Initial().folders[0]), work.Path("A")), b(Folder(Initial().folders[1]), work.Path("B")) {}
    TempDir work;
    TestFloppy floppy;
    TestFolder a, b;
};

enum Kind { kDrop, kDeleteSlots, kDeleteSongs, kRename, kEdit };
struct Step : rc::state::Command<Model, Disks> {
    int kind, from = 0, onto = 0, slot = 0;   // from: 0 the floppy, 1 A, 2 B; onto: slot, tree A, tree B, list A, list B
    bool move = false;
    std::vector<std::string> items;            // slot indices or titles
    std::vector<bool> answers;
    std::string text, comment;

    // Drops of floppy songs onto slots, where songs meet their own slots, come most often.
    explicit Step(const Model& m)
        : kind(*rc::gen::weightedElement<int>({{6, kDrop}, {1, kDeleteSlots}, {1, kDeleteSongs}, {1, kRename}, {1, kEdit}})) {
        from = kind == kDrop ? *rc::gen::weightedElement<int>({{2, 0}, {1, 1}, {1, 2}})
                             : kind == kDeleteSlots || kind == kEdit ? 0 : *rc::gen::inRange(1, 3);
        onto = *rc::gen::weightedElement<int>({{4, 0}, {1, 1}, {1, 2}, {1, 3}, {1, 4}});
        slot = *rc::gen::inRange(0, 5);
        move = *rc::gen::arbitrary<bool>();
        for (int s = 0; s < 5 && from == 0; ++s)
            if (*rc::gen::arbitrary<bool>()) items.push_back(std::to_string(s));
        for (const auto& [title, e] : from == 0 ? std::map<std::string, Entry>{} : m.folders[from - 1])
            if (*rc::gen::arbitrary<bool>()) items.push_back(title);
        answers = *rc::gen::container<std::vector<bool>>(rc::gen::weightedElement<bool>({{3, true}, {1, false}}));
        text = *rc::gen::element<std::string>("Blues", "Rock", "Jazz", "Mix", "");
        comment = *rc::gen::element<std::string>("", "live", "take");
    }

    // A shrunk sequence may name songs that an earlier step took away.
    void checkPreconditions(const Model& m) const override {
        for (const std::string& title : from == 0 ? std::vector<std::string>{} : items) RC_PRE(m.folders[from - 1].contains(title));
    }

    void apply(Model& m) const override {
        auto& folder = m.folders[std::max(from, 1) - 1];
        std::size_t asked = 0;
        const auto yes = [&] { return asked < answers.size() ? answers[asked++] : true; };
        std::vector<int> slots;   // the slots named; for a drop, those that hold a song
        for (const std::string& item : from == 0 ? items : std::vector<std::string>{})
            if (kind != kDrop || !m.slots[std::stoi(item)].tag.empty()) slots.push_back(std::stoi(item));
        if (kind == kDeleteSlots) {
            for (int s : slots) m.slots[s] = {};
        } else if (kind == kDeleteSongs) {
            for (const std::string& title : items) folder.erase(title);
        } else if (kind == kRename && !items.empty() && !text.empty() && !folder.contains(text)) {
            folder[text] = folder.at(items[0]);
            folder.erase(items[0]);
        } else if (kind == kEdit) {
            m.slots[slot] = {m.slots[slot].tag, text, comment};
        } else if (kind == kDrop && from == 0 && onto == 0) {   // floppy songs onto consecutive slots
            std::vector<std::pair<int, int>> moves;               // each asked about in slot order
            for (int i = 0; i < static_cast<int>(slots.size()) && slot + i < 5; ++i) {
                if (slots[i] == slot + i) return;                 // a song onto its own slot: refused
                moves.emplace_back(slots[i], slot + i);
            }
            std::erase_if(moves, [&](const auto& one) { return !m.slots[one.second].tag.empty() && !yes(); });
            const auto before = m.slots;
            for (const auto& [source, target] : moves) m.slots[target] = before[source];
            for (const auto& [source, target] : moves) {   // a source that received a song keeps it
                if (move && std::ranges::none_of(moves, [&](const auto& in) { return in.second == source; })) m.slots[source] = {};
            }
        } else if (kind == kDrop && from == 0) {   // floppy songs into a folder, under their titles
            auto& target = m.folders[(onto - 1) % 2];
            std::set<std::string> written;   // a second song of a title never replaces the first
            for (int s : slots) {
                const std::string name = m.slots[s].title.empty() ? SlotName(s) : m.slots[s].title;
                if (written.contains(name) || (target.contains(name) && !yes()) || !written.insert(name).second) continue;
                target[name] = {m.slots[s].tag, name, m.slots[s].comment, true};
                if (move) m.slots[s] = {};
            }
        } else if (kind == kDrop && onto == 0) {   // hard-disk songs onto consecutive slots, as far as the fifth
            for (int target = slot; const std::string& title : items) {
                if (target >= 5) break;
                if (!m.slots[target].tag.empty() && !yes()) { ++target; continue; }   // a declined slot is used up
                m.slots[target++] = {folder.at(title).tag, title, folder.at(title).comment};
                if (move) folder.erase(title);
            }
        } else if (kind == kDrop && (onto - 1) % 2 != from - 1) {   // hard-disk songs into another folder: tree or list
            for (const std::string& title : items) {
                if (m.folders[(onto - 1) % 2].contains(title) && !yes()) continue;
                m.folders[(onto - 1) % 2][title] = folder.at(title);
                if (move) folder.erase(title);
            }
        }
    }

    void run(const Model& s0, Disks& disks) const override {
        std::vector<SlotRow> rows = RowsOf(disks.floppy.Open().get());   // as the window shows the floppy now
        auto volume = disks.floppy.Open();                 // after: an open image is locked
        ScriptedPrompter user(true, answers);
        const std::string folder = (from == 2 ? disks.b : disks.a).path();
        std::vector<int> slots;
        for (const std::string& item : from == 0 ? items : std::vector<std::string>{}) slots.push_back(std::stoi(item));
        const SongSource parsed = SourceOf(from == 0 ? "FD" : "HD", items, folder);
        DropContext context{volume.get(), rows, user, move};
        const std::string target = (onto % 2 == 1 ? disks.a : disks.b).path();
        if (kind == kDrop && onto == 0) DropOntoFloppyList(context, slot, parsed);
        if (kind == kDrop && (onto == 1 || onto == 2)) DropIntoFolder(context, target, parsed);
        if (kind == kDrop && onto >= 3) DropOntoHardDiskList(context, target, parsed);
        if (kind == kDeleteSlots) RC_ASSERT(DeleteFloppySlots(*volume, rows, slots).ok());
        if (kind == kDeleteSongs) RC_ASSERT(DeleteHardDiskSongs(folder, items).ok());
        if (kind == kRename) RenameHardDiskSong(folder, items.empty() ? "Ghost" : items[0], text);
        if (kind == kEdit) RC_ASSERT(EditSlotText(*volume, rows, SlotText{slot, text, comment}).ok());
        RC_ASSERT(volume->FileSize(kTitlesFile) == std::optional<std::uint64_t>(760));
        volume.reset();
        const Model expected = nextState(s0);
        RC_ASSERT(disks.floppy.Describe() == Floppy(expected));
        RC_ASSERT(disks.a.Describe() == Folder(expected.folders[0]));
        RC_ASSERT(disks.b.Describe() == Folder(expected.folders[1]));
    }

    void show(std::ostream& os) const override {
        os << std::array{"drop", "delete slots", "delete songs", "rename", "edit"}[kind] << " from " << "FAB"[from] << " {";
        for (const std::string& item : items) os << " " << item;
        os << " } " << (kind != kDrop ? "" : move ? "moved onto " : "copied onto ");
        if (kind == kDrop) os << std::array{"slot", "tree A", "tree B", "list A", "list B"}[onto] << ", answers " << rc::toString(answers);
        os << " slot " << slot + 1 << (kind == kRename || kind == kEdit ? " \"" + text + "\" \"" + comment + "\"" : "");
    }
};

RC_GTEST_PROP(StateMachineTest, SongsStayWholeAndTitledThroughAnySequence, ()) {
    const bool image = *rc::gen::arbitrary<bool>();
    Disks disks(image ? Medium::Image : Medium::Folder);
    RC_ASSERT(disks.floppy.Describe() == Floppy(Initial()));
    const auto commands = *rc::gen::resize(7, rc::state::gen::commands(Initial(), rc::state::gen::execOneOfWithArgs<Step>()));
    rc::state::runAll(commands, Initial(), disks);
    RC_ASSERT(!image || Fsck(disks.floppy.location()).exitCode == 0);
}

}  // namespace
}  // namespace tunecrate::testing
