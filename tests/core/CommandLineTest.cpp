// SPDX-License-Identifier: MIT
#include "core/CommandLine.h"

#include <gtest/gtest.h>

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

TEST(CommandLine, FloppyWithoutFolderIsAnError) {
    for (const auto& args : {std::vector<std::string>{"--floppy"}, std::vector<std::string>{"--floppy="},
                             std::vector<std::string>{"--floppy", ""}}) {
        CommandLine line = ParseCommandLine(args);
        EXPECT_EQ(line.action, Action::Error);
        EXPECT_NE(line.error.find("--floppy"), std::string::npos) << line.error;
        EXPECT_EQ(line.floppy, std::nullopt);
    }
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
    EXPECT_NE(UsageText().find("--floppy"), std::string::npos);
}

}  // namespace
}  // namespace tunecrate
