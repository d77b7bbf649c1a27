// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tunecrate {

// The text a drag of songs carries between the program's lists: a type line
// ("HD" or "FD"), one line per song (a hard-disk base name, or a floppy slot
// index), every line ended by a line feed, and a zero byte at the end.

inline constexpr std::string_view kHardDiskType = "HD";
inline constexpr std::string_view kFloppyType = "FD";
inline constexpr std::string_view kPayloadMimeType = "text/plain";

// Whether an item can be one line of a payload: a line feed or carriage
// return would split it into other songs, a zero byte would end the payload.
bool CanTravelInPayload(std::string_view item);

// Why a hard-disk song (its base name) cannot be dragged: its name, or else
// its folder's, holds a line break, shown as ⏎.
std::string CannotDragMessage(std::string_view item);

// The payload of these items; empty when any item cannot travel. No drop takes
// an empty payload, so even a caller that does not check moves nothing.
std::string BuildPayload(std::string_view type, const std::vector<std::string>& items);

struct ParsedPayload {
    std::string type;
    std::vector<std::string> items;
};

// Reads a payload, with or without its zero byte (text from another program
// too: carriage returns before line feeds are dropped, and anything after a
// zero byte is ignored).
ParsedPayload ParsePayload(std::string_view bytes);

}  // namespace tunecrate
