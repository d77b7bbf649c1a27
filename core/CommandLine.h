// SPDX-License-Identifier: MIT
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tunecrate {

// What the command line asks for.
struct CommandLine {
    enum class Action { Run, Help, Version, Error };
    Action action = Action::Run;
    std::optional<std::string> floppy;   // --floppy PATH
    std::string error;                   // for Action::Error
};

CommandLine ParseCommandLine(const std::vector<std::string>& args);  // without argv[0]
std::string UsageText();
std::string VersionText();   // "Tunecrate Ver.1.0b3"

inline constexpr const char* kVersion = "1.0b3";

}  // namespace tunecrate
