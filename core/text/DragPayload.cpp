// SPDX-License-Identifier: MIT
#include "core/text/DragPayload.h"
#include "core/Texts.h"

namespace tunecrate {

using namespace std::literals;

bool CanTravelInPayload(std::string_view item) { return item.find_first_of("\n\r\0"sv) == std::string_view::npos; }

namespace {

// A name with its line breaks shown as ⏎.
std::string ShowLineBreaks(std::string_view name) {
    std::string shown;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (name[i] == '\r' && i + 1 < name.size() && name[i + 1] == '\n') continue;   // CR LF is one break
        if (name[i] == '\r' || name[i] == '\n') {
            shown += "⏎";
        } else if (name[i] != '\0') {
            shown += name[i];
        }
    }
    return shown;
}

}  // namespace

std::string CannotDragMessage(std::string_view item) {
    const auto slash = item.rfind('/');
    const std::string_view title = slash == std::string_view::npos ? item : item.substr(slash + 1);
    const std::string_view folder = slash == std::string_view::npos ? std::string_view() : item.substr(0, slash);
    if (!CanTravelInPayload(title)) {
        return Translated(texts::kSongNameBreaks, {ShowLineBreaks(title)});
    }
    return Translated(texts::kFolderNameBreaks, {ShowLineBreaks(folder)});
}

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
