// SPDX-License-Identifier: MIT
#include "core/disk/FolderChange.h"

#include <cerrno>
#include <charconv>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <variant>

#include "core/Texts.h"
#include "core/disk/Handles.h"

namespace tunecrate {

namespace {

constexpr std::string_view kStagedPrefix = ".tunecrate-";
constexpr std::string_view kRecordPrefix = ".tunecrate-intent-";
constexpr std::string_view kRecordHeader = "tunecrate change record 1";
// A record names a few files per song; anything longer is not one of ours.
constexpr std::size_t kLargestRecord = 1 << 20;

bool HasSixCharacters(std::string_view name, std::string_view prefix) {
    if (name.size() != prefix.size() + 6 || name.substr(0, prefix.size()) != prefix) return false;
    for (char c : name.substr(prefix.size())) {
        const bool alnum = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (!alnum) return false;   // mkstemp draws its six from these
    }
    return true;
}

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// Copies `content` into the open file `out`; errno, 0 when done.
int WriteContent(int out, const FileContent& content) {
    if (const auto* bytes = std::get_if<std::string>(&content)) return WriteAll(out, *bytes) ? 0 : errno;
    const std::string& source = std::get<HostPath>(content).path;
    Fd in{::open(source.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)};
    if (in.get() < 0) return errno;
    struct stat from {};
    if (::fstat(in.get(), &from) != 0) return errno;
    if (!S_ISREG(from.st_mode)) return S_ISDIR(from.st_mode) ? EISDIR : EINVAL;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(in.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return errno;
        if (n == 0) return 0;
        if (!WriteAll(out, std::string_view(buffer, static_cast<std::size_t>(n)))) return errno;
    }
}

FileId IdOf(const struct stat& st) {
    return FileId{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino),
                  static_cast<std::uint64_t>(st.st_size), static_cast<std::int64_t>(st.st_mtim.tv_sec),
                  static_cast<std::int64_t>(st.st_mtim.tv_nsec)};
}

bool IsStill(const struct stat& st, const FileId& id) {
    const FileId now = IdOf(st);
    if (now.size != id.size || now.seconds != id.seconds || now.nanoseconds != id.nanoseconds) return false;
    // A removable disk mounted again may come back under another device
    // number, and FAT numbers its files afresh at each mount: there the size
    // and the time must do.
    return now.device != id.device || now.inode == id.inode;
}

// Renames `from` to `to` without ever replacing a file at `to`; errno, 0 when done.
int RenameNoReplaceAt(int dirFd, const std::string& from, const std::string& to) {
    if (::renameat2(dirFd, from.c_str(), dirFd, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL) return errno;
    // NFS, and FUSE file systems that do not implement it, refuse the flag
    // (EINVAL); a hard link never replaces either, where they allow links.
    if (::linkat(dirFd, from.c_str(), dirFd, to.c_str(), 0) != 0) {
        if (errno != EEXIST) return errno;
        // Linked before a crash cut the move short: the file is under both names.
        struct stat a {}, b {};
        if (::fstatat(dirFd, from.c_str(), &a, AT_SYMLINK_NOFOLLOW) != 0 ||
            ::fstatat(dirFd, to.c_str(), &b, AT_SYMLINK_NOFOLLOW) != 0 || a.st_ino != b.st_ino || a.st_dev != b.st_dev) {
            return EEXIST;
        }
    }
    return ::unlinkat(dirFd, from.c_str(), 0) == 0 || errno == ENOENT ? 0 : errno;
}

// `name` opened and locked for a finder of leftovers: only a plain file of
// ours, never through a link, that nobody else holds. -1 otherwise, with
// errno EWOULDBLOCK when another process holds it.
int TakeIfOurs(int dirFd, const std::string& name) {
    struct stat named {};
    if (::fstatat(dirFd, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(named.st_mode) ||
        named.st_uid != ::geteuid()) {
        errno = EPERM;
        return -1;
    }
    Fd file{::openat(dirFd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC)};
    if (file.get() < 0) return -1;
    if (::flock(file.get(), LOCK_EX | LOCK_NB) != 0) return -1;
    struct stat held {};
    // The name may have gone to another file between the look and the lock.
    if (::fstat(file.get(), &held) != 0 || held.st_nlink == 0 || held.st_ino != named.st_ino ||
        held.st_dev != named.st_dev) {
        errno = ENOENT;
        return -1;
    }
    return file.release();
}

// ---- the record's text ------------------------------------------------------
//
// "tunecrate change record 1", a line per step, and "end <steps> <checksum>".
// Names may hold any byte but "/" and NUL: blanks, line ends, "%" and bytes
// outside printable ASCII are written as %XX.

std::string EncodeName(std::string_view name) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte >= 0x7F || byte == '%') {
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 15];
        } else {
            out += c;
        }
    }
    return out;
}

