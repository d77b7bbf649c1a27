// SPDX-License-Identifier: MIT
// libFuzzer target: any bytes as a floppy image file, used the way the program
// uses a floppy: read the catalogue, read the slots, copy a song off and on,
// write, remove. Besides the sanitizers' findings it aborts when a promise of
// FloppyVolume is broken: a truncated image accepted, a refused image changed,
// a write or copy that reports success but reads back different (or is gone
// once the image is closed), a removed file still there, or a file that was
// not written reading differently afterwards (a damaged image must never
// lose more than it had lost).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/disk/FileOps.h"
#include "core/songs/FloppyCatalogue.h"
#include "core/disk/ImageVolume.h"
#include "core/text/SongNames.h"

namespace {

using namespace tunecrate;

constexpr std::size_t kFloppyImageBytes = 1474560;
constexpr std::size_t kReadLimit = 2 * kFloppyImageBytes;   // beyond any file an image can hold
constexpr std::string_view kProbeFile = "probe.txt";

// The boot sector, both FATs and the root folder, and the first files, where
// the catalogue of a real floppy sits. Everything past it is song data that
// is only ever copied.
constexpr std::size_t kFocusBytes = 32 * 1024;

std::string g_folder;
std::string g_imagePath;
std::string g_hostPath;   // a hard-disk file for copies in and out of the image
int g_imageFd = -1;   // ours, never locked: the volume takes its own lock

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "image_fuzz: %s\n", what);
    std::abort();
}

void Require(bool condition, const char* what) {
    if (!condition) Fail(what);
}

void RemoveFolder() {
    close(g_imageFd);
    unlink(g_imagePath.c_str());
    unlink(g_hostPath.c_str());
    rmdir(g_folder.c_str());
}

// tmpfs first: ImageVolume flushes the image after every write, which costs
// nothing there and would dominate the run on a real disk.
bool MakeImageFile() {
    std::vector<std::string> parents = {"/dev/shm"};
    if (const char* tmp = std::getenv("TMPDIR"); tmp != nullptr && *tmp != '\0') parents.emplace_back(tmp);
    parents.emplace_back("/tmp");
    for (const std::string& parent : parents) {
        std::string pattern = parent + "/tunecrate-fuzz-XXXXXX";
        if (mkdtemp(pattern.data()) == nullptr) continue;
        g_folder = pattern;
        g_imagePath = g_folder + "/floppy.img";
        g_hostPath = g_folder + "/song.B00";
        g_imageFd = open(g_imagePath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (g_imageFd >= 0) return true;
        rmdir(g_folder.c_str());
    }
    return false;
}

// Overwritten in place and cut to size rather than truncated first, so the
// file keeps its pages instead of freeing them and faulting them in again.
void WriteImage(std::string_view bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = pwrite(g_imageFd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) Fail("cannot write the image file");
        done += static_cast<std::size_t>(n);
    }
    if (ftruncate(g_imageFd, static_cast<off_t>(bytes.size())) != 0) Fail("cannot cut the image file");
}

