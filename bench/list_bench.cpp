// SPDX-License-Identifier: MIT
// The command line's `list` of a shelf folder of 100, 300 and 1,000 images,
// started as a script starts it, set against the least a lister does
// (floors/list_floor.cpp) started the same way; and each program's start on
// its own (`--version`, and the floor given an empty folder). Real time: the
// work is in the child.
#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "GeneratedShelf.h"
#include "Ratios.h"

extern char** environ;

namespace {

using tunecrate::bench::PreparedShelf;

const PreparedShelf& Shelf(int images) {
    static std::map<int, std::unique_ptr<PreparedShelf>> shelves;
    auto& shelf = shelves[images];
    if (!shelf) shelf = std::make_unique<PreparedShelf>(images);
    return *shelf;
}

const std::string& EmptyFolder() {
    static const std::string folder = [] {
        char pattern[] = "/tmp/tunecrate-bench-empty-XXXXXX";
        if (::mkdtemp(pattern) == nullptr) tunecrate::bench::Fail("mkdtemp");
        return std::string(pattern);
    }();
    return folder;
}

// Runs the program to its end with its output in `output` (a file), or
// thrown away; its exit status.
int Run(const std::vector<std::string>& args, const char* output = "/dev/null") {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, output, O_WRONLY | O_CREAT | O_TRUNC, 0600);
    std::vector<char*> argv;
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    pid_t child = 0;
    const int spawned = posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    if (spawned != 0 || ::waitpid(child, &status, 0) != child) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void Time(benchmark::State& state, const std::vector<std::string>& args) {
    for (auto _ : state) {
        if (Run(args) != 0) {
            state.SkipWithError("the program failed");
            break;
        }
    }
}

void BM_ListFloor(benchmark::State& state) { Time(state, {LIST_FLOOR, Shelf(static_cast<int>(state.range(0))).folder()}); }
void BM_List(benchmark::State& state) { Time(state, {TUNECRATE_PROGRAM, "list", Shelf(static_cast<int>(state.range(0))).folder()}); }
void BM_StartFloor(benchmark::State& state) { Time(state, {LIST_FLOOR, EmptyFolder()}); }
void BM_Start(benchmark::State& state) { Time(state, {TUNECRATE_PROGRAM, "--version"}); }

BENCHMARK(BM_ListFloor)->Arg(100)->Arg(300)->Arg(1000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_List)->Arg(100)->Arg(300)->Arg(1000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_StartFloor)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Start)->Unit(benchmark::kMillisecond)->UseRealTime();

// Both must list the same songs, or the floor is no floor.
void CheckSameLines() {
    for (int images : {100, 300, 1000}) {
        const std::string folder = Shelf(images).folder();
        const std::string ours = folder + ".ours", floor = folder + ".floor";
        if (Run({TUNECRATE_PROGRAM, "list", folder}, ours.c_str()) != 0 || Run({LIST_FLOOR, folder}, floor.c_str()) != 0) {
            tunecrate::bench::Fail("a lister failed");
        }
        const auto lines = [](const std::string& file) {
            std::ifstream in(file, std::ios::binary);
            return static_cast<long>(std::count(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>(), '\n'));
        };
        const long counted = lines(ours);
        if (counted <= 0 || counted != lines(floor)) tunecrate::bench::Fail("the floor lists other songs than `tunecrate list`");
        ::unlink(ours.c_str());
        ::unlink(floor.c_str());
    }
}

}  // namespace

int main(int argc, char** argv) {
    const int status = tunecrate::bench::RunWithRatios(
        argc, argv,
        [](const std::string& run) {
            if (run.rfind("BM_List/", 0) == 0) return "BM_ListFloor/" + run.substr(std::string("BM_List/").size());
            return run.rfind("BM_Start", 0) == 0 && run.find("Floor") == std::string::npos ? std::string("BM_StartFloor") + run.substr(8) : std::string();
        },
        CheckSameLines);
    ::rmdir(EmptyFolder().c_str());
    return status;
}
