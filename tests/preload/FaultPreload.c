// SPDX-License-Identifier: MIT
// Faults for the program as a script runs it. Loaded with LD_PRELOAD, this
// counts the calls by which the program changes files under the folder
// TUNECRATE_FAULT_DIR (writes, renames, removals, folder and file creations,
// flushes) and at the TUNECRATE_FAULT_AT-th of them (0 first) kills the
// process (TUNECRATE_FAULT=kill) or fails the call with EIO (=eio). The file
// TUNECRATE_FAULT_REPORT holds "CALLS FIRED" after every counted call (FIRED
// 1 once the fault struck), so a killed run still tells. Plain C and no sanitizer, so that it can sit in
// front of a sanitized program (which then needs verify_asan_link_order=0).
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

static char g_dir[PATH_MAX];
static size_t g_dirLength;
static long g_at = -1;
static int g_kill;
static int g_reportFd = -1;
static long g_calls;

// The next definition of a call (the C library's, or a sanitizer's in front of it), looked up once.
#define REAL(name)                                                                   \
    ({                                                                               \
        static __typeof__(&name) real_;                                              \
        if (real_ == NULL) real_ = (__typeof__(&name))dlsym(RTLD_NEXT, #name);       \
        real_;                                                                       \
    })

__attribute__((constructor)) static void Start(void) {
    const char* dir = getenv("TUNECRATE_FAULT_DIR");
    if (dir == NULL || realpath(dir, g_dir) == NULL) return;
    g_dirLength = strlen(g_dir);
    const char* at = getenv("TUNECRATE_FAULT_AT");
    const char* kind = getenv("TUNECRATE_FAULT");
    if (at != NULL) g_at = atol(at);
    g_kill = kind != NULL && strcmp(kind, "kill") == 0;
    const char* report = getenv("TUNECRATE_FAULT_REPORT");
    if (report != NULL) g_reportFd = REAL(open)(report, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
}

static int Inside(const char* path) {
    return g_dirLength > 0 && strncmp(path, g_dir, g_dirLength) == 0 && (path[g_dirLength] == '/' || path[g_dirLength] == 0);
}

// Whether `path` (relative to the folder `dirFd`) lies in the folder: its
// parent folder is resolved, so that a link or ".." in it is no way around.
static int PathInside(int dirFd, const char* path) {
    if (g_dirLength == 0 || path == NULL) return 0;
    char full[2 * PATH_MAX], parent[PATH_MAX];
    if (path[0] == '/') {
        snprintf(full, sizeof full, "%s", path);
    } else {
        char base[PATH_MAX];
        ssize_t n = -1;
        if (dirFd == AT_FDCWD) {
            n = getcwd(base, sizeof base) != NULL ? (ssize_t)strlen(base) : -1;
        } else {
            char link[64];
            snprintf(link, sizeof link, "/proc/self/fd/%d", dirFd);
            n = readlink(link, base, sizeof base - 1);
        }
        if (n < 0) return 0;
        base[n] = 0;
        snprintf(full, sizeof full, "%s/%s", base, path);
    }
    char* slash = strrchr(full, '/');
    const char* name = slash + 1;
    *slash = 0;
    if (realpath(full[0] != 0 ? full : "/", parent) == NULL) return Inside(full);
    char resolved[2 * PATH_MAX + 2];
    snprintf(resolved, sizeof resolved, "%s/%s", parent, name);
    return Inside(resolved);
}

static int FdInside(int fd) {
    if (g_dirLength == 0) return 0;
    char link[64], target[PATH_MAX];
    snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t n = readlink(link, target, sizeof target - 1);
    if (n < 0) return 0;
    target[n] = 0;
    return Inside(target);
}

// 1 when the call goes on, 0 when it is to fail with EIO; a kill never returns.
static int Pass(void) {
    const long call = __atomic_fetch_add(&g_calls, 1, __ATOMIC_SEQ_CST);
    const int fired = call == g_at;
    if (g_reportFd >= 0) {
        char line[48];
        const int n = snprintf(line, sizeof line, "%20ld %d\n", call + 1, call >= g_at && g_at >= 0);
        if (REAL(pwrite)(g_reportFd, line, (size_t)n, 0) != n) _exit(99);
    }
    if (!fired) return 1;
    if (g_kill) kill(getpid(), SIGKILL);
    errno = EIO;
    return 0;
}

static int Creates(int flags) { return (flags & (O_CREAT | O_TRUNC)) != 0; }
static mode_t ModeOf(int flags, va_list args) {
    return (flags & O_CREAT) != 0 || (flags & O_TMPFILE) == O_TMPFILE ? (mode_t)va_arg(args, unsigned) : 0;
}

ssize_t write(int fd, const void* data, size_t size) {
    return FdInside(fd) && !Pass() ? -1 : REAL(write)(fd, data, size);
}
ssize_t pwrite(int fd, const void* data, size_t size, off_t at) {
    return FdInside(fd) && !Pass() ? -1 : REAL(pwrite)(fd, data, size, at);
}
ssize_t pwrite64(int fd, const void* data, size_t size, off64_t at) {
    return FdInside(fd) && !Pass() ? -1 : REAL(pwrite64)(fd, data, size, at);
}
int fsync(int fd) { return FdInside(fd) && !Pass() ? -1 : REAL(fsync)(fd); }
int fdatasync(int fd) { return FdInside(fd) && !Pass() ? -1 : REAL(fdatasync)(fd); }
int syncfs(int fd) { return FdInside(fd) && !Pass() ? -1 : REAL(syncfs)(fd); }
int rename(const char* from, const char* to) {
    return (PathInside(AT_FDCWD, from) || PathInside(AT_FDCWD, to)) && !Pass() ? -1 : REAL(rename)(from, to);
}
int renameat(int fromDir, const char* from, int toDir, const char* to) {
    return (PathInside(fromDir, from) || PathInside(toDir, to)) && !Pass() ? -1 : REAL(renameat)(fromDir, from, toDir, to);
}
int renameat2(int fromDir, const char* from, int toDir, const char* to, unsigned flags) {
    return (PathInside(fromDir, from) || PathInside(toDir, to)) && !Pass() ? -1
                                                                          : REAL(renameat2)(fromDir, from, toDir, to, flags);
}
int unlink(const char* path) { return PathInside(AT_FDCWD, path) && !Pass() ? -1 : REAL(unlink)(path); }
int unlinkat(int dir, const char* path, int flags) {
    return PathInside(dir, path) && !Pass() ? -1 : REAL(unlinkat)(dir, path, flags);
}
int mkdir(const char* path, mode_t mode) { return PathInside(AT_FDCWD, path) && !Pass() ? -1 : REAL(mkdir)(path, mode); }
int mkdirat(int dir, const char* path, mode_t mode) {
    return PathInside(dir, path) && !Pass() ? -1 : REAL(mkdirat)(dir, path, mode);
}
int mkstemp(char* pattern) { return PathInside(AT_FDCWD, pattern) && !Pass() ? -1 : REAL(mkstemp)(pattern); }
int mkstemp64(char* pattern) { return PathInside(AT_FDCWD, pattern) && !Pass() ? -1 : REAL(mkstemp64)(pattern); }
int mkostemp(char* pattern, int flags) {
    return PathInside(AT_FDCWD, pattern) && !Pass() ? -1 : REAL(mkostemp)(pattern, flags);
}
int creat(const char* path, mode_t mode) { return PathInside(AT_FDCWD, path) && !Pass() ? -1 : REAL(creat)(path, mode); }
int creat64(const char* path, mode_t mode) {
    return PathInside(AT_FDCWD, path) && !Pass() ? -1 : REAL(creat64)(path, mode);
}

#define OPEN_AT(name)                                                                     \
    int name(int dir, const char* path, int flags, ...) {                                 \
        va_list args;                                                                     \
        va_start(args, flags);                                                            \
        const mode_t mode = ModeOf(flags, args);                                          \
        va_end(args);                                                                     \
        if (Creates(flags) && PathInside(dir, path) && !Pass()) return -1;                \
        return REAL(name)(dir, path, flags, mode);                                        \
    }
#define OPEN(name)                                                                        \
    int name(const char* path, int flags, ...) {                                          \
        va_list args;                                                                     \
        va_start(args, flags);                                                            \
        const mode_t mode = ModeOf(flags, args);                                          \
        va_end(args);                                                                     \
        if (Creates(flags) && PathInside(AT_FDCWD, path) && !Pass()) return -1;           \
        return REAL(name)(path, flags, mode);                                             \
    }
OPEN(open)
OPEN(open64)
OPEN_AT(openat)
OPEN_AT(openat64)

// The forms that _FORTIFY_SOURCE builds call.
int __open_2(const char* path, int flags) { return open(path, flags); }
int __open64_2(const char* path, int flags) { return open(path, flags); }
int __openat_2(int dir, const char* path, int flags) { return openat(dir, path, flags); }
int __openat64_2(int dir, const char* path, int flags) { return openat(dir, path, flags); }
