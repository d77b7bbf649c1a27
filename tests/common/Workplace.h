// SPDX-License-Identifier: MIT
// The place a window works in: a home folder with a song folder in it, a
// floppy, and a scripted user; the options a session or a window starts with.
#pragma once

#include <QCoreApplication>
#include <QTest>

#include "ScriptedPrompter.h"
#include "Songs.h"
#include "session/Session.h"

namespace tunecrate::testing {

// Runs the window's events until the session has read the floppy, as the
// window's own loop would: what was posted first (a change of mounts that
// waited) included.
inline void AwaitFloppy(const Session& session) {
    QCoreApplication::processEvents();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !session.ReadingFloppy(); }, 60000)) << "the floppy's reading never ended";
}

struct Workplace {
    explicit Workplace(const std::string& floppyText) : floppy(Medium::Folder, floppyText) {}

    // No mount table and no drives: a floppy is never found, only the floppy named (or none).
    SessionOptions Options(const TestFloppy* shown) const {
        SessionOptions options;
        if (shown != nullptr) options.floppy = shown->location();
        options.workingDirectory = songs.path();
        options.home = home.path();
        options.mountTable = [] { return std::vector<MountEntry>{}; };
        options.floppyDevices = [](const std::vector<MountEntry>&) { return std::vector<std::string>{}; };
        return options;
    }

    TempDir home;
    TestFolder songs{"Blues=Blues+/live Demo=Demo", home.Path("Songs")};
    TestFloppy floppy;
    ScriptedPrompter prompter;
};

}  // namespace tunecrate::testing
