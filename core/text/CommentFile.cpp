// SPDX-License-Identifier: MIT
#include "core/text/CommentFile.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

#include "core/text/Encoding.h"

namespace tunecrate {

namespace {

bool IsWhiteSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

}  // namespace

std::string FirstCommentWord(std::string_view content) {
    std::size_t begin = 0;
    while (begin < content.size() && IsWhiteSpace(content[begin])) ++begin;
    std::size_t end = begin;
    while (end < content.size() && !IsWhiteSpace(content[end])) ++end;
    // Never end the word inside a two-byte character.
    return std::string(CutToWholeCharacters(content.substr(begin, end - begin), kCommentWordBytes));
}

std::string ReadCommentFile(const std::string& path) {
    // Leading white space plus one word; a larger read would only be skipped.
    auto bytes = ReadFileBytes(path, 64 * 1024);
    return bytes ? FirstCommentWord(*bytes) : std::string();
}

std::string ReadCommentTextAt(int folderFd, const std::string& name) {
    // Non-blocking, so a FIFO named like a comment file cannot stall a listing.
    int fd = ::openat(folderFd, name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return {};
    constexpr std::size_t kLimit = 64 * 1024;
    std::string content;
    char buffer[4096];
    while (content.size() < kLimit) {
        const ssize_t n = ::read(fd, buffer, std::min(sizeof buffer, kLimit - content.size()));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        content.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    std::size_t begin = 0, end = content.size();
    while (begin < end && IsWhiteSpace(content[begin])) ++begin;
    while (end > begin && IsWhiteSpace(content[end - 1])) --end;
    return content.substr(begin, end - begin);
}

Result WriteCommentFile(const std::string& path, std::string_view cp932Comment) {
    return WriteFileBytes(path, cp932Comment);
}

}  // namespace tunecrate
