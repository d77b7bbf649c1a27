// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <string_view>

namespace tunecrate {

// The form in which searched texts are compared: compatibility-normalised and
// case-folded, so that half-width and full-width katakana, full-width and
// plain Latin letters, and upper and lower case all meet ("ﾌﾞﾙｰｽ" and
// "ブルース", "ＢＬＵＥＳ" and "blues"). UTF-8 in and out; bytes that are not
// UTF-8 are kept as they are.
std::string SearchKey(std::string_view utf8);

// True when `key` (a SearchKey) occurs in `text` (a SearchKey); an empty key
// is found everywhere.
bool KeyFound(std::string_view text, std::string_view key);

}  // namespace tunecrate
