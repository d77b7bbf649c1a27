// SPDX-License-Identifier: MIT
#include "core/CommandLine.h"

namespace tunecrate {

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
        if (arg == "--floppy" || arg.rfind("--floppy=", 0) == 0) {
            std::string value;
            if (arg == "--floppy") {
                if (i + 1 >= args.size()) {
                    result.action = CommandLine::Action::Error;
                    result.error = "option --floppy needs a folder";
                    return result;
                }
                value = args[++i];
            } else {
                value = arg.substr(std::string("--floppy=").size());
            }
            if (value.empty()) {
                result.action = CommandLine::Action::Error;
                result.error = "option --floppy needs a folder";
                return result;
            }
            result.floppy = value;
            continue;
        }
        result.action = CommandLine::Action::Error;
        result.error = arg.rfind('-', 0) == 0 ? "unknown option " + arg : "unexpected argument " + arg;
        return result;
    }
    return result;
}

std::string UsageText() {
    return "Usage: tunecrate [--floppy FOLDER]\n"
           "Keeps the songs of an instrument's 1.44 MB floppy disks.\n"
           "\n"
           "  --floppy FOLDER  use FOLDER as the floppy (a mounted disk or any\n"
           "                   folder standing in for one) instead of looking\n"
           "                   for a mounted 1.44 MB removable disk\n"
           "  --help           show this text and exit\n"
           "  --version        show the version and exit\n"
           "\n"
           "The folder the program is started in is the first hard-disk folder shown.\n";
}

std::string VersionText() {
    return std::string("Tunecrate Ver.") + kVersion;
}

}  // namespace tunecrate
