// SPDX-License-Identifier: MIT
#pragma once

#include <gtest/gtest.h>

#include <iconv.h>
#include <stdlib.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "QtPrinters.h"
#include "TempDir.h"
#include "app/MainDialog.h"

namespace tunecrate::testing {

// A fresh folder under /tmp, removed with everything in it when the test ends.
using TempFolder = TempDir;

// UTF-8 to CP932 with glibc's iconv, kept apart from the program's own encoder
// so the tests do not trust what they check.
inline std::string Cp932(std::string_view utf8) {
    iconv_t cd = ::iconv_open("CP932", "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        ADD_FAILURE() << "iconv has no CP932";
        return {};
    }
    std::string in(utf8);
    std::string out(in.size() * 2 + 8, '\0');
    char* inPtr = in.data();
    char* outPtr = out.data();
    std::size_t inLeft = in.size();
    std::size_t outLeft = out.size();
    if (::iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1)) {
        ADD_FAILURE() << "cannot encode \"" << utf8 << "\" in CP932";
    }
    ::iconv_close(cd);
    out.resize(out.size() - outLeft);
    return out;
}

// One slot of a prepared floppy: sizes of its files (-1: file absent).
struct TestSlot {
    std::string title;     // UTF-8
    std::string comment;   // UTF-8
    long songBytes = -1;   // MDR_nn.B00
    long eventBytes = -1;  // MDR_nn.EVT
};

// Writes a floppy as the instrument leaves it: slot files, song.nam of 40 lines
// of 17 bytes and comments.dat of 40 lines, both CP932 with CR LF.
inline void WriteFloppy(const TempFolder& folder, const std::vector<TestSlot>& songs) {
    std::string titles;
    std::string comments;
    for (std::size_t i = 0; i < 40; ++i) {
        std::string title = i < songs.size() ? Cp932(songs[i].title) : std::string();
        title.resize(17, ' ');
        titles += title + "\r\n";
        comments += (i < songs.size() ? Cp932(songs[i].comment) : std::string()) + "\r\n";
    }
    folder.Write("song.nam", titles);
    folder.Write("comments.dat", comments);
    for (std::size_t i = 0; i < songs.size(); ++i) {
        const std::string base = "MDR_0" + std::to_string(i);
        if (songs[i].songBytes >= 0) folder.WriteSized(base + ".B00", static_cast<std::size_t>(songs[i].songBytes));
        if (songs[i].eventBytes >= 0) folder.WriteSized(base + ".EVT", static_cast<std::size_t>(songs[i].eventBytes));
    }
}

// The demo floppy: a full song, a song without events, an empty slot, another
// full song, and an empty slot that still has an events file and a comment.
inline std::vector<TestSlot> DemoSlots() {
    return {
        {"Blues in F", "練習用", 18432, 4096},
        {"夜想曲 第2番", "ピアノ", 9300, -1},
        {"", "", -1, -1},
        {"さくらさくら", "春の演奏会", 30720, 2048},
        {"", "メモ", -1, 512},
    };
}

// Options for a main window that sees no mounted floppy at all.
inline MainDialogOptions OptionsWithoutMounts() {
    MainDialogOptions options;
    options.workingDirectory = std::filesystem::temp_directory_path().string();
    options.mountTable = [] { return std::vector<MountEntry>{}; };
    return options;
}

}  // namespace tunecrate::testing
