#pragma once

#include <cstdint>
#include <string>

// The digits of a hexadecimal field; a digit's value is its index.
constexpr const char HEX_DIGITS[] = "0123456789ABCDEF";

// The most digits a field may hold after its optional "0x": one 32-bit value.
constexpr std::size_t MAX_HEX_DIGITS = 8;

// A field's text as the program reads it: each character outside ASCII becomes one that
// no field takes, never the digit a code page's best fit would make of it (a fullwidth
// letter into its ASCII one).
std::string ascii_text(const std::wstring& text);

// Parses a hexadecimal field: an optional lowercase "0x", then at most 8 digits in
// either case; an empty text (or "0x" alone) is 0. Returns true on failure, leaving
// target untouched; on success stores the value and returns false.
bool parse_hex(const std::string& text, std::uint32_t& target);

// The number of bytes a Set patch writes: half the length of the Patch data text as
// typed (a "0x" included), rounded up, from 1 to 4.
std::uint32_t patch_length(const std::string& text);