std::optional<std::string> DecodeName(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        unsigned value = 0;
        if (i + 2 >= text.size()) return std::nullopt;
        const auto [end, error] = std::from_chars(text.data() + i + 1, text.data() + i + 3, value, 16);
        if (error != std::errc() || end != text.data() + i + 3) return std::nullopt;
        out += static_cast<char>(value);
        i += 2;
    }
    // A name of the folder, never a path.
    if (out.empty() || out == "." || out == ".." || out.find_first_of(std::string_view("/\0", 2)) != std::string::npos) {
        return std::nullopt;
    }
    return out;
}

std::uint64_t Checksum(std::string_view text) {
    std::uint64_t hash = 14695981039346656037ull;   // FNV-1a
    for (const char c : text) hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    return hash;
}

const char* KindWord(ChangeStep::Kind kind) {
    switch (kind) {
        case ChangeStep::Kind::Put: return "put";
        case ChangeStep::Kind::Remove: return "remove";
        case ChangeStep::Kind::Move: return "move";
        case ChangeStep::Kind::MoveNoReplace: return "move-new";
    }
    return "";
}

std::string EncodeRecord(const std::vector<ChangeStep>& steps) {
    std::string text = std::string(kRecordHeader) + "\n";
    for (const ChangeStep& step : steps) {
        text.append(KindWord(step.kind)).append(" ").append(EncodeName(step.name));
        if (step.kind != ChangeStep::Kind::Remove) text.append(" ").append(EncodeName(step.to));
        if (step.kind != ChangeStep::Kind::Put || step.targetKnown) {
            for (const std::uint64_t n : {step.id.device, step.id.inode, step.id.size}) text.append(" ").append(std::to_string(n));
            for (const std::int64_t n : {step.id.seconds, step.id.nanoseconds}) text.append(" ").append(std::to_string(n));
        }
        text += '\n';
    }
    return text + "end " + std::to_string(steps.size()) + " " + std::to_string(Checksum(text)) + "\n";
}

std::vector<std::string_view> Words(std::string_view line) {
    std::vector<std::string_view> words;
    for (std::size_t at = 0; at <= line.size();) {
        const std::size_t blank = std::min(line.find(' ', at), line.size());
        words.push_back(line.substr(at, blank - at));
        at = blank + 1;
    }
    return words;
}

template <typename Number>
bool ReadNumber(std::string_view word, Number& value) {
    const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value);
    return error == std::errc() && end == word.data() + word.size();
}

std::optional<ChangeStep> DecodeStep(std::string_view line) {
    const std::vector<std::string_view> words = Words(line);
    ChangeStep step;
    if (words[0] == "put") {
        step.kind = ChangeStep::Kind::Put;
    } else if (words[0] == "remove") {
        step.kind = ChangeStep::Kind::Remove;
    } else if (words[0] == "move") {
        step.kind = ChangeStep::Kind::Move;
    } else if (words[0] == "move-new") {
        step.kind = ChangeStep::Kind::MoveNoReplace;
    } else {
        return std::nullopt;
    }
    const bool hasTo = step.kind != ChangeStep::Kind::Remove;
    const std::size_t named = std::size_t{2} + (hasTo ? 1 : 0);
    // A Put of an earlier version's record names no target.
    step.targetKnown = step.kind != ChangeStep::Kind::Put || words.size() != named;
    const bool hasId = step.targetKnown;
    if (words.size() != named + (hasId ? 5 : 0)) return std::nullopt;
    auto name = DecodeName(words[1]);
    auto to = hasTo ? DecodeName(words[2]) : std::optional<std::string>("");
    if (!name || !to) return std::nullopt;
    // Only our own staged files are ever put in place.
    if (step.kind == ChangeStep::Kind::Put && !IsStagedName(*name)) return std::nullopt;
    step.name = std::move(*name);
    step.to = std::move(*to);
    const std::size_t at = hasTo ? 3 : 2;
    if (hasId && !(ReadNumber(words[at], step.id.device) && ReadNumber(words[at + 1], step.id.inode) &&
                   ReadNumber(words[at + 2], step.id.size) && ReadNumber(words[at + 3], step.id.seconds) &&
                   ReadNumber(words[at + 4], step.id.nanoseconds))) {
        return std::nullopt;
    }
    return step;
}

