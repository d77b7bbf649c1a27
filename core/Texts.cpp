// SPDX-License-Identifier: MIT
#include "core/Texts.h"

#include <utility>

namespace tunecrate {

namespace {
TextTranslator& Translator() {
    static TextTranslator translator;
    return translator;
}
}  // namespace

void SetTextTranslator(TextTranslator translator) { Translator() = std::move(translator); }

std::string Translated(const char* source, std::initializer_list<std::string_view> args) {
    const TextTranslator& translator = Translator();
    const std::string text = translator ? translator(source) : std::string(source);
    std::string said;
    said.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char next = i + 1 < text.size() ? text[i + 1] : '\0';
        const auto index = static_cast<std::size_t>(next - '1');
        if (text[i] == '%' && next >= '1' && next <= '9' && index < args.size()) {
            said += *(args.begin() + index);
            ++i;
        } else {
            said += text[i];
        }
    }
    return said;
}

}  // namespace tunecrate