bool ImageHolds(std::string_view bytes) {
    struct stat st {};
    if (fstat(g_imageFd, &st) != 0) Fail("cannot read the image file back");
    if (static_cast<std::uint64_t>(st.st_size) != bytes.size()) return false;
    char buffer[1 << 15];
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = pread(g_imageFd, buffer, std::min(sizeof buffer, bytes.size() - done), static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) Fail("cannot read the image file back");
        if (std::memcmp(buffer, bytes.data() + done, static_cast<std::size_t>(n)) != 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// A write that reports success must have stored exactly these bytes.
bool WriteAndCheck(ImageVolume& volume, std::string_view name, std::string_view bytes) {
    if (!volume.WriteFile(name, bytes).ok()) return false;
    Require(volume.ReadFile(name, kReadLimit) == std::optional<std::string>(bytes),
            "a file written with success reads back different");
    Require(volume.FileSize(name) == std::optional<std::uint64_t>(bytes.size()),
            "a file written with success has another size");
    return true;
}

void RemoveAndCheck(ImageVolume& volume, std::string_view name) {
    if (volume.Remove(name).ok()) Require(!volume.Exists(name), "a file removed with success is still there");
}

// Returns the song.nam it wrote, for a check after the image is closed.
std::optional<std::string> UseImage(ImageVolume& volume) {
    (void)volume.Space();
    CatalogueReading reading = ReadCatalogue(&volume);

    std::vector<std::string> names = {std::string(kTitlesFile), std::string(kCommentsFile)};
    for (int slot = 0; slot < kSlotCount; ++slot) {
        names.push_back(SlotName(slot) + std::string(kSongExtension));
        names.push_back(SlotName(slot) + std::string(kEventsExtension));
    }
    for (const std::string& name : names) {
        if (volume.Exists(name)) (void)volume.FileSize(name);
        (void)volume.ReadFile(name, kReadLimit);
    }

    // Rewriting the catalogue over files that exist is what every edit does.
    std::optional<std::string> titles;
    if (reading.readable) {
        if (std::string bytes = TitlesFileBytes(reading.rows); WriteAndCheck(volume, kTitlesFile, bytes)) {
            titles = std::move(bytes);
        }
        WriteAndCheck(volume, kCommentsFile, CommentsFileBytes(reading.rows));
    }

    // A song copied off the floppy and back into another slot, as drops do.
    const std::string song = SlotName(0) + std::string(kSongExtension);
    if (auto bytes = volume.ReadFile(song, kReadLimit);
        bytes && WriteFileBytes(g_hostPath, *bytes).ok()) {
        const std::string copy = SlotName(kSlotCount - 1) + std::string(kSongExtension);
        if (volume.Apply({FileChange{copy, HostPath{g_hostPath}}}, Room::Songs).ok()) {
            Require(volume.ReadFile(copy, kReadLimit) == bytes, "a song copied onto the image differs");
        }
    }

    // Three clusters, then one: a new chain, then a shortened one.
    std::string probe(1300, '\0');
    for (std::size_t i = 0; i < probe.size(); ++i) probe[i] = static_cast<char>('A' + i % 26);
    WriteAndCheck(volume, kProbeFile, probe);
    WriteAndCheck(volume, kProbeFile, std::string_view(probe).substr(0, 100));
    RemoveAndCheck(volume, kProbeFile);
    // A file the input brought, with whatever chain it claims.
    RemoveAndCheck(volume, SlotName(kSlotCount - 1) + std::string(kEventsExtension));
    (void)volume.Space();
    return titles;
}

void CheckRefused(ImageVolume& volume, std::string_view input) {
    CatalogueReading reading = ReadCatalogue(&volume);
    Require(!reading.readable, "a refused image has a catalogue");
    Require(!volume.WriteFile(kProbeFile, "x").ok(), "a refused image takes a write");
    (void)volume.Remove(kProbeFile);
    Require(ImageHolds(input), "a refused image was changed");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    if (!MakeImageFile()) {
        std::fprintf(stderr, "image_fuzz: cannot make a temporary image file\n");
        std::exit(1);
    }
    std::atexit(RemoveFolder);
    return 0;
}

// Every readable file of the root but those that UseImage writes, with its bytes.
std::map<std::string, std::string> UntouchedFiles(const std::string& path) {
    std::map<std::string, std::string> files;
    ImageVolume volume(path);
    if (!volume.Problem().empty()) return files;
    for (const char* name : {"MDR_00.B00", "MDR_00.EVT", "MDR_01.B00", "MDR_01.EVT", "MDR_02.B00", "MDR_02.EVT",
                             "MDR_03.B00", "MDR_03.EVT", "A song with a long name.B00"}) {
        if (auto bytes = volume.ReadFile(name, kReadLimit)) files.emplace(name, std::move(*bytes));
    }
    return files;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    WriteImage(input);
    const std::map<std::string, std::string> untouched = UntouchedFiles(g_imagePath);
    std::optional<std::string> titles;
    {
        ImageVolume volume(g_imagePath);
        if (!volume.Problem().empty()) {
            CheckRefused(volume, input);
            return 0;
        }
        Require(size >= kFloppyImageBytes, "a truncated image was accepted");
        titles = UseImage(volume);
    }
    // What was reported written must be in the file, not only in memory.
    ImageVolume reopened(g_imagePath);
    if (titles) {
        Require(reopened.Problem().empty(), "an image the program wrote is refused");
        Require(reopened.ReadFile(kTitlesFile, kReadLimit) == titles, "song.nam differs after the image is closed");
    }
    for (const auto& [name, bytes] : untouched) {
        Require(reopened.ReadFile(name, kReadLimit) == bytes, "a file that was not written changed");
    }
    return 0;
}

// Most mutations go to the first kFocusBytes of a whole image, in place; the
// rest see the whole input, so that sizes (truncated images) change too.
extern "C" std::size_t LLVMFuzzerMutate(std::uint8_t* data, std::size_t size, std::size_t maxSize);

extern "C" std::size_t LLVMFuzzerCustomMutator(std::uint8_t* data, std::size_t size, std::size_t maxSize,
                                               unsigned int seed) {
    if (size > kFocusBytes && seed % 4 != 0) {
        LLVMFuzzerMutate(data, kFocusBytes, kFocusBytes);
        return size;
    }
    return LLVMFuzzerMutate(data, size, maxSize);
}
