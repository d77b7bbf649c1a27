// SPDX-License-Identifier: MIT
#include "core/text/CommentFile.h"

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

std::string ReadCommentFileAt(int folderFd, const std::string& name) {
    // Non-blocking, so a FIFO named like a comment file cannot stall a listing.
    int fd = ::openat(folderFd, name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return {};
    // One read serves every ordinary comment; read on only while the first
    // word may still be incomplete (long leading white space or a long word).
    char buffer[1024];
    std::string content;
    ssize_t n;
    while ((n = ::read(fd, buffer, sizeof buffer)) != 0) {
        if (n < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (content.empty() && static_cast<std::size_t>(n) < sizeof buffer) {
            ::close(fd);
            return FirstCommentWord(std::string_view(buffer, static_cast<std::size_t>(n)));
        }
        content.append(buffer, static_cast<std::size_t>(n));
        const std::string word = FirstCommentWord(content);
        const std::size_t wordEnd = content.find(word) + word.size();
        if (!word.empty() && (wordEnd < content.size() || word.size() >= kCommentWordBytes)) break;
        if (content.size() >= 64 * 1024) break;
    }
    ::close(fd);
    return FirstCommentWord(content);
}

Result WriteCommentFile(const std::string& path, std::string_view cp932Comment) {
    return WriteFileBytes(path, cp932Comment);
}

}  // namespace tunecrate
