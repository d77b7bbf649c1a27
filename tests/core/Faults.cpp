// SPDX-License-Identifier: MIT
// The wrapped system calls behind Faults.h (the link options are in
// tests/core/CMakeLists.txt) and the child processes that run under them.
#include "Faults.h"

#include <cerrno>
#include <csignal>
#include <cstdarg>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <string_view>
#include <vector>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

struct Plan {
    bool armed = false;
    tunecrate::testing::Fault fault = tunecrate::testing::Fault::None;
    int at = -1;
    int calls = 0;
};
Plan g_plan;
std::vector<std::string>* g_trace = nullptr;

// The path a call reached: `name` in the folder open as `dir`, or the file open as `dir`.
std::string PathOf(int dir, const char* name) {
    if (name != nullptr && name[0] == '/') return name;
    char link[4096];
    const std::string fd = dir == AT_FDCWD ? "/proc/self/cwd" : "/proc/self/fd/" + std::to_string(dir);
    const ssize_t n = ::readlink(fd.c_str(), link, sizeof link);
    const std::string path(link, n > 0 ? static_cast<std::size_t>(n) : 0);
    return name != nullptr ? path + "/" + name : path;
}

bool g_lost = false;   // the call that passed is a write to drop

// Notes the call when a trace is taken (`verb` null: not yet). True when the
// call goes on; false when it is to fail with EIO. A kill never returns.
bool Pass(const char* verb, int dir, const char* name = nullptr, int toDir = AT_FDCWD, const char* to = nullptr) {
    if (g_trace != nullptr && verb != nullptr)
        g_trace->push_back(verb + (" " + PathOf(dir, name)) + (to != nullptr ? " " + PathOf(toDir, to) : ""));
    g_lost = false;
    if (!g_plan.armed) return true;
    const int call = g_plan.calls++;
    if (call < g_plan.at || (call > g_plan.at && g_plan.fault != tunecrate::testing::Fault::Stuck)) return true;
    if (g_plan.fault == tunecrate::testing::Fault::Kill) ::raise(SIGKILL);
    if (g_plan.fault == tunecrate::testing::Fault::Lost) return g_lost = verb != nullptr && std::string_view(verb) == "write", true;
    errno = EIO;
    return false;
}

bool Creates(int flags) { return (flags & (O_CREAT | O_TRUNC)) != 0; }
// The mode argument of open and openat, there only where the flags create a file.
mode_t ModeOf(int flags, va_list& args) {
    const bool given = (flags & O_CREAT) != 0 || (flags & O_TMPFILE) == O_TMPFILE;
    return given ? static_cast<mode_t>(va_arg(args, unsigned)) : 0;
}

}  // namespace

