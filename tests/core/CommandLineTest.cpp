// SPDX-License-Identifier: MIT
#include "core/text/CommandLine.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <utility>

namespace tunecrate {
namespace {

using Action = CommandLine::Action;

TEST(CommandLine, NoArgumentsRunsWithDetection) {
    CommandLine line = ParseCommandLine({});
    EXPECT_EQ(line.action, Action::Run);
    EXPECT_EQ(line.floppy, std::nullopt);
}

TEST(CommandLine, FloppyFolderInBothSpellings) {
    CommandLine separate = ParseCommandLine({"--floppy", "/media/u/MY DISK"});
    EXPECT_EQ(separate.action, Action::Run);
    EXPECT_EQ(separate.floppy, "/media/u/MY DISK");

    CommandLine joined = ParseCommandLine({"--floppy=/tmp/floppy"});
    EXPECT_EQ(joined.action, Action::Run);
    EXPECT_EQ(joined.floppy, "/tmp/floppy");

    // Only the first '=' separates: the folder may contain one.
    EXPECT_EQ(ParseCommandLine({"--floppy=/tmp/a=b"}).floppy, "/tmp/a=b");
}

TEST(CommandLine, NewFloppyInBothSpellings) {
    CommandLine separate = ParseCommandLine({"--new-floppy", "/tmp/a disk.img"});
    EXPECT_EQ(separate.action, Action::NewFloppy);
    EXPECT_EQ(separate.newFloppy, "/tmp/a disk.img");
    CommandLine joined = ParseCommandLine({"--new-floppy=/tmp/a=b.img"});
    EXPECT_EQ(joined.action, Action::NewFloppy);
    EXPECT_EQ(joined.newFloppy, "/tmp/a=b.img");
    // Asked for anywhere on the line, it is what the program does.
    EXPECT_EQ(ParseCommandLine({"--floppy", "/tmp/f", "--new-floppy", "n.img"}).action, Action::NewFloppy);
}

TEST(CommandLine, OptionsWithoutTheirValueAreErrors) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--floppy"}, "--floppy"},         {{"--floppy="}, "--floppy"},
        {{"--floppy", ""}, "--floppy"},     {{"--new-floppy"}, "--new-floppy"},
        {{"--new-floppy="}, "--new-floppy"}, {{"--new-floppy", ""}, "--new-floppy"},
    };
    for (const auto& [args, option] : cases) {
        SCOPED_TRACE(args[0]);
        CommandLine line = ParseCommandLine(args);
        EXPECT_EQ(line.action, Action::Error);
        EXPECT_NE(line.error.find(option), std::string::npos) << line.error;
        EXPECT_EQ(line.floppy, std::nullopt);
    }
}

TEST(CommandLine, NewFloppyFailureNamesTheFileAndWhy) {
    EXPECT_EQ(NewFloppyFailure("/tmp/x.img", FileResult{}), "");
    EXPECT_EQ(NewFloppyFailure("/tmp/x.img", FileResult{FileStatus::TargetExists, EEXIST, {}}),
              "/tmp/x.img already exists");
    const FileResult denied = FileResult::FromErrno(EACCES);
    EXPECT_EQ(NewFloppyFailure("/ro/x.img", denied), "cannot write /ro/x.img: " + denied.Reason());
    EXPECT_FALSE(denied.Reason().empty());
}

TEST(CommandLine, UnknownArgumentsAreErrorsNamingThem) {
    CommandLine option = ParseCommandLine({"--flopy", "/tmp"});
    EXPECT_EQ(option.action, Action::Error);
    EXPECT_NE(option.error.find("--flopy"), std::string::npos) << option.error;

    CommandLine stray = ParseCommandLine({"--floppy", "/tmp/a", "/tmp/b"});
    EXPECT_EQ(stray.action, Action::Error);
    EXPECT_NE(stray.error.find("/tmp/b"), std::string::npos) << stray.error;
}

TEST(CommandLine, HelpAndVersion) {
    EXPECT_EQ(ParseCommandLine({"--help"}).action, Action::Help);
    EXPECT_EQ(ParseCommandLine({"-h"}).action, Action::Help);
    EXPECT_EQ(ParseCommandLine({"--floppy", "/tmp", "--help"}).action, Action::Help);
    EXPECT_EQ(ParseCommandLine({"--version"}).action, Action::Version);
    EXPECT_EQ(VersionText(), "Tunecrate Ver.1.0b3");
    EXPECT_NE(UsageText().find("--floppy PATH"), std::string::npos);
    EXPECT_NE(UsageText().find("--new-floppy FILE"), std::string::npos);
}

}  // namespace
}  // namespace tunecrate
