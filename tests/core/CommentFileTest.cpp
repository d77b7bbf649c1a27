// SPDX-License-Identifier: MIT
#include "core/CommentFile.h"

#include <gtest/gtest.h>

#include "TempDir.h"

namespace tunecrate {
namespace {

using testing::Repeat;
using testing::TempDir;

constexpr std::string_view kSo = "\x83\x5C";   // ソ

TEST(CommentFile, ReadsTheFirstWordOnly) {
    TempDir dir;
    dir.Write("Blues.cmt", "slow blues\r\nsecond line");
    EXPECT_EQ(ReadCommentFile(dir.Path("Blues.cmt")), "slow");

    dir.Write("Lead.cmt", " \t\r\n\v\fafter-white-space next");
    EXPECT_EQ(ReadCommentFile(dir.Path("Lead.cmt")), "after-white-space");

    // The full-width blank is not white space here; its trail byte is '@'.
    dir.Write("Wide.cmt", "\x83\x5C\x81\x40\x95\x5C tail");
    EXPECT_EQ(ReadCommentFile(dir.Path("Wide.cmt")), "\x83\x5C\x81\x40\x95\x5C");

    dir.Write("Tab.cmt", "one\ttwo");
    EXPECT_EQ(ReadCommentFile(dir.Path("Tab.cmt")), "one");
}

TEST(CommentFile, MissingOrBlankFileGivesEmptyComment) {
    TempDir dir;
    EXPECT_EQ(ReadCommentFile(dir.Path("missing.cmt")), "");
    dir.Write("empty.cmt", "");
    EXPECT_EQ(ReadCommentFile(dir.Path("empty.cmt")), "");
    dir.Write("blank.cmt", "  \r\n\t ");
    EXPECT_EQ(ReadCommentFile(dir.Path("blank.cmt")), "");
    EXPECT_EQ(ReadCommentFile(dir.path()), "");   // a folder named like a comment file
}

TEST(CommentFile, WordIsAtMost255BytesOfWholeCharacters) {
    EXPECT_EQ(FirstCommentWord(std::string(300, 'w') + " rest"), std::string(255, 'w'));
    EXPECT_EQ(FirstCommentWord("  " + std::string(255, 'w')), std::string(255, 'w'));
    // 255 bytes would end on the lead byte of the 128th ソ.
    EXPECT_EQ(FirstCommentWord(Repeat(kSo, 200)), Repeat(kSo, 127));
    EXPECT_EQ(FirstCommentWord("a" + Repeat(kSo, 200)), "a" + Repeat(kSo, 127));

    TempDir dir;
    dir.Write("Long.cmt", "\t" + Repeat(kSo, 200));
    EXPECT_EQ(ReadCommentFile(dir.Path("Long.cmt")), Repeat(kSo, 127));
}

TEST(CommentFile, WriteStoresExactlyTheCommentBytes) {
    TempDir dir;
    const std::string comment = "\x83\x5C\x81\x40two words";
    ASSERT_TRUE(WriteCommentFile(dir.Path("Blues.cmt"), comment).ok());
    EXPECT_EQ(dir.Read("Blues.cmt"), comment);   // no line end, no header

    ASSERT_TRUE(WriteCommentFile(dir.Path("Blues.cmt"), "x").ok());
    EXPECT_EQ(dir.Read("Blues.cmt"), "x");

    ASSERT_TRUE(WriteCommentFile(dir.Path("Blues.cmt"), "").ok());
    EXPECT_EQ(dir.Read("Blues.cmt"), "");

    EXPECT_FALSE(WriteCommentFile(dir.Path("missing/Blues.cmt"), "x").ok());
}

}  // namespace
}  // namespace tunecrate
