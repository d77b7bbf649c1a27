// SPDX-License-Identifier: MIT
// An inventory of every song on a floppy and in song folders (where it is,
// its files, its title and comment), read from the disks' descriptions
// (Songs.h), and the judge of a state that an interrupted operation left:
// no song is lost unless the operation was to replace or delete it, every
// song is whole (its own events file, old or new), every title and comment
// on a song is that song's or blank, and nothing is left that neither the
// disks before nor after the operation hold.
#pragma once

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "Songs.h"

namespace tunecrate::testing {

struct SongCopy {
    std::string place;               // "slot 2", "Songs/Blues"
    bool onFloppy = false;
    std::string tag, events;         // the song's bytes and its events file's by tag; "" none
    std::string title, comment;      // a slot's lines, or a file's title and its comment file's text
    bool hasComment = false;         // a folder song's .cmt file is there
};

struct Inventory {
    std::vector<SongCopy> songs;
    std::map<int, std::pair<std::string, std::string>> bareSlots;   // slot -> title, comment (no song there)
    std::map<int, std::string> beyond;                              // catalogue lines 6 to 40
    std::set<std::string> others;                                   // any other file, by name
};

// "Blues+" -> events of "Blues" ("Blues~"), "Blues+Other~" -> "Other~".
inline void SplitSong(const std::string& text, std::string& tag, std::string& events) {
    const auto plus = text.find('+');
    tag = text.substr(0, plus);
    if (plus == std::string::npos) return;
    events = plus + 1 == text.size() ? tag + "~" : text.substr(plus + 1);
}

// Adds a floppy's description ("1:Blues/live=Blues+ L10:Far/ #X") to `into`.
inline void AddFloppy(Inventory& into, const std::string& description) {
    for (const std::string& item : Items(description)) {
        if (item[0] == '#') {
            into.others.insert("floppy/" + item.substr(1));
            continue;
        }
        const bool beyond = item[0] == 'L';
        const auto colon = item.find(':');
        const int number = std::stoi(item.substr(beyond ? 1 : 0, colon));
        std::string rest = item.substr(colon + 1);
        const auto slash = rest.find('/');
        SongCopy copy;
        copy.onFloppy = true;
        copy.place = "slot " + std::to_string(number);
        copy.title = rest.substr(0, slash);
        rest = rest.substr(slash + 1);
        // "comment=Song+Events~", or "comment+Events~" for an events file without its song
        const auto eq = rest.find('='), plus = rest.find('+');
        copy.comment = rest.substr(0, std::min(eq, plus));
        if (eq < plus) {
            SplitSong(rest.substr(eq + 1), copy.tag, copy.events);
        } else if (plus != std::string::npos) {
            copy.events = rest.substr(plus + 1);
        }
        if (beyond) {
            into.beyond[number] = copy.title + "/" + copy.comment;
        } else if (copy.tag.empty() && copy.events.empty()) {
            into.bareSlots[number] = {copy.title, copy.comment};
        } else {
            into.songs.push_back(copy);
        }
    }
}

// Adds a song folder's description ("Blues=Blues+/live #x") under `name`.
inline void AddFolder(Inventory& into, const std::string& name, const std::string& description) {
    for (std::string item : Items(description)) {
        if (item[0] == '#') {
            into.others.insert(name + "/" + item.substr(1));
            continue;
        }
        SongCopy copy;
        const auto slash = item.find('/');
        copy.hasComment = slash != std::string::npos;
        if (copy.hasComment) copy.comment = item.substr(slash + 1);
        item = item.substr(0, slash);
        const auto eq = item.find('=');
        copy.title = item.substr(0, std::min(eq, item.find('+')));
        if (!copy.title.empty() && copy.title.back() == '~') copy.title.pop_back();
        if (eq != std::string::npos) SplitSong(item.substr(eq + 1), copy.tag, copy.events);
        copy.place = name + "/" + copy.title;
        into.songs.push_back(copy);
    }
}

// What is wrong with `now`, a state that an operation from `before` towards
// `after` was interrupted in; empty when nothing. An operation that stopped
// at a failure (not killed) leaves more: every song it was not to replace is
// still under its title somewhere. Where a disk had no room to blank a slot's
// texts before its song went, the slot may keep that song's old texts.
inline std::string JudgeInventory(const Inventory& before, const Inventory& after, const Inventory& now,
                                  bool stoppedAtFailure = false, bool oldTextsMayStay = false) {
    struct Known {
        int countBefore = 0, countAfter = 0;
        std::set<std::string> events, slotTitles = {""}, slotComments = {""};
        std::set<std::tuple<std::string, bool, std::string>> files;   // title, has comment, comment
    };
    std::map<std::string, Known> known;
    for (const Inventory* side : {&before, &after}) {
        for (const SongCopy& copy : side->songs) {
            Known& k = known[copy.tag];
            ++(side == &before ? k.countBefore : k.countAfter);
            k.events.insert(copy.events);
            if (copy.onFloppy) {
                k.slotTitles.insert(copy.title);
                k.slotComments.insert(copy.comment);
            } else {
                k.files.insert({copy.title, copy.hasComment, copy.comment});
            }
        }
    }
    std::map<std::string, int> counts;
    for (const SongCopy& copy : now.songs) {
        const std::string what = copy.place + " (" + copy.tag + ")";
        ++counts[copy.tag];
        const auto same = [&](const SongCopy& other) { return other.place == copy.place && other.events == copy.events; };
        if (copy.tag.empty() && std::ranges::none_of(before.songs, same)) return copy.place + " holds an events file without its song";
        if (copy.tag.empty()) continue;   // as another program left it
        if (!known.contains(copy.tag)) return what + ": a song neither before nor after";
        const Known& k = known.at(copy.tag);
        if (!k.events.contains(copy.events)) return what + " has the events file " + copy.events;
        if (copy.onFloppy && !k.slotTitles.contains(copy.title)) return what + " is titled " + copy.title;
        if (copy.onFloppy && !k.slotComments.contains(copy.comment)) return what + " has the comment " + copy.comment;
        if (!copy.onFloppy && !k.files.contains({copy.title, copy.hasComment, copy.comment}))
            return what + " is named " + copy.title + (copy.hasComment ? " with the comment " + copy.comment : " without a comment");
    }
    for (const auto& [tag, k] : known) {
        const int kept = std::min(k.countBefore, k.countAfter);
        if (counts[tag] < kept) return "the song " + tag + " is lost";
        const auto titled = [&](const SongCopy& copy) { return copy.tag == tag && !copy.title.empty(); };
        if (stoppedAtFailure && kept > 0 && std::ranges::any_of(before.songs, titled) && std::ranges::none_of(now.songs, titled))
            return "the song " + tag + " has lost its title";
    }
    for (const auto& [slot, texts] : now.bareSlots) {
        if (texts.first.empty() && texts.second.empty()) continue;
        const auto was = [&](const Inventory& side) { return side.bareSlots.contains(slot) && side.bareSlots.at(slot) == texts; };
        const auto itsSong = [&](const SongCopy& copy) {
            return copy.place == "slot " + std::to_string(slot) && std::pair(copy.title, copy.comment) == texts;
        };
        if (!was(before) && !was(after) && !(oldTextsMayStay && std::ranges::any_of(before.songs, itsSong))) return "slot " + std::to_string(slot) + " without a song is titled " + texts.first + "/" + texts.second;
    }
    for (const auto& [line, text] : now.beyond) {
        const auto was = [&](const Inventory& side) { return side.beyond.contains(line) && side.beyond.at(line) == text; };
        if (!was(before) && !was(after)) return "line " + std::to_string(line) + " became " + text;
    }
    for (const auto& [line, text] : before.beyond)
        if (!now.beyond.contains(line) && after.beyond.contains(line)) return "line " + std::to_string(line) + " is lost";
    for (const std::string& other : now.others)
        if (!before.others.contains(other) && !after.others.contains(other)) return "left behind: " + other;
    return {};
}

}  // namespace tunecrate::testing
