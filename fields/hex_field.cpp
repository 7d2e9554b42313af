#include "fields/hex_field.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr char NOT_ASCII = '?';

char upper_case(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

} // namespace

std::string ascii_text(const std::wstring& text) {
    std::string ascii(text.size(), NOT_ASCII);
    std::transform(text.begin(), text.end(), ascii.begin(), [](wchar_t c) {
        return static_cast<std::uint32_t>(c) < 0x80 ? static_cast<char>(c) : NOT_ASCII;
    });
    return ascii;
}

bool parse_hex(const std::string& text, std::uint32_t& target) {
    // Only a lowercase x makes a prefix; "0X" fails on its X below.
    const std::size_t start = text.compare(0, 2, "0x") == 0 ? 2 : 0;
    if (text.size() - start > MAX_HEX_DIGITS) return true;
    std::uint32_t value = 0;
    for (std::size_t i = start; i < text.size(); ++i) {
        const char c = upper_case(text[i]);
        const char* digit = c == '\0' ? nullptr : std::strchr(HEX_DIGITS, c);
        if (!digit) return true;
        value = (value << 4) | static_cast<std::uint32_t>(digit - HEX_DIGITS);
    }
    target = value;
    return false;
}

std::uint32_t patch_length(const std::string& text) {
    const std::size_t half = (text.size() + 1) / 2;
    return static_cast<std::uint32_t>(std::clamp<std::size_t>(half, 1, 4));
}
