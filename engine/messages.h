#pragma once

#include <cstdint>

// The message of a file code or a range code; null for a code outside its table
// (0 included), which shows nothing.
const char* file_message(std::int32_t file_code);
const char* range_message(std::int32_t range_code);

// Shown for any failure that is not an error record.
constexpr const char UNKNOWN_ERROR_TEXT[] = "Unknown error";
constexpr const char ERROR_TITLE[] = "Error";
