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

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
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
        if (auto value = OptionValue(args, i, "--new-floppy")) {
            if (value->empty()) return Failure("option --new-floppy needs a file");
            result.action = CommandLine::Action::NewFloppy;
            result.newFloppy = *value;
            continue;
        }
        return Failure(arg.rfind('-', 0) == 0 ? "unknown option " + arg : "unexpected argument " + arg);
    }
    return result;
}

std::string UsageText() {
    return "Usage: tunecrate [--floppy PATH]\n"
           "       tunecrate --new-floppy FILE\n"
           "Keeps the songs of an instrument's 1.44 MB floppy disks.\n"
           "\n"
           "  --floppy PATH      use PATH as the floppy: a floppy folder or a 1.44 MB\n"
           "                     image file (a mounted disk, any folder standing in\n"
           "                     for one, or a FAT12 image used without mounting)\n"
           "                     instead of looking for a mounted 1.44 MB removable disk\n"
           "  --new-floppy FILE  write FILE as a new, formatted, empty song floppy\n"
           "                     image and exit; an existing FILE is never replaced\n"
           "  --help             show this text and exit\n"
           "  --version          show the version and exit\n"
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