// The steps of a whole record; nullopt for one cut short or damaged.
std::optional<std::vector<ChangeStep>> DecodeRecord(std::string_view text) {
    if (text.empty() || text.back() != '\n') return std::nullopt;
    const std::size_t lastLine = text.rfind('\n', text.size() - 2);
    if (lastLine == std::string_view::npos) return std::nullopt;
    const std::string_view body = text.substr(0, lastLine + 1);
    std::string expectedEnd = " ";   // built piece by piece: GCC 12 sees overlaps in a chain of +
    expectedEnd += std::to_string(Checksum(body));
    expectedEnd += '\n';
    std::vector<ChangeStep> steps;
    std::size_t at = body.find('\n');
    if (body.substr(0, at) != kRecordHeader) return std::nullopt;
    for (++at; at < body.size();) {
        const std::size_t end = body.find('\n', at);
        auto step = DecodeStep(body.substr(at, end - at));
        if (!step) return std::nullopt;
        steps.push_back(std::move(*step));
        at = end + 1;
    }
    if (text.substr(lastLine + 1) != "end " + std::to_string(steps.size()) + expectedEnd) return std::nullopt;
    return steps;
}

// ---- taking the steps -----------------------------------------------------

struct StepsRun {
    int error = 0;
    std::size_t failedAt = 0;   // the step that failed, when one did
};

