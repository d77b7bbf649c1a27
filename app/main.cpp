// SPDX-License-Identifier: MIT
#include <cerrno>
#include <clocale>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>
#include <iostream>

#include <QCoreApplication>

#include "cli/Commands.h"
#include "app/Translations.h"
#include "core/text/CommandLine.h"
#include "core/Texts.h"

namespace tunecrate {
namespace {

// The window's program: beside this one in a build, in the programs' own
// folder of the installed tree otherwise.
std::string WindowProgram() {
    std::error_code error;
    const std::filesystem::path here = std::filesystem::read_symlink("/proc/self/exe", error).parent_path();
    const std::filesystem::path beside = here / "tunecrate-window";
    if (std::filesystem::exists(beside, error)) return beside.string();
    return (here / TUNECRATE_WINDOW_FROM_BIN).lexically_normal().string();
}

}  // namespace
}  // namespace tunecrate

int main(int argc, char** argv) {
    using tunecrate::CommandLine;
    // The system's error reasons (strerror) in the user's language, in the window too.
    std::setlocale(LC_ALL, "");
    std::vector<std::string> args(argv + 1, argv + argc);
    CommandLine command = tunecrate::ParseCommandLine(args);
    if (command.action != CommandLine::Action::Run) {
        // Every text of the command line in the user's language, its own
        // refusals too: they are made while parsing, so parse again.
        int qtArgc = 1;
        QCoreApplication app(qtArgc, argv);
        const auto translations = tunecrate::InstallTranslations(app);
        command = tunecrate::ParseCommandLine(args);
        switch (command.action) {
            case CommandLine::Action::Help:
                std::cout << tunecrate::UsageText();
                return 0;
            case CommandLine::Action::Version:
                std::cout << tunecrate::VersionText() << "\n";
                return 0;
            case CommandLine::Action::Error:
                std::cerr << "tunecrate: " << command.error << "\n" << tunecrate::Translated(tunecrate::texts::kTryHelp) << "\n";
                return 2;
            case CommandLine::Action::NewFloppy:
                return tunecrate::MakeNewFloppy(command.newFloppy, std::cerr);
            case CommandLine::Action::Command:
                return tunecrate::RunCommand(command, std::cout, std::cerr);
            case CommandLine::Action::Run:
                break;
        }
    }
    // The window is a program of its own, so that a command never loads its libraries.
    const std::string window = tunecrate::WindowProgram();
    ::execv(window.c_str(), argv);
    std::cerr << "tunecrate: " << window << ": " << std::strerror(errno) << "\n";
    return 1;
}
