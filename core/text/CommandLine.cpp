// SPDX-License-Identifier: MIT
#include "core/text/CommandLine.h"

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
        } else if (command == "backup" && arg == "--replace") {
            result.replace = true;
        } else if (auto value = command == "new" ? OptionValue(args, i, "--count") : std::nullopt) {
            const bool digits = !value->empty() && value->size() <= 4 && value->find_first_not_of("0123456789") == std::string::npos;
            result.count = digits ? std::stoi(*value) : 0;
            if (result.count < 1 || result.count > 1000) return Failure("option --count needs a number from 1 to 1000");
        } else {
            return Failure("unknown option " + arg + " for " + command);
        }
    }
    const std::size_t n = result.paths.size();
    const bool many = command == "list" || command == "check";
    const bool two = command == "export" || command == "import" || command == "backup" || command == "restore";
    const bool fits = many ? n > 0 : command == "eject" ? n <= 1 : n == (two ? 2u : 1u);
    if (!fits) {
        const char* what = command == "export"    ? "an image or floppy folder, then a folder"
                           : command == "import"  ? "a folder of songs, then an image or a shelf folder"
                           : command == "new"     ? "one image file or shelf folder"
                           : command == "backup"  ? "a floppy drive or mounted floppy, then an image file"
                           : command == "restore" ? "an image file, then a floppy drive"
                           : command == "eject"   ? "at most one floppy drive or mounted floppy"
                                                  : "at least one image, floppy folder or shelf folder";
        return Failure(command + " needs " + what);
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
            if (value->empty()) return Failure("option --floppy needs a folder or an image file");
            result.floppy = *value;
            continue;
        }
        if (auto value = OptionValue(args, i, "--shelf")) {
            if (value->empty()) return Failure("option --shelf needs a folder");
            result.shelf = *value;
            continue;
        }
        if (auto value = OptionValue(args, i, "--new-floppy")) {
            if (value->empty()) return Failure("option --new-floppy needs a file");
            result.action = CommandLine::Action::NewFloppy;
            result.newFloppy = *value;
            continue;
        }
        if (arg.rfind('-', 0) == 0) return Failure("unknown option " + arg);
        if (result.floppy || !LooksLikePath(arg)) {
            return Failure(i == 0 && !result.floppy
                               ? "unknown command " + arg + " (the commands are list, export, import, new, check, backup, restore and eject)"
                               : "unexpected argument " + arg);
        }
        // "tunecrate disk.img", as a file manager starts it.
        result.floppy = arg;
    }
    return result;
}

std::string UsageText() {
    return "Usage: tunecrate [--floppy PATH | PATH] [--shelf DIR]\n"
           "       tunecrate --new-floppy FILE\n"
           "       tunecrate COMMAND [OPTIONS] PATH...\n"
           "Keeps the songs of an instrument's 1.44 MB floppy disks.\n"
           "\n"
           "  --floppy PATH      use PATH as the floppy: a floppy folder, a 1.44 MB\n"
           "                     image file or a floppy drive's device (a mounted disk,\n"
           "                     any folder standing in for one, or a FAT12 image or\n"
           "                     /dev/sdX used without mounting)\n"
           "                     instead of looking for a mounted 1.44 MB removable disk\n"
           "  PATH               the same as --floppy PATH\n"
           "  --shelf DIR        open the disk shelf on DIR, a folder of floppy images\n"
           "  --new-floppy FILE  write FILE as a new, formatted, empty song floppy\n"
           "                     image and exit; an existing FILE is never replaced\n"
           "  --help             show this text and exit\n"
           "  --version          show the version and exit\n"
           "\n"
           "Commands (no window; exit status 0 on success, 1 on a failure, 2 on bad usage):\n"
           "  list [--csv] PATH...       every song of images, floppy folders or shelf\n"
           "                             folders: image, slot, title, bytes, comment\n"
           "  export SOURCE DIR          copy every song of an image or floppy folder into\n"
           "                             DIR as TITLE.B00/.EVT/.cmt; never replaces a file\n"
           "  import DIR TARGET          put the songs of DIR into the free slots of an\n"
           "                             image, or of a shelf folder's last image and then\n"
           "                             of new numbered images; never replaces a song\n"
           "  new [--count N] PATH       make a new empty song floppy image PATH, or N\n"
           "                             with the next free numbers in a shelf folder PATH\n"
           "  check PATH...              read each image as the program does and report\n"
           "                             every problem; exit status 1 when there is one\n"
           "  backup [--replace] FLOPPY IMAGE\n"
           "                             read the whole floppy (a drive such as /dev/sdb, or\n"
           "                             a mounted floppy's folder) into IMAGE, retrying bad\n"
           "                             sectors; unreadable ones are zeros, listed in\n"
           "                             IMAGE.log; exit status 1 when there are any\n"
           "  restore IMAGE DEVICE       write a 1.44 MB image over the whole floppy in the\n"
           "                             drive DEVICE (not mounted), then read it back and\n"
           "                             compare; exit status 1 when a sector differs\n"
           "  eject [FLOPPY]             flush, unmount and power off the floppy drive (the\n"
           "                             one found when none is named)\n"
           "\n"
           "The folder the program is started in is the first hard-disk folder shown.\n";
}

std::string VersionText() {
    return std::string("Tunecrate Ver.") + kVersion;
}

std::string NewFloppyFailure(const std::string& path, const Result& result) {
    if (result.ok()) return {};
    if (result.status == Status::TargetExists) return path + " already exists";
    const std::string reason = result.reason;
    return "cannot write " + path + (reason.empty() ? std::string() : ": " + reason);
}

}  // namespace tunecrate
