// Any text as a hexadecimal field: parse_hex must agree with a plain reading of the
// digits, refuse what is not one 32-bit value, and never touch its target on failure.
#include "fields/hex_field.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

// The value of the text, or -1 when it is no field: an optional "0x", then at most
// 8 hexadecimal digits in either case.
std::int64_t reference_value(const std::string& text) {
    const std::string digits = text.rfind("0x", 0) == 0 ? text.substr(2) : text;
    if (digits.size() > 8) return -1;
    std::int64_t value = 0;
    for (const char c : digits) {
        int digit = -1;
        if (c >= '0' && c <= '9') digit = c - '0';
        if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
        if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
        if (digit < 0) return -1;
        value = value * 16 + digit;
    }
    return value;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::uint32_t target = 0xA5A5A5A5;
    const bool failed = parse_hex(text, target);
    const std::int64_t expected = reference_value(text);
    if (failed != (expected < 0)) std::abort();
    if (failed ? target != 0xA5A5A5A5 : target != expected) std::abort();
    const std::uint32_t length = patch_length(text);
    if (length < 1 || length > 4) std::abort();
    return 0;
}
