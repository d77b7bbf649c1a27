// SPDX-License-Identifier: MIT
// The window's program, started by the command line's (main.cpp) in its own
// place when no command is given, with the same arguments.
#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <pwd.h>
#include <unistd.h>

#include "app/MainApp.h"
#include "core/text/CommandLine.h"

int main(int argc, char** argv) {
    using tunecrate::CommandLine;
    // The system's error reasons (strerror) in the user's language, in the window too.
    std::setlocale(LC_ALL, "");
    const CommandLine command = tunecrate::ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    if (command.action != CommandLine::Action::Run) return 2;   // the command line's program answers these
    tunecrate::SessionOptions options;
    options.floppy = command.floppy;
    options.shelf = command.shelf;
    std::error_code error;
    options.workingDirectory = std::filesystem::current_path(error).string();
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
        options.home = home;
    } else if (const passwd* user = getpwuid(getuid()); user != nullptr && user->pw_dir != nullptr) {
        options.home = user->pw_dir;
    }
    // Qt sees only the program name: every option on the line is ours.
    int qtArgc = 1;
    return tunecrate::MainApp(options).Run(qtArgc, argv);
}
