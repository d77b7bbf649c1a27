// SPDX-License-Identifier: MIT
// Faults at the system-call level: the calls by which the core changes files
// (writes, renames, removals, creations, flushes) are counted while an
// operation runs in a child process, and the N-th one kills the child or
// fails with EIO. core_tests links the core with these calls wrapped
// (tests/core/CMakeLists.txt); what a killed child left is what the kernel
// holds, as after a real kill.
#pragma once

#include <algorithm>
#include <cerrno>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "core/disk/ImageVolume.h"

namespace tunecrate::testing {

// Stuck: that call and every one after it fail with EIO, as a disk that stopped taking writes.
// Lost: that write says it is done and is not, as a stick that drops writes (other calls go on).
enum class Fault { None, Kill, Eio, Stuck, Lost };

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

// One write or flush, in the order an image volume made them.
struct StoreEvent { bool flush = false; std::uint64_t offset = 0; std::string bytes; };

// A failing disk under an image volume, by sector: reads that fail (EIO) the first N times they touch it (N < 0:
// always), writes that fail, reads that come back altered; a flush that fails; and the write or flush numbered
// failAt failing. Every write and flush is logged, a failed one as "<failed>".
struct StoreFaults {
    std::map<std::uint32_t, int> readFails = {};
    std::set<std::uint32_t> writeFails = {}, altered = {};
    bool flushFails = false;
    int failAt = -1;
    std::vector<StoreEvent> log = {};
};

struct FaultyStore final : ImageStore {
    FaultyStore(std::unique_ptr<ImageStore> store, StoreFaults& f) : disk(std::move(store)), faults(f) {}
    // The copies move whole sectors; one before `offset` wraps around to a huge distance.
    static bool Hits(std::uint64_t s, std::uint64_t offset, std::size_t size) { return s * kImageSectorBytes - offset < size; }
    bool Read(std::uint64_t offset, char* data, std::size_t size) override {
        bool fail = false;
        for (auto& [s, left] : faults.readFails) fail |= Hits(s, offset, size) && left != 0 && (left < 0 || left--);
        if (fail || !disk->Read(offset, data, size)) return errno = EIO, false;
        for (const std::uint32_t s : faults.altered)
            if (Hits(s, offset, size)) data[s * kImageSectorBytes - offset] ^= 0x5A;
        return true;
    }
    bool Write(std::uint64_t offset, std::string_view bytes) override {
        const auto hit = [&](std::uint32_t s) { return Hits(s, offset, bytes.size()); };
        return Log({false, offset, std::string(bytes)}, std::ranges::any_of(faults.writeFails, hit)) && disk->Write(offset, bytes);
    }
    bool Flush() override { return Log({true, 0, {}}, faults.flushFails) && disk->Flush(); }
    bool Log(StoreEvent event, bool fail) {
        fail |= static_cast<int>(faults.log.size()) == faults.failAt;
        faults.log.push_back(fail ? StoreEvent{false, 0, "<failed>"} : std::move(event));
        return fail ? (errno = EIO, false) : true;
    }
    std::unique_ptr<ImageStore> disk;
    StoreFaults& faults;
};
inline ImageStoreWrapper Failing(StoreFaults& f) {
    return [&f](std::unique_ptr<ImageStore> disk) { return std::make_unique<FaultyStore>(std::move(disk), f); };
}

}  // namespace tunecrate::testing
