// SPDX-License-Identifier: MIT
#include "core/text/CommentFile.h"

#include <algorithm>

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

std::string ReadCommentText(const std::string& path) {
    const std::string content = ReadFileBytes(path, 64 * 1024).value_or(std::string());
    std::size_t begin = 0, end = content.size();
    while (begin < end && IsWhiteSpace(content[begin])) ++begin;
    while (end > begin && IsWhiteSpace(content[end - 1])) --end;
    return content.substr(begin, end - begin);
}

Result WriteCommentFile(const std::string& path, std::string_view cp932Comment) {
    return WriteFileBytes(path, cp932Comment);
}

}  // namespace tunecrate
