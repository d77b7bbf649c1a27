// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tunecrate {

// The order of song titles and folder names: byte by byte, ASCII letters
// compared as lower case, every other byte by its value (which orders UTF-8
// by code point, after all of ASCII); a name that is a prefix of another
// comes first. Returns <0, 0 or >0.
int CompareNames(std::string_view a, std::string_view b);

// The name with ASCII letters folded to lower case: plain byte comparison of
// two such keys gives the order of CompareNames.
std::string NameSortKey(std::string_view name);

// Sorts by CompareNames; names that compare equal keep their order.
void SortNames(std::vector<std::string>& names);

}  // namespace tunecrate
