// SPDX-License-Identifier: MIT
#include "core/text/DragPayload.h"

namespace tunecrate {

using namespace std::literals;

bool CanTravelInPayload(std::string_view item) { return item.find_first_of("\n\r\0"sv) == std::string_view::npos; }

std::string BuildPayload(std::string_view type, const std::vector<std::string>& items) {
    for (const std::string& item : items) {
        if (!CanTravelInPayload(item)) return {};
    }
    std::string text(type);
    text += '\n';
    for (const std::string& item : items) {
        text += item;
        text += '\n';
    }
    text += '\0';
    return text;
}

ParsedPayload ParsePayload(std::string_view bytes) {
    ParsedPayload payload;
    if (auto zero = bytes.find('\0'); zero != std::string_view::npos) bytes = bytes.substr(0, zero);
    bool first = true;
    while (!bytes.empty()) {
        auto end = bytes.find('\n');
        std::string_view line = bytes.substr(0, end);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (first) {
            payload.type = std::string(line);
            first = false;
        } else if (!line.empty()) {
            payload.items.emplace_back(line);
        }
        if (end == std::string_view::npos) break;
        bytes.remove_prefix(end + 1);
    }
    return payload;
}

}  // namespace tunecrate
