// SPDX-License-Identifier: MIT
#include "core/text/CommandLine.h"

#include "core/Texts.h"

namespace tunecrate {

namespace {

// The value of `--name VALUE` or `--name=VALUE` at args[i] (advancing i past a
// separate value); nullopt when args[i] is another option. An empty value is
// returned as such, for the caller to refuse.
std::optional<std::string> OptionValue(const std::vector<std::string>& args, std::size_t& i, const std::string& name) {
    const std::string& arg = args[i];
    if (arg == name) return i + 1 < args.size() ? args[++i] : std::string();
    if (arg.rfind(name + "=", 0) == 0) return arg.substr(name.size() + 1);
    return std::nullopt;
}

CommandLine Failure(std::string error) {
    CommandLine result;
    result.action = CommandLine::Action::Error;
    result.error = std::move(error);
    return result;
}

bool IsCommand(const std::string& word) {
    for (const char* command : kCommands) {
        if (word == command) return true;
    }
    return false;
}

// "tunecrate COMMAND ...": its options anywhere, then the right number of paths.
CommandLine ParseCommand(const std::vector<std::string>& args) {
    CommandLine result;
    result.action = CommandLine::Action::Command;
    result.command = args[0];
    const std::string& command = result.command;
    bool onlyPaths = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (onlyPaths || arg.empty() || arg[0] != '-' || arg == "-") {
            result.paths.push_back(arg);
        } else if (arg == "--") {
            onlyPaths = true;
        } else if (arg == "--help" || arg == "-h") {
            result.action = CommandLine::Action::Help;
            return result;
        } else if (command == "list" && arg == "--csv") {
            result.csv = true;
        } else if (arg == "--force-device" && command != "eject" && command != "backup" && command != "restore") {
            result.forceDevice = true;
        } else if (command == "backup" && arg == "--replace") {
            result.replace = true;
        } else if (arg == "--gaps" && (command == "new" || command == "copy" || command == "ingest")) {
            result.gaps = true;
        } else if (arg == "--swap" && command == "renumber") {
            result.swap = true;
        } else if (arg == "--close-gaps" && command == "renumber") {
            result.closeGaps = true;
        } else if (auto number = command == "copy" ? OptionValue(args, i, "--number") : std::nullopt) {
            const bool digits = !number->empty() && number->size() <= 3 && number->find_first_not_of("0123456789") == std::string::npos;
            if (!digits) return Failure(Translated(texts::kNumberOption));
            result.number = std::stoi(*number);
        } else if (auto value = command == "new" || command == "ingest" ? OptionValue(args, i, "--count") : std::nullopt) {
            const bool digits = !value->empty() && value->size() <= 4 && value->find_first_not_of("0123456789") == std::string::npos;
            result.count = digits ? std::stoi(*value) : 0;
            if (result.count < 1 || result.count > 1000) return Failure(Translated(texts::kCountRange));
            if (command == "ingest") result.disks = result.count;
        } else if (command == "ingest" && arg == "--keep-copies") {
            result.keepCopies = true;
        } else if (auto retries = command == "ingest" ? OptionValue(args, i, "--retry") : std::nullopt) {
            if (retries->empty() || retries->size() > 2 || retries->find_first_not_of("0123456789") != std::string::npos) {
                return Failure(Translated(texts::kRetryRange));
            }
            result.retries = std::stoi(*retries);
        } else if (auto table = command == "ingest" ? OptionValue(args, i, "--csv") : std::nullopt) {
            if (table->empty()) return Failure(Translated(texts::kCsvOptionEmpty));
            result.tableFile = *table;
        } else {
            return Failure(Translated(texts::kUnknownOptionFor, {arg, command}));
        }
    }
    const std::size_t n = result.paths.size();
    const bool many = command == "list" || command == "check" || command == "remove" || command == "duplicates";
    const bool two = command == "export" || command == "import" || command == "backup" || command == "restore" || command == "convert" ||
                     command == "copy" || command == "ingest" || (command == "renumber" && !result.closeGaps);
    const bool fits = many ? n > 0 : command == "eject" ? n <= 1 : n == (two ? 2u : 1u);
    if (fits && command == "renumber" && !result.closeGaps) {
        const std::string& number = result.paths[1];
        if (number.empty() || number.size() > 3 || number.find_first_not_of("0123456789") != std::string::npos) {
            return Failure(Translated(texts::kNumberOption));
        }
        result.number = std::stoi(number);
    }
    if (!fits) {
        const char* needs = command == "export"    ? texts::kExportNeeds
                            : command == "import"  ? texts::kImportNeeds
                            : command == "new"     ? texts::kNewNeeds
                            : command == "backup"  ? texts::kBackupNeeds
                            : command == "restore" ? texts::kRestoreNeeds
                            : command == "eject"   ? texts::kEjectNeeds
                            : command == "convert" ? texts::kConvertNeeds
                            : command == "renumber" ? texts::kRenumberNeeds
                            : command == "copy"    ? texts::kCopyNeeds
                            : command == "ingest"  ? texts::kIngestNeeds
                                                   : texts::kPathsNeeded;
        return Failure(Translated(needs, {command}));
    }
    return result;
}

// A word that is no command is a path when it reads as one or names
// something that exists; else it is taken for a mistyped command.
bool LooksLikePath(const std::string& word) {
    return word.find_first_of("/.") != std::string::npos || PathExists(word);
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
    if (!args.empty() && IsCommand(args[0])) return ParseCommand(args);
    CommandLine result;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            result.action = CommandLine::Action::Help;
            return result;
        }
        if (arg == "--version") {
            result.action = CommandLine::Action::Version;
            return result;
        }
        if (auto value = OptionValue(args, i, "--floppy")) {
            if (value->empty()) return Failure(Translated(texts::kFloppyOptionEmpty));
            result.floppy = *value;
            continue;
        }
        if (auto value = OptionValue(args, i, "--shelf")) {
            if (value->empty()) return Failure(Translated(texts::kShelfOptionEmpty));
            result.shelf = *value;
            continue;
        }
        if (auto value = OptionValue(args, i, "--new-floppy")) {
            if (value->empty()) return Failure(Translated(texts::kNewFloppyOptionEmpty));
            result.action = CommandLine::Action::NewFloppy;
            result.newFloppy = *value;
            continue;
        }
        if (arg.rfind('-', 0) == 0) return Failure(Translated(texts::kUnknownOption, {arg}));
        if (result.floppy || !LooksLikePath(arg)) {
            return Failure(i == 0 && !result.floppy
                               ? Translated(texts::kUnknownCommand, {arg})
                               : Translated(texts::kUnexpectedArgument, {arg}));
        }
        // "tunecrate disk.img", as a file manager starts it.
        result.floppy = arg;
    }
    return result;
}

std::string UsageText() { return Translated(texts::kUsage); }

std::string VersionText() {
    return std::string("Tunecrate Ver.") + kVersion;
}

Result NewFloppyResult(const std::string& path, Result made) {
    if (made.ok()) return made;
    made.reason = made.status == Status::TargetExists ? Translated(texts::kImageExists, {path})
                                                      : Translated(texts::kCannotWrite, {path, made.reason});
    return made;
}

}  // namespace tunecrate
