#include "fields/decimal_field.h"

#include <limits>

std::uint64_t parse_decimal(const std::string& text) {
    constexpr std::uint64_t MOST = std::numeric_limits<std::uint64_t>::max();
    std::size_t at = text.find_first_not_of(" \t");
    std::uint64_t value = 0;
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
        const auto digit = static_cast<std::uint64_t>(text[at] - '0');
        value = value > (MOST - digit) / 10 ? MOST : value * 10 + digit;
    }
    return value;
}