extern "C" {
ssize_t __real_write(int, const void*, size_t);
ssize_t __real_pwrite(int, const void*, size_t, off_t);
int __real_rename(const char*, const char*);
int __real_renameat2(int, const char*, int, const char*, unsigned);
int __real_unlink(const char*);
int __real_unlinkat(int, const char*, int);
int __real_mkdir(const char*, mode_t);
int __real_fsync(int);
int __real_syncfs(int);
int __real_mkstemp(char*);
int __real_open(const char*, int, ...);
int __real_openat(int, const char*, int, ...);

ssize_t __wrap_write(int fd, const void* data, size_t size) {
    if (!Pass("write", fd)) return -1;
    return g_lost ? static_cast<ssize_t>(size) : __real_write(fd, data, size);
}
ssize_t __wrap_pwrite(int fd, const void* data, size_t size, off_t at) {
    if (!Pass("write", fd)) return -1;
    return g_lost ? static_cast<ssize_t>(size) : __real_pwrite(fd, data, size, at);
}
int __wrap_rename(const char* from, const char* to) { return Pass("rename", AT_FDCWD, from, AT_FDCWD, to) ? __real_rename(from, to) : -1; }
int __wrap_renameat2(int fromDir, const char* from, int toDir, const char* to, unsigned flags) {
    return Pass("rename", fromDir, from, toDir, to) ? __real_renameat2(fromDir, from, toDir, to, flags) : -1;
}
int __wrap_unlink(const char* path) { return Pass("unlink", AT_FDCWD, path) ? __real_unlink(path) : -1; }
int __wrap_unlinkat(int dir, const char* path, int flags) { return Pass("unlink", dir, path) ? __real_unlinkat(dir, path, flags) : -1; }
int __wrap_mkdir(const char* path, mode_t mode) { return Pass("mkdir", AT_FDCWD, path) ? __real_mkdir(path, mode) : -1; }
int __wrap_fsync(int fd) { return Pass("fsync", fd) ? __real_fsync(fd) : -1; }
int __wrap_syncfs(int fd) { return Pass("syncfs", fd) ? __real_syncfs(fd) : -1; }
int __wrap_mkstemp(char* pattern) {
    const int fd = Pass(nullptr, AT_FDCWD) ? __real_mkstemp(pattern) : -1;
    if (fd >= 0 && g_trace != nullptr) g_trace->push_back("create " + PathOf(fd, nullptr));
    return fd;
}
int __wrap_open(const char* path, int flags, ...) {
    va_list args;
    va_start(args, flags);
    const mode_t mode = ModeOf(flags, args);
    va_end(args);
    return !Creates(flags) || Pass("create", AT_FDCWD, path) ? __real_open(path, flags, mode) : -1;
}
int __wrap_openat(int dir, const char* path, int flags, ...) {
    va_list args;
    va_start(args, flags);
    const mode_t mode = ModeOf(flags, args);
    va_end(args);
    return !Creates(flags) || Pass("create", dir, path) ? __real_openat(dir, path, flags, mode) : -1;
}
}

namespace tunecrate::testing {

FaultRun RunWithFault(Fault fault, int at, const std::function<std::string()>& operation) {
    int pipe[2];
    if (::pipe(pipe) != 0) return {};
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipe[0]);
        g_plan = Plan{true, fault, at, 0};
        std::string said = operation();
        g_plan.armed = false;
        said.insert(0, std::to_string(g_plan.calls) + "\n");   // a pipe takes a blocking write whole
        __real_write(pipe[1], said.data(), said.size());
        ::_exit(0);
    }
    ::close(pipe[1]);
    std::string out;
    char buffer[4096];
    for (ssize_t n; (n = ::read(pipe[0], buffer, sizeof buffer)) > 0;) out.append(buffer, static_cast<std::size_t>(n));
    ::close(pipe[0]);
    int status = 0;
    while (child > 0 && ::waitpid(child, &status, 0) < 0 && errno == EINTR) continue;
    FaultRun run;
    run.killed = WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
    if (const auto line = out.find('\n'); !run.killed && line != std::string::npos) {
        run.calls = std::stoi(out.substr(0, line));
        run.said = out.substr(line + 1);
    }
    return run;
}

std::vector<std::string> TraceCalls(const std::function<void()>& operation) {
    std::vector<std::string> trace;
    g_trace = &trace;
    operation();
    g_trace = nullptr;
    return trace;
}

FaultCounts ForEachFault(const std::function<void()>& setup, const std::function<std::string()>& operation,
                         const std::function<std::string(Fault, int, const FaultRun&)>& judge, const std::vector<Fault>& faults) {
    setup();
    const FaultRun whole = RunWithFault(Fault::None, -1, operation);
    FaultCounts counts;
    for (Fault fault : faults) {
        for (int at = 0; at < whole.calls; ++at) {
            setup();
            const FaultRun run = RunWithFault(fault, at, operation);
            ++counts.tried;
            counts.bad += !judge(fault, at, run).empty();
        }
    }
    return counts;
}

}  // namespace tunecrate::testing