// True when a Put not yet taken finds its target other than planned: a
// writer came after the one that left the record.
bool TargetTakenSince(int dirFd, const ChangeStep& step) {
    struct stat st {};
    if (step.kind != ChangeStep::Kind::Put || !step.targetKnown ||
        ::fstatat(dirFd, step.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        return false;
    }
    const bool planned = step.id.device != 0 || step.id.inode != 0;
    // A target that cannot be looked at now is left to the step itself.
    if (::fstatat(dirFd, step.to.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return planned && errno == ENOENT;
    return !planned || !IsStill(st, step.id);
}

// Takes each step that the disk still shows undone, in order; the first
// failure stops. `stagedHeld`: the caller holds the staged files, else each
// is taken (locked) as a finder of leftovers takes it, and a change whose
// targets another writer has taken since is given up whole.
StepsRun TakeSteps(int dirFd, const std::vector<ChangeStep>& steps, bool stagedHeld) {
    if (!stagedHeld) {
        for (const ChangeStep& step : steps) {
            if (TargetTakenSince(dirFd, step)) return {};
        }
    }
    for (std::size_t i = 0; i < steps.size(); ++i) {
        const ChangeStep& step = steps[i];
        struct stat st {};
        if (::fstatat(dirFd, step.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno == ENOENT) continue;   // done before
            return {errno, i};
        }
        int err = 0;
        if (step.kind == ChangeStep::Kind::Put) {
            Fd held{stagedHeld ? -1 : TakeIfOurs(dirFd, step.name)};
            if (!stagedHeld && held.get() < 0) return {errno, i};
            err = ::renameat2(dirFd, step.name.c_str(), dirFd, step.to.c_str(), 0) == 0 ? 0 : errno;
        } else if (!IsStill(st, step.id)) {
            continue;   // another file took the name since: not the one the change meant
        } else if (step.kind == ChangeStep::Kind::Remove) {
            err = ::unlinkat(dirFd, step.name.c_str(), 0) == 0 || errno == ENOENT ? 0 : errno;
        } else if (step.kind == ChangeStep::Kind::Move) {
            err = ::renameat2(dirFd, step.name.c_str(), dirFd, step.to.c_str(), 0) == 0 ? 0 : errno;
        } else {
            err = RenameNoReplaceAt(dirFd, step.name, step.to);
        }
        if (err != 0) return {err, i};
    }
    return {};
}

std::string ReadRecord(int fd) {
    std::string text;
    char buffer[4096];
    while (text.size() <= kLargestRecord) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        text.append(buffer, static_cast<std::size_t>(n));
    }
    return text;
}

void RecoverLeftovers(const std::string& folder, const std::vector<std::string>& names) {
    Fd dir{::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
    if (dir.get() < 0) return;
    // A record that another process holds is a change in progress, and one
    // that cannot be finished now keeps its staged files for the next try:
    // the staged files are then left alone.
    bool keepStaged = false, changed = false;
    for (const std::string& name : names) {
        if (!IsChangeRecordName(name)) continue;
        Fd record{TakeIfOurs(dir.get(), name)};
        if (record.get() < 0) {
            keepStaged = keepStaged || errno == EWOULDBLOCK;
            continue;
        }
        // A whole record is finished; one cut short was written before any
        // step was taken, and goes with its staged files.
        if (const auto steps = DecodeRecord(ReadRecord(record.get()))) {
            if (TakeSteps(dir.get(), *steps, false).error != 0) {
                keepStaged = true;
                continue;
            }
            ::fsync(dir.get());   // the steps are on the disk before their record goes
        }
        changed = ::unlinkat(dir.get(), name.c_str(), 0) == 0 || changed;
    }
    for (const std::string& name : names) {
        if (keepStaged || !IsStagedName(name)) continue;
        Fd staged{TakeIfOurs(dir.get(), name)};
        if (staged.get() >= 0) changed = ::unlinkat(dir.get(), name.c_str(), 0) == 0 || changed;
    }
    if (changed) ::fsync(dir.get());
}

}  // namespace

bool IsStagedName(std::string_view name) { return HasSixCharacters(name, kStagedPrefix); }

bool IsChangeRecordName(std::string_view name) { return HasSixCharacters(name, kRecordPrefix); }

// ---- staged files -----------------------------------------------------------

StagedFile::~StagedFile() {
    Remove();
}

StagedFile::StagedFile(StagedFile&& other) noexcept
    : m_folder(std::move(other.m_folder)), m_name(std::move(other.m_name)), m_fd(std::exchange(other.m_fd, -1)) {}

StagedFile& StagedFile::operator=(StagedFile&& other) noexcept {
    if (this != &other) {
        Remove();
        m_folder = std::move(other.m_folder);
        m_name = std::move(other.m_name);
        m_fd = std::exchange(other.m_fd, -1);
    }
    return *this;
}

Result StagedFile::Create(const std::string& folder, std::string_view prefix) {
    Remove();
    for (int attempt = 0; attempt < 5; ++attempt) {
        std::string path = JoinPath(folder, std::string(prefix) + "XXXXXX");
        Fd file{::mkstemp(path.data())};
        if (file.get() < 0) return Result::FromErrno(errno);
        // Held from now on, unless a finder of leftovers took it in the
        // moment between: then the name no longer leads to it, and another
        // is made.
        struct stat held {}, named {};
        if (LockWaiting(file.get(), true) && ::fstat(file.get(), &held) == 0 && held.st_nlink > 0 &&
            ::lstat(path.c_str(), &named) == 0 && named.st_ino == held.st_ino && named.st_dev == held.st_dev) {
            m_folder = folder;
            m_name = path.substr(path.rfind('/') + 1);
            m_fd = file.release();
            return {};
        }
    }
    return Result::FromErrno(EWOULDBLOCK);
}

Result StagedFile::Write(const FileContent& content) {
    int err = WriteContent(m_fd, content);
    if (err == 0 && ::fsync(m_fd) != 0) err = errno;
    return err == 0 ? Result{} : Result::FromErrno(err);
}

Result StagedFile::PlaceAsNew(std::string_view name) {
    Fd dir{::open(m_folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
    if (dir.get() < 0) return Result::FromErrno(errno);
    if (const int err = RenameNoReplaceAt(dir.get(), m_name, std::string(name)); err != 0) return Result::FromErrno(err);
    Release();
    // In place, but not known to be on the disk: that is no success to report.
    if (::fsync(dir.get()) != 0) return Result::FromErrno(errno);
    return {};
}

Result StagedFile::Remove() {
    if (m_fd < 0) return {};
    Result result;
    if (::unlink(JoinPath(m_folder, m_name).c_str()) != 0 && errno != ENOENT) result = Result::FromErrno(errno);
    Release();
    return result;
}

void StagedFile::Release() {
    if (m_fd >= 0) ::close(std::exchange(m_fd, -1));
}

std::optional<FileId> IdentifyFile(const std::string& folder, std::string_view name) {
    struct stat st {};
    if (::lstat(JoinPath(folder, name).c_str(), &st) != 0) return std::nullopt;
    return IdOf(st);
}

// ---- changes ----------------------------------------------------------------

Result CarryOutChange(const std::string& folder, const std::vector<ChangeStep>& steps,
                      std::vector<StagedFile>& staged) {
    if (steps.empty()) return {};
    Fd dir{::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
    if (dir.get() < 0) return Result::FromErrno(errno);
    const auto releaseStaged = [&] {
        for (StagedFile& file : staged) file.Release();
    };
    if (steps.size() == 1) {
        // One rename or removal is whole by itself.
        if (const StepsRun run = TakeSteps(dir.get(), steps, true); run.error != 0) return Result::FromErrno(run.error);
        releaseStaged();
        if (::fsync(dir.get()) != 0) return Result::FromErrno(errno);
        return {};
    }
    StagedFile record;
    if (Result made = record.Create(folder, kRecordPrefix); !made.ok()) return made;
    // Undone before any step: the record goes (emptied first, so that if its
    // removal fails it reads as cut short, never as a change to finish), and
    // the staged files go with the caller's objects.
    const auto undo = [&](int err) {
        // Left whole, a record whose removal fails too finishes the change at the next opening: whole, if late.
        [[maybe_unused]] const int emptied = ::ftruncate(record.fd(), 0);
        record.Remove();
        return Result::FromErrno(err);
    };
    if (Result written = record.Write(EncodeRecord(steps)); !written.ok()) return undo(written.error);
    // The record's entry, and those of the staged files it names, are on the
    // disk before the first step: from here on the change is finished, never undone.
    if (::fsync(dir.get()) != 0) return undo(errno);
    StepsRun run = TakeSteps(dir.get(), steps, true);
    if (run.error != 0) {
        const std::size_t firstFailure = run.failedAt;
        run = TakeSteps(dir.get(), steps, true);
        // The first step failed twice, and no other was tried: nothing changed.
        if (run.error != 0 && firstFailure == 0 && run.failedAt == 0) return undo(run.error);
    }
    if (run.error != 0) {
        releaseStaged();
        record.Release();
        return Result::FromErrno(run.error, Translated(texts::kChangeUnfinished, {folder, std::strerror(run.error)}));
    }
    releaseStaged();
    // The steps are on the disk before their record goes; if that cannot be
    // told, the record stays (the next opening finds its steps done), and
    // the change is not reported as made.
    if (::fsync(dir.get()) != 0) {
        const int err = errno;
        record.Release();
        return Result::FromErrno(err);
    }
    // Its removal needs no flush of its own: read again, a finished change takes no step.
    record.Remove();
    return {};
}

std::optional<std::vector<std::string>> RecoverFolder(const std::string& folder) {
    auto names = NamesIn(folder);
    if (!names) return std::nullopt;
    for (const std::string& name : *names) {
        if (IsStagedName(name) || IsChangeRecordName(name)) {
            RecoverLeftovers(folder, *names);
            return NamesIn(folder);
        }
    }
    return names;
}

}  // namespace tunecrate
