// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <string_view>

#include "core/disk/FileOps.h"

namespace tunecrate {

// A hard-disk song's comment file (title + ".cmt"): the comment's CP932 bytes
// and nothing else.

inline constexpr std::size_t kCommentWordBytes = 255;

// The first word of the file: leading white space skipped, up to the next
// white space, at most 255 bytes. Empty when the file is missing or empty.
std::string ReadCommentFile(const std::string& path);

// The whole comment of the file at `path`, without the white space around
// it (at most 64 KB read): what the user typed, for the row's tooltip and the
// editor, while the list's column keeps showing the first word. Anything but
// a regular file reads as no comment.
std::string ReadCommentText(const std::string& path);

// The first word of comment-file content, as ReadCommentFile takes it.
std::string FirstCommentWord(std::string_view content);

// Writes the comment's bytes exactly, no line end.
Result WriteCommentFile(const std::string& path, std::string_view cp932Comment);

}  // namespace tunecrate
