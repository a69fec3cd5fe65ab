// Cutting UTF-8 text to a byte limit.
#pragma once

#include <cstddef>
#include <string_view>

namespace trelcapg {

// The longest prefix of text of at most limit bytes that does not split a UTF-8
// sequence (text that is not UTF-8 is cut at the limit or just before a continuation
// byte).
inline std::string_view CutUtf8(std::string_view text, std::size_t limit) {
    if (text.size() <= limit) {
        return text;
    }
    std::size_t n = limit;
    while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) {
        --n;
    }
    return text.substr(0, n);
}

}  // namespace trelcapg
