// SPDX-License-Identifier: MIT
#include "core/text/Encoding.h"

#include <algorithm>
#include <cerrno>
#include <iconv.h>
#include <map>

namespace tunecrate {

namespace {

// One iconv conversion; owns its descriptor.
class Converter {
public:
    Converter(const char* to, const char* from) : m_cd(iconv_open(to, from)) {}
    ~Converter() {
        if (m_cd != reinterpret_cast<iconv_t>(-1)) iconv_close(m_cd);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    bool valid() const { return m_cd != reinterpret_cast<iconv_t>(-1); }

    // Converts as much as it can; on an invalid or incomplete sequence it stops
    // and reports how many input bytes were consumed.
    bool Convert(std::string_view in, std::string& out, std::size_t& consumed) {
        char* inPtr = const_cast<char*>(in.data());
        std::size_t inLeft = in.size();
        char buffer[256];
        bool ok = true;
        while (inLeft > 0) {
            char* outPtr = buffer;
            std::size_t outLeft = sizeof buffer;
            std::size_t rc = iconv(m_cd, &inPtr, &inLeft, &outPtr, &outLeft);
            out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
            if (rc == static_cast<std::size_t>(-1)) {
                if (errno == E2BIG) continue;
                ok = false;
                break;
            }
        }
        if (ok) {
            // Flush any shift state (none for CP932, but harmless).
            char* outPtr = buffer;
            std::size_t outLeft = sizeof buffer;
            iconv(m_cd, nullptr, nullptr, &outPtr, &outLeft);
            out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
        } else {
            iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        }
        consumed = in.size() - inLeft;
        return ok;
    }

private:
    iconv_t m_cd;
};

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

}  // namespace

bool IsCp932LeadByte(unsigned char byte) {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

std::string_view CutToWholeCharacters(std::string_view bytes, std::size_t maxBytes) {
    // Text that fits is never cut (the usual line, so it is not walked).
    if (bytes.size() <= maxBytes) return bytes;
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        // A lead byte at the very end has no trail byte: it is one byte wide,
        // and text that already fits is never cut.
        std::size_t width = IsCp932LeadByte(static_cast<unsigned char>(bytes[pos])) ? 2 : 1;
        width = std::min(width, bytes.size() - pos);
        if (pos + width > maxBytes) break;
        pos += width;
    }
    return bytes.substr(0, pos);
}

std::string Cp932ToUtf8(std::string_view cp932) {
    // CP932 keeps ASCII as it is. One converter per thread: opening one costs
    // more than converting a title, and a shelf converts thousands.
    if (std::ranges::all_of(cp932, [](char c) { return static_cast<unsigned char>(c) < 0x80; })) return std::string(cp932);
    thread_local Converter conv("UTF-8", "CP932");
    std::string out;
    if (!conv.valid()) return std::string(cp932);
    while (!cp932.empty()) {
        std::size_t consumed = 0;
        if (conv.Convert(cp932, out, consumed)) break;
        // Replace the one offending byte and go on after it.
        out += kReplacement;
        cp932.remove_prefix(std::min(cp932.size(), consumed + 1));
    }
    return out;
}

std::optional<std::string> Utf8ToCp932(std::string_view utf8) {
    Converter conv("CP932", "UTF-8");
    std::string out;
    std::size_t consumed = 0;
    if (!conv.valid() || !conv.Convert(utf8, out, consumed)) return std::nullopt;
    // The converter maps a few characters one way only (〜 and ～ both become
    // 0x81 0x60); such text would come back changed, so it is not accepted.
    if (Cp932ToUtf8(out) != utf8) return std::nullopt;
    return out;
}

std::string Utf8ToCp932Lossy(std::string_view utf8) {
    const std::string mapped = MapCp932LookAlikes(utf8);
    if (auto whole = Utf8ToCp932(mapped)) return *whole;
    std::string out;
    std::size_t pos = 0;
    while (pos < mapped.size()) {
        // One UTF-8 sequence at a time; a broken one counts as one byte.
        const auto lead = static_cast<unsigned char>(mapped[pos]);
        std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
        // A sequence broken by a byte that does not continue it is one stray
        // byte; one cut off by the end of the text is one character.
        const std::size_t available = std::min(length, mapped.size() - pos);
        std::size_t k = 1;
        while (k < available && (static_cast<unsigned char>(mapped[pos + k]) & 0xC0) == 0x80) ++k;
        length = k < available ? 1 : available;
        auto one = Utf8ToCp932(std::string_view(mapped).substr(pos, length));
        out += one ? *one : std::string("?");
        pos += length;
    }
    return out;
}

namespace {

// Well-formed UTF-8: no stray continuation byte, no overlong form, no
// surrogate, nothing past U+10FFFF.
bool IsUtf8(std::string_view text) {
    std::size_t pos = 0;
    while (pos < text.size()) {
        const auto lead = static_cast<unsigned char>(text[pos]);
        const std::size_t length = lead < 0x80 ? 1 : lead >= 0xC2 && lead < 0xE0 ? 2 : lead >= 0xE0 && lead < 0xF0 ? 3
                                 : lead >= 0xF0 && lead < 0xF5 ? 4 : 0;
        if (length == 0 || pos + length > text.size()) return false;
        unsigned code = lead & (0xFFu >> (length + 1));
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[pos + k]);
            if ((next & 0xC0) != 0x80) return false;
            code = code << 6 | (next & 0x3Fu);
        }
        if ((length == 3 && (code < 0x800 || (code >= 0xD800 && code < 0xE000))) ||
            (length == 4 && (code < 0x10000 || code > 0x10FFFF))) {
            return false;
        }
        pos += length;
    }
    return true;
}

}  // namespace

