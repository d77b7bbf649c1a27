// SPDX-License-Identifier: MIT
#include "core/text/NameOrder.h"

#include <algorithm>

namespace tunecrate {

namespace {

unsigned Fold(char c) {
    auto byte = static_cast<unsigned char>(c);
    return (byte >= 'A' && byte <= 'Z') ? byte - 'A' + 'a' : byte;
}

}  // namespace

int CompareNames(std::string_view a, std::string_view b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned x = Fold(a[i]);
        const unsigned y = Fold(b[i]);
        if (x != y) return x < y ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

std::string NameSortKey(std::string_view name) {
    std::string key(name);
    for (char& c : key) c = static_cast<char>(Fold(c));
    return key;
}

void SortNames(std::vector<std::string>& names) {
    std::stable_sort(names.begin(), names.end(),
                     [](const std::string& a, const std::string& b) { return CompareNames(a, b) < 0; });
}

}  // namespace tunecrate
