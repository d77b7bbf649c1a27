// SPDX-License-Identifier: MIT
#include "core/text/TypedText.h"

#include <algorithm>

#include "core/text/Encoding.h"
#include "core/text/SongNames.h"
#include "core/Texts.h"

namespace tunecrate {

namespace {

// The length of the UTF-8 character that `lead` begins (1 for a stray byte).
std::size_t CharacterLength(unsigned char lead) {
    if (lead >= 0xF0) return 4;
    if (lead >= 0xE0) return 3;
    if (lead >= 0xC0) return 2;
    return 1;
}

// CP932 for the text, or the refusal naming its first character that has none.
TypedText InCp932(const std::string& utf8) {
    TypedText typed;
    if (auto bytes = Utf8ToCp932(utf8)) {
        typed.text = std::move(*bytes);
        return typed;
    }
    std::string shown;
    for (std::size_t at = 0; at < utf8.size();) {
        const std::size_t length = std::min(CharacterLength(static_cast<unsigned char>(utf8[at])), utf8.size() - at);
        const std::string character = utf8.substr(at, length);
        if (!Utf8ToCp932(character)) {
            shown = character;
            break;
        }
        at += length;
    }
    typed.result = Result::Refused(Translated(texts::kNotOnFloppy, {shown}));
    return typed;
}

}  // namespace

std::string OneLine(std::string_view text) {
    std::string line(text);
    std::replace(line.begin(), line.end(), '\r', ' ');
    std::replace(line.begin(), line.end(), '\n', ' ');
    return line;
}

TypedText FloppyTitleFrom(std::string_view typed) {
    TypedText title = InCp932(MapCp932LookAlikes(OneLine(typed)));
    if (title.result.ok() && !TitleFits(title.text)) title.result = Result::Refused(Translated(texts::kTitleTooLong));
    return title;
}

TypedText CommentFrom(std::string_view typed) { return InCp932(MapCp932LookAlikes(OneLine(typed))); }

TypedText HardDiskTitleFrom(std::string_view typed) {
    TypedText title;
    title.text = MapCp932LookAlikes(typed);
    if (!IsFileTitle(title.text)) {
        title.result = Result::Refused(Translated(texts::kNoFileTitle));
        return title;
    }
    const TypedText stored = InCp932(title.text);
    if (!stored.result.ok()) {
        title.result = stored.result;
    } else if (!TitleFits(stored.text)) {
        title.result = Result::Refused(Translated(texts::kTitleTooLong));
    }
    return title;
}

}  // namespace tunecrate
