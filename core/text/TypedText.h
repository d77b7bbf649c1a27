// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <string_view>

#include "core/Result.h"

namespace tunecrate {

// A title or comment as the user typed it (UTF-8), made into what a song
// keeps, or the reason it cannot be: the message for the user.
struct TypedText {
    std::string text;   // CP932 for the floppy and comment files; UTF-8 for a hard-disk title
    Result result;
};

// The text on one line: every line break (CR or LF) becomes a blank. A
// catalogue line, a list's cell and a script's message line are never two.
std::string OneLine(std::string_view text);

// One line (line breaks become blanks), look-alikes mapped, in CP932, at most 17 bytes.
TypedText FloppyTitleFrom(std::string_view typed);

// One line, look-alikes mapped, in CP932; whole (the catalogue cuts its lines).
TypedText CommentFrom(std::string_view typed);

// Look-alikes mapped; a name a file can have; storable on the floppy (CP932,
// at most 17 bytes), since the song may go there. The text stays UTF-8.
TypedText HardDiskTitleFrom(std::string_view typed);

}  // namespace tunecrate
