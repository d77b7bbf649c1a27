// SPDX-License-Identifier: MIT
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/disk/FileOps.h"

namespace tunecrate {

// What the command line asks for.
struct CommandLine {
    enum class Action { Run, Help, Version, NewFloppy, Error, Command };
    Action action = Action::Run;
    std::optional<std::string> floppy;   // --floppy PATH: a folder or an image file
    std::optional<std::string> shelf;    // --shelf DIR: the shelf window opens on DIR
    std::string newFloppy;               // --new-floppy FILE, for Action::NewFloppy
    std::string error;                   // for Action::Error
    // For Action::Command: the command (one of kCommands), its paths, and its options.
    std::string command;
    std::vector<std::string> paths;
    bool csv = false;   // list --csv
    int count = 1;      // new --count N
    bool replace = false;   // backup --replace
    bool forceDevice = false;   // --force-device: a stick device that is not removable or is very large
    bool gaps = false;          // new, copy --gaps: new numbers fill the gaps first
    bool swap = false;          // renumber --swap: exchange numbers with the image there
    bool closeGaps = false;     // renumber --close-gaps SHELF
    std::optional<int> number;  // copy --number N
    int disks = 0;              // ingest --count N; 0: until interrupted
    int retries = 0;            // ingest --retry N: more passes over unreadable sectors
    bool keepCopies = false;    // ingest --keep-copies: disks whose songs the shelf holds are written too
    std::string tableFile;      // ingest --csv FILE
};

// The commands a script runs without a window.
inline constexpr const char* kCommands[] = {"list", "export", "import", "new", "check", "backup", "restore", "eject", "convert",
                                           "remove", "renumber", "copy", "duplicates", "ingest"};

CommandLine ParseCommandLine(const std::vector<std::string>& args);  // without argv[0]
std::string UsageText();
std::string VersionText();   // "Tunecrate Ver.1.0b3"

// How making a new floppy image at `path` ended, as --new-floppy tells it: a
// failure names the path.
Result NewFloppyResult(const std::string& path, Result made);

inline constexpr const char* kVersion = "1.0b3";

}  // namespace tunecrate
