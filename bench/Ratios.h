// SPDX-License-Identifier: MIT
// What the benchmark programs share: a user who says yes to everything, and
// a report that sets each run against its floor, run in the same program.
#pragma once

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "core/songs/Prompter.h"

namespace tunecrate::bench {

// Says yes to every question; any message is a failed drop, which a timing must not hide.
class YesPrompter final : public Prompter {
public:
    bool AskYesNo(const std::string&, const std::string&) override { return true; }
    Reply AskYesNoToAll(const std::string&, const std::string&, bool) override { return Reply::Yes; }
    bool AskOkCancel(const std::string&, const std::string&) override { return true; }
    void ShowMessage(const std::string& text, const std::string&, MessageIcon) override { failure = text; }
    std::string failure;
};

// The name of the run a run is set against, or "" for none.
using FloorOf = std::function<std::string(const std::string& run)>;

// Reports as usual, then each run's real and CPU time over its floor's.
class RatioReporter final : public benchmark::ConsoleReporter {
public:
    // Colours only on a terminal: a log or a pipe gets plain lines.
    explicit RatioReporter(FloorOf floorOf)
        : ConsoleReporter(::isatty(STDOUT_FILENO) ? OO_Defaults : OO_Tabular), m_floorOf(std::move(floorOf)) {}
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        // With repetitions, each run's median (a loaded machine's slow repetitions weigh less).
        for (const Run& run : runs) {
            if (run.error_occurred) continue;
            if (run.run_type == Run::RT_Iteration && !m_times.contains(run.run_name.str())) {
                m_times[run.run_name.str()] = {run.GetAdjustedRealTime(), run.GetAdjustedCPUTime()};
            } else if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median") {
                m_times[run.run_name.str()] = {run.GetAdjustedRealTime(), run.GetAdjustedCPUTime()};
            }
        }
    }
    void Finalize() override {
        for (const auto& [name, time] : m_times) {
            const std::string floor = m_floorOf(name);
            const auto it = m_times.find(floor);
            if (floor.empty() || floor == name || it == m_times.end() || it->second.first <= 0) continue;
            GetOutputStream() << name << " / " << floor << ": real " << time.first / it->second.first << ", CPU "
                              << time.second / it->second.second << "\n";
        }
        ConsoleReporter::Finalize();
    }

private:
    FloorOf m_floorOf;
    std::map<std::string, std::pair<double, double>> m_times;   // real, CPU
};

// The program's main: what `prepare` makes is made before any timing starts.
inline int RunWithRatios(int argc, char** argv, FloorOf floorOf, const std::function<void()>& prepare) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    prepare();
    RatioReporter reporter(std::move(floorOf));
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}

}  // namespace tunecrate::bench
