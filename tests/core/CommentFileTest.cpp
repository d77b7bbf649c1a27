// SPDX-License-Identifier: MIT
#include "core/text/CommentFile.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include "TempDir.h"

namespace tunecrate {
namespace {

using testing::Repeat;
using testing::TempDir;

constexpr std::string_view kSo = "\x83\x5C";   // ソ

// The first word: leading white space skipped, at most 255 bytes of whole
// characters; the full-width blank is no white space (its trail byte is '@').
// Read by path, or in an open folder as a listing does.
TEST(CommentFile, ReadsTheFirstWordOnly) {
    TempDir dir;
    const int folder = ::open(dir.path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(folder, 0);
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"slow blues\r\nsecond line", "slow"},
        {" \t\r\n\v\fafter-white-space next", "after-white-space"},
        {"\x83\x5C\x81\x40\x95\x5C tail", "\x83\x5C\x81\x40\x95\x5C"},
        {"one\ttwo", "one"},
        {"", ""},
        {"  \r\n\t ", ""},
        {std::string(300, 'w') + " rest", std::string(255, 'w')},
        {"  " + std::string(255, 'w'), std::string(255, 'w')},
        // 255 bytes would end on the lead byte of the 128th ソ.
        {"\t" + Repeat(kSo, 200), Repeat(kSo, 127)},
        {"a" + Repeat(kSo, 200), "a" + Repeat(kSo, 127)},
        // More white space than one read takes in.
        {std::string(3000, ' ') + "late word", "late"},
        {"\r\n" + std::string(3000, 'w'), std::string(255, 'w')},
    };
    for (const auto& [content, word] : cases) {
        dir.Write("Blues.cmt", content);
        EXPECT_EQ(ReadCommentFile(dir.Path("Blues.cmt")), word) << content;
        EXPECT_EQ(ReadCommentFileAt(folder, "Blues.cmt"), word) << content;
        EXPECT_EQ(FirstCommentWord(content), word) << content;
    }
    EXPECT_EQ(ReadCommentFile(dir.Path("missing.cmt")), "");
    EXPECT_EQ(ReadCommentFileAt(folder, "missing.cmt"), "");
    EXPECT_EQ(ReadCommentFile(dir.path()), "");   // a folder named like a comment file
    ::close(folder);
}

TEST(CommentFile, WriteStoresExactlyTheCommentBytes) {
    TempDir dir;
    // No line end, no header; a shorter comment leaves nothing of a longer one.
    for (const std::string comment : {"\x83\x5C\x81\x40two words", "x", ""}) {
        ASSERT_TRUE(WriteCommentFile(dir.Path("Blues.cmt"), comment).ok());
        EXPECT_EQ(dir.Read("Blues.cmt"), comment);
    }
    EXPECT_FALSE(WriteCommentFile(dir.Path("missing/Blues.cmt"), "x").ok());
}

}  // namespace
}  // namespace tunecrate
