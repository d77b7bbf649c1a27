// SPDX-License-Identifier: MIT
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tunecrate {

// Conversions between the CP932 bytes that the floppy catalogue and comment
// files hold and the UTF-8 that file names and the user interface use.

// True for a byte that starts a two-byte CP932 character.
bool IsCp932LeadByte(unsigned char byte);

// The longest prefix of `bytes` of at most `maxBytes` bytes that does not end
// in the middle of a two-byte character.
std::string_view CutToWholeCharacters(std::string_view bytes, std::size_t maxBytes);

// Decodes CP932 to UTF-8. A byte sequence that does not decode becomes U+FFFD
// for that byte; the caller keeps the original bytes if it must write them back.
std::string Cp932ToUtf8(std::string_view cp932);

// Encodes UTF-8 to CP932; nullopt when a character has no CP932 form that
// decodes back to it, or the input is not valid UTF-8.
std::optional<std::string> Utf8ToCp932(std::string_view utf8);

// Encodes UTF-8 to CP932 after MapCp932LookAlikes, writing "?" for every
// character that CP932 cannot hold: a title that crosses to the floppy never
// fails for one character.
std::string Utf8ToCp932Lossy(std::string_view utf8);

// The text a file name stands for: the name itself when it is UTF-8, else
// its CP932 decoding (names that Windows wrote in Shift-JIS). The file keeps
// its bytes; this is how its name shows and travels.
std::string FileNameText(std::string_view name);

// Every byte string that is not UTF-8 and shows as `text` by FileNameText
// (a few characters have two or three CP932 codes); nullopt when there are
// more than `most`, or `text` holds U+FFFD, which any undecodable byte shows as.
std::optional<std::vector<std::string>> Cp932Spellings(std::string_view text, std::size_t most);

// Replaces the characters that input methods produce but CP932 writes with a
// look-alike of its own (〜 -> ～, − -> －, — -> ―, ‖ -> ∥, ¢ -> ￠, £ -> ￡,
// ¬ -> ￢), so that such text can be stored on the floppy.
std::string MapCp932LookAlikes(std::string_view utf8);

}  // namespace tunecrate
