#pragma once

#include <cstdint>
#include <string>

// The Size field's number: the digits after any leading blanks, at any length, as their
// exact value (the largest value for one past 64 bits, which no size reaches either); 0
// when the text starts with no digit. Nothing is cut at 32 bits: a number past
// 4,294,967,295 must not come out as a small one.
std::uint64_t parse_decimal(const std::string& text);
