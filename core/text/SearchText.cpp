// SPDX-License-Identifier: MIT
#include "core/text/SearchText.h"

#include <unicode/unorm2.h>
#include <unicode/ustring.h>

#include <vector>

namespace tunecrate {

std::string SearchKey(std::string_view utf8) {
    UErrorCode status = U_ZERO_ERROR;
    // NFKC with case folding in one pass; the instance belongs to ICU.
    const UNormalizer2* fold = unorm2_getNFKCCasefoldInstance(&status);
    if (U_FAILURE(status) || utf8.size() > 1u << 20) return std::string(utf8);
    std::vector<UChar> in(utf8.size() + 1), out;
    int32_t inLength = 0;
    u_strFromUTF8(in.data(), static_cast<int32_t>(in.size()), &inLength, utf8.data(), static_cast<int32_t>(utf8.size()),
                  &status);
    if (U_FAILURE(status)) return std::string(utf8);
    // Folding can lengthen a text (a ligature, a squared word): ask, then grow once.
    out.resize(static_cast<std::size_t>(inLength) * 2 + 8);
    int32_t outLength = unorm2_normalize(fold, in.data(), inLength, out.data(), static_cast<int32_t>(out.size()), &status);
    if (status == U_BUFFER_OVERFLOW_ERROR) {
        status = U_ZERO_ERROR;
        out.resize(static_cast<std::size_t>(outLength));
        outLength = unorm2_normalize(fold, in.data(), inLength, out.data(), outLength, &status);
    }
    if (U_FAILURE(status)) return std::string(utf8);
    std::string result(static_cast<std::size_t>(outLength) * 3, '\0');
    int32_t resultLength = 0;
    u_strToUTF8(result.data(), static_cast<int32_t>(result.size()), &resultLength, out.data(), outLength, &status);
    if (U_FAILURE(status)) return std::string(utf8);
    result.resize(static_cast<std::size_t>(resultLength));
    return result;
}

bool KeyFound(std::string_view text, std::string_view key) { return text.find(key) != std::string_view::npos; }

}  // namespace tunecrate
