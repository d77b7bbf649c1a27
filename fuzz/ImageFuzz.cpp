// SPDX-License-Identifier: MIT
// libFuzzer target: any bytes as a floppy image file, used as the program uses
// a floppy: catalogue and slots read, a song copied off and on, writes, removes.
// An input is the image's length (4 bytes, little-endian, folded to at most
// 1.44 MB and a sector), then its first bytes (the Makefile keeps them to 32 KB),
// zeros after them. It aborts, naming it, when a promise of FloppyVolume or of
// the shelf's glance at an image is broken.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>

#include "core/disk/FileOps.h"
#include "core/songs/FloppyCatalogue.h"
#include "core/songs/Shelf.h"
#include "core/disk/ImageVolume.h"
#include "core/text/SongNames.h"

namespace {

using namespace tunecrate;

constexpr std::size_t kFloppyImageBytes = 1474560;
constexpr std::size_t kLongestImage = kFloppyImageBytes + 512;
constexpr std::size_t kLengthBytes = 4;
constexpr std::size_t kReadLimit = 2 * kFloppyImageBytes;   // beyond any file an image can hold
constexpr std::string_view kProbeFile = "probe.txt";

std::string g_folder;
std::string g_imagePath;
std::string g_hostPath;   // a hard-disk file for copies in and out of the image
int g_imageFd = -1;   // ours, never locked: the volume takes its own lock

void Require(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "image_fuzz: %s\n", what);
    std::abort();
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

// The head is overwritten in place, then the file is cut to it and grown to
// the image's length: whatever the last run wrote past the head is dropped
// and reads as zeros again, and the head keeps its pages.
void WriteImage(std::string_view head, std::size_t length) {
    Require(pwrite(g_imageFd, head.data(), head.size(), 0) == static_cast<ssize_t>(head.size()) &&
                ftruncate(g_imageFd, static_cast<off_t>(head.size())) == 0 &&
                ftruncate(g_imageFd, static_cast<off_t>(length)) == 0,
            "cannot write the image file");
}

// Past the head only the file's data extents are read: a hole is zeros.
bool ImageHolds(std::string_view head, std::size_t length) {
    struct stat st {};
    if (fstat(g_imageFd, &st) != 0 || static_cast<std::uint64_t>(st.st_size) != length) return false;
    static const char kZeros[1 << 15] = {};
    char buffer[sizeof kZeros];
    for (std::size_t at = 0; at < length;) {
        if (at >= head.size()) {
            const off_t data = lseek(g_imageFd, static_cast<off_t>(at), SEEK_DATA);
            Require(data >= 0 || errno == ENXIO, "cannot read the image file back");
            if (data < 0) break;   // nothing but a hole to the end
            at = static_cast<std::size_t>(data);
        }
        const std::size_t end = at < head.size() ? head.size() : length;
        const ssize_t n = pread(g_imageFd, buffer, std::min(sizeof buffer, end - at), static_cast<off_t>(at));
        Require(n > 0, "cannot read the image file back");
        const char* expected = at < head.size() ? head.data() + at : kZeros;
        if (std::memcmp(buffer, expected, static_cast<std::size_t>(n)) != 0) return false;
        at += static_cast<std::size_t>(n);
    }
    return true;
}

// A write that reports success must have stored exactly these bytes.
bool WriteAndCheck(ImageVolume& volume, std::string_view name, std::string_view bytes) {
    if (!volume.WriteFile(name, bytes).ok()) return false;
    Require(volume.ReadFile(name, kReadLimit) == bytes, "a file written with success reads back different");
    Require(volume.FileSize(name) == bytes.size(), "a file written with success has another size");
    return true;
}

void RemoveAndCheck(ImageVolume& volume, std::string_view name) {
    if (volume.Remove(name).ok()) Require(!volume.Exists(name), "a file removed with success is still there");
}

// Returns the song.nam it wrote, for a check after the image is closed.
std::optional<std::string> UseImage(ImageVolume& volume) {
    (void)volume.Space();
    Expected<CatalogueReading> reading = ReadCatalogue(&volume);

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
    if (reading) {
        if (std::string bytes = TitlesFileBytes(reading->rows); WriteAndCheck(volume, kTitlesFile, bytes)) {
            titles = std::move(bytes);
        }
        WriteAndCheck(volume, kCommentsFile, CommentsFileBytes(reading->rows));
    }

    // A song copied off the floppy and back into another slot, as drops do.
    const std::string song = SlotName(0) + std::string(kSongExtension);
    if (auto bytes = volume.ReadFile(song, kReadLimit); bytes && WriteFileBytes(g_hostPath, *bytes).ok()) {
        const std::string copy = SlotName(kSlotCount - 1) + std::string(kSongExtension);
        if (volume.Apply({FileChange{copy, HostPath{g_hostPath}}}, CatalogueReserve::Keep).ok()) {
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

void CheckRefused(ImageVolume& volume, std::string_view head, std::size_t length) {
    Require(!ReadCatalogue(&volume), "a refused image has a catalogue");
    Require(!volume.WriteFile(kProbeFile, "x").ok(), "a refused image takes a write");
    (void)volume.Remove(kProbeFile);
    Require(ImageHolds(head, length), "a refused image was changed");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    Require(MakeImageFile(), "cannot make a temporary image file");
    std::atexit(RemoveFolder);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    std::size_t length = 0;
    for (std::size_t i = 0; i < kLengthBytes && i < size; ++i) length |= std::size_t{data[i]} << (8 * i);
    length %= kLongestImage + 1;
    const std::string_view head = input.substr(std::min(size, kLengthBytes)).substr(0, length);
    WriteImage(head, length);
    // The shelf glances at the image first, as it would at any file on a stick.
    const ShelfRow row = ReadShelfImage(g_folder, "floppy.img");
    Require(ImageHolds(head, length), "a glance at an image changed it");
    std::map<std::string, std::string> untouched;   // readable files that UseImage does not write
    std::optional<std::string> titles;
    {
        ImageVolume volume(g_imagePath);
        if (!volume.Opened().ok()) {
            Require(!row.usable(), "the shelf uses an image the program refuses");
            CheckRefused(volume, head, length);
            return 0;
        }
        Require(length >= kFloppyImageBytes, "a truncated image was accepted");
        for (const char* name : {"MDR_00.B00", "MDR_00.EVT", "MDR_01.B00", "MDR_01.EVT", "MDR_02.B00",
                                 "MDR_02.EVT", "MDR_03.B00", "MDR_03.EVT", "A song with a long name.B00"}) {
            if (auto bytes = volume.ReadFile(name, kReadLimit)) untouched.emplace(name, std::move(*bytes));
        }
        titles = UseImage(volume);
    }
    // What was reported written must be in the file, not only in memory.
    ImageVolume reopened(g_imagePath);
    if (titles) {
        Require(reopened.Opened().ok(), "an image the program wrote is refused");
        Require(reopened.ReadFile(kTitlesFile, kReadLimit) == titles, "song.nam differs after the image is closed");
    }
    for (const auto& [name, bytes] : untouched)
        Require(reopened.ReadFile(name, kReadLimit) == bytes, "a file that was not written changed");
    return 0;
}

// The length is 4 bytes of 32 KB: one mutation in eight changes only it, so
// that truncated and oversized images keep coming.
extern "C" std::size_t LLVMFuzzerMutate(std::uint8_t* data, std::size_t size, std::size_t maxSize);
extern "C" std::size_t LLVMFuzzerCustomMutator(std::uint8_t* data, std::size_t size, std::size_t maxSize, unsigned seed) {
    if (size < kLengthBytes || seed % 8 != 0) return LLVMFuzzerMutate(data, size, maxSize);
    LLVMFuzzerMutate(data, kLengthBytes, kLengthBytes);
    return size;
}