std::string FileNameText(std::string_view name) {
    return IsUtf8(name) ? std::string(name) : Cp932ToUtf8(name);
}

namespace {

// The CP932 codes of each character that some code above 0x7F decodes to,
// made at the first use by decoding every code once, in one pass: each code
// is followed by a line end, which no code takes as its second byte.
const std::multimap<std::string, std::string>& Cp932Codes() {
    static const std::multimap<std::string, std::string> codes = [] {
        std::vector<std::string> all;
        for (unsigned first = 0x80; first <= 0xFF; ++first) {
            if (!IsCp932LeadByte(static_cast<unsigned char>(first))) {
                all.emplace_back(1, static_cast<char>(first));
                continue;
            }
            for (unsigned second = 0x40; second <= 0xFC; ++second) {
                if (second != 0x7F) all.push_back({static_cast<char>(first), static_cast<char>(second)});
            }
        }
        std::string joined;
        for (const std::string& code : all) joined.append(code).append("\n");
        const std::string decoded = Cp932ToUtf8(joined);
        std::multimap<std::string, std::string> map;
        std::size_t at = 0;
        for (const std::string& code : all) {
            const std::size_t end = decoded.find('\n', at);
            const std::string shown = decoded.substr(at, end - at);
            at = end + 1;
            if (shown.find(kReplacement) == std::string::npos) map.emplace(shown, code);
        }
        return map;
    }();
    return codes;
}

}  // namespace

std::optional<std::vector<std::string>> Cp932Spellings(std::string_view text, std::size_t most) {
    if (text.find(kReplacement) != std::string_view::npos) return std::nullopt;
    std::vector<std::string> spellings = {""};
    for (std::size_t pos = 0; pos < text.size();) {
        const auto lead = static_cast<unsigned char>(text[pos]);
        if (lead < 0x80) {
            for (std::string& spelling : spellings) spelling += text[pos];
            ++pos;
            continue;
        }
        const std::size_t length = std::min<std::size_t>(lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2, text.size() - pos);
        const auto [from, to] = Cp932Codes().equal_range(std::string(text.substr(pos, length)));
        if (from == to) return std::vector<std::string>{};   // no code shows as this character
        std::vector<std::string> longer;
        for (const std::string& spelling : spellings) {
            for (auto code = from; code != to; ++code) longer.push_back(spelling + code->second);
        }
        if (longer.size() > most) return std::nullopt;
        spellings = std::move(longer);
        pos += length;
    }
    std::erase_if(spellings, [](const std::string& spelling) { return IsUtf8(spelling); });
    return spellings;
}

std::string MapCp932LookAlikes(std::string_view utf8) {
    static constexpr std::pair<std::string_view, std::string_view> kLookAlikes[] = {
        {"\xE3\x80\x9C", "\xEF\xBD\x9E"},   // WAVE DASH -> FULLWIDTH TILDE
        {"\xE2\x88\x92", "\xEF\xBC\x8D"},   // MINUS SIGN -> FULLWIDTH HYPHEN-MINUS
        {"\xE2\x80\x94", "\xE2\x80\x95"},   // EM DASH -> HORIZONTAL BAR
        {"\xE2\x80\x96", "\xE2\x88\xA5"},   // DOUBLE VERTICAL LINE -> PARALLEL TO
        {"\xC2\xA2", "\xEF\xBF\xA0"},        // CENT SIGN -> FULLWIDTH CENT SIGN
        {"\xC2\xA3", "\xEF\xBF\xA1"},        // POUND SIGN -> FULLWIDTH POUND SIGN
        {"\xC2\xAC", "\xEF\xBF\xA2"},        // NOT SIGN -> FULLWIDTH NOT SIGN
    };
    std::string out;
    out.reserve(utf8.size());
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        bool mapped = false;
        for (const auto& [from, to] : kLookAlikes) {
            if (utf8.substr(pos, from.size()) == from) {
                out += to;
                pos += from.size();
                mapped = true;
                break;
            }
        }
        if (!mapped) out += utf8[pos++];
    }
    return out;
}

}  // namespace tunecrate
