// SPDX-License-Identifier: MIT
// The least a lister of a shelf folder does, as a program of its own so that
// it starts as `tunecrate list` does: per image its boot sector, one FAT, the
// root and the clusters of song.nam and comments.dat, and one line per song
// (image, number, title, bytes, comment) as the floppy has it. No check, no
// conversion, plain C calls.
#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

namespace {

unsigned Le16(const unsigned char* b) { return b[0] | b[1] << 8; }

unsigned Next(const unsigned char* fat, unsigned c) {
    const unsigned pair = Le16(fat + c + c / 2);
    return (c & 1) ? pair >> 4 : pair & 0xFFF;
}

int ReadFile(int fd, const unsigned char* fat, const unsigned char* entry, char* out, unsigned max) {
    const unsigned size = entry[28] | entry[29] << 8 | entry[30] << 16;
    unsigned got = 0;
    for (unsigned c = Le16(entry + 26); c >= 2 && c < 0xFF8 && got < size && got + 512 <= max; c = Next(fat, c)) {
        if (pread(fd, out + got, 512, (33 + c - 2) * 512) <= 0) return -1;
        got += 512;
    }
    return static_cast<int>(size < got ? size : got);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    DIR* folder = opendir(argv[1]);
    if (folder == nullptr) return 1;
    unsigned char boot[512], fat[4608], root[7168];
    static char titles[4096], comments[8192], path[4096];
    while (const dirent* found = readdir(folder)) {
        const std::size_t length = std::strlen(found->d_name);
        if (length < 4 || strcasecmp(found->d_name + length - 4, ".img") != 0) continue;
        std::snprintf(path, sizeof path, "%s/%s", argv[1], found->d_name);
        const int fd = open(path, O_RDONLY | O_CLOEXEC);
        if (fd < 0) continue;
        if (pread(fd, boot, sizeof boot, 0) != sizeof boot || pread(fd, fat, sizeof fat, 512) != sizeof fat ||
            pread(fd, root, sizeof root, 19 * 512) != sizeof root) {
            close(fd);
            continue;
        }
        int titleBytes = 0, commentBytes = 0;
        unsigned sizes[100] = {0};
        for (int i = 0; i < 224 && root[i * 32] != 0; ++i) {
            const unsigned char* entry = root + i * 32;
            if (std::memcmp(entry, "SONG    NAM", 11) == 0) {
                titleBytes = ReadFile(fd, fat, entry, titles, sizeof titles);
            } else if (std::memcmp(entry, "COMMENTSDAT", 11) == 0) {
                commentBytes = ReadFile(fd, fat, entry, comments, sizeof comments);
            } else if (std::memcmp(entry, "MDR_", 4) == 0 && std::memcmp(entry + 8, "B00", 3) == 0) {
                sizes[(entry[4] - '0') * 10 + (entry[5] - '0')] = entry[28] | entry[29] << 8 | entry[30] << 16;
            }
        }
        for (int slot = 0; slot < 40 && (slot + 1) * 19 <= titleBytes; ++slot) {
            if (sizes[slot] == 0) continue;
            const char* comment = comments;
            for (int line = 0; line < slot && comment < comments + commentBytes;) {
                if (*comment++ == '\n') ++line;
            }
            const char* end = comment;
            while (end < comments + commentBytes && *end != '\r') ++end;
            std::printf("%s\t%d\t%.17s\t%u\t%.*s\n", path, slot + 1, titles + slot * 19, sizes[slot], static_cast<int>(end - comment), comment);
        }
        close(fd);
    }
    closedir(folder);
    return 0;
}
