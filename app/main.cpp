// SPDX-License-Identifier: MIT
// The command line: no Qt is loaded until a text is said or a disk ejected.
#include <dlfcn.h>
#include <unistd.h>

#include <cerrno>
#include <clocale>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <iostream>

#include "app/QtParts.h"
#include "cli/Commands.h"
#include "core/text/CommandLine.h"
#include "core/Texts.h"

namespace tunecrate {
namespace {

// The window's program, or a part of this one: beside this program in a
// build, in the programs' own folder of the installed tree otherwise.
std::string ProgramPart(const std::string& name) {
    std::error_code error;
    const std::filesystem::path here = std::filesystem::read_symlink("/proc/self/exe", error).parent_path();
    const std::filesystem::path beside = here / name;
    if (std::filesystem::exists(beside, error)) return beside.string();
    return (here / TUNECRATE_WINDOW_FROM_BIN).parent_path().append(name).lexically_normal().string();
}

// The part with Qt in it, loaded once, when first needed; why not, where it cannot be.
const Expected<const QtParts*>& LoadedQtParts() {
    static const Expected<const QtParts*> parts = []() -> Expected<const QtParts*> {
        const std::string path = ProgramPart("tunecrate-qt.so");
        void* part = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        const auto entry = part ? reinterpret_cast<const QtParts* (*)()>(::dlsym(part, "tunecrate_qt_parts")) : nullptr;
        if (entry == nullptr) {
            const char* why = ::dlerror();
            return Result::Refused(why ? why : path);
        }
        return entry();
    }();
    return parts;
}

}  // namespace
}  // namespace tunecrate

int main(int argc, char** argv) {
    using tunecrate::CommandLine;
    // The system's error reasons (strerror) in the user's language, in the window too.
    std::setlocale(LC_ALL, "");
    // Every text of the command line in the user's language, its own refusals while parsing too.
    tunecrate::SetTextTranslator([](const char* source) {
        const auto& parts = tunecrate::LoadedQtParts();
        return parts ? (*parts)->translate(source) : std::string(source);
    });
    const std::vector<std::string> args(argv + 1, argv + argc);
    const CommandLine command = tunecrate::ParseCommandLine(args);
    if (command.action != CommandLine::Action::Run) {
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
                return tunecrate::RunCommand(command, std::cout, std::cerr, []() -> tunecrate::Expected<std::unique_ptr<tunecrate::DiskService>> {
                    const auto& parts = tunecrate::LoadedQtParts();
                    if (!parts) return parts.error();
                    return (*parts)->diskService();
                });
            case CommandLine::Action::Run:
                break;
        }
    }
    // The window is a program of its own, so that a command never loads its libraries.
    const std::string window = tunecrate::ProgramPart("tunecrate-window");
    ::execv(window.c_str(), argv);
    std::cerr << "tunecrate: " << window << ": " << std::strerror(errno) << "\n";
    return 1;
}
