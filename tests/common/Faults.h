// SPDX-License-Identifier: MIT
// Faults at the system-call level: the calls by which the core changes files
// (writes, renames, removals, creations, flushes) are counted while an
// operation runs in a child process, and the N-th one kills the child or
// fails with EIO. core_tests links the core with these calls wrapped
// (tests/core/CMakeLists.txt); what a killed child left is what the kernel
// holds, as after a real kill.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace tunecrate::testing {

// Stuck: that call and every one after it fail with EIO, as a disk that stopped taking writes.
enum class Fault { None, Kill, Eio, Stuck };

struct FaultRun {
    bool killed = false;   // the child died at the planned call
    int calls = 0;         // file-changing calls the operation made (when it was not killed)
    std::string said;      // what the operation returned (when it was not killed)
};

// Runs `operation` in a child process, with the `at`-th file-changing call
// (0 first) killing it or failing with EIO.
FaultRun RunWithFault(Fault fault, int at, const std::function<std::string()>& operation);

// The file-changing calls `operation` makes, run here without a fault, in
// order: "create PATH", "write PATH", "fsync PATH", "rename FROM TO",
// "unlink PATH", "mkdir PATH", with the paths the calls reached.
std::vector<std::string> TraceCalls(const std::function<void()>& operation);

// Runs the operation once without a fault to count its calls, then once
// with each call failed in turn, for each kind of fault; `judge` is told
// each run after it (a setup before each run restores the disks).
struct FaultCounts {
    int tried = 0;
    int bad = 0;
};
FaultCounts ForEachFault(const std::function<void()>& setup, const std::function<std::string()>& operation,
                         const std::function<std::string(Fault, int, const FaultRun&)>& judge,
                         const std::vector<Fault>& faults = {Fault::Kill, Fault::Eio});

}  // namespace tunecrate::testing
