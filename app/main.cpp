// SPDX-License-Identifier: MIT
#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <pwd.h>
#include <unistd.h>
#include <iostream>

#include <QCoreApplication>

#include "cli/Commands.h"
#include "app/MainApp.h"
#include "app/Translations.h"
#include "core/text/CommandLine.h"
#include "core/Texts.h"

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
