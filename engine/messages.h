#pragma once

#include <cstdint>
#include <string>

// The message of a file code or a range code; null for a code outside its table
// (0 included), which shows nothing.
const char* file_message(std::int32_t file_code);
const char* range_message(std::int32_t range_code);

// Where the old bytes of a file that could not be mended are, after the message of its
// code: the file holding them (UTF-8) and the offset they belong at.
std::string kept_bytes_text(const std::string& file, std::uint32_t at);

// Shown for any failure that is not an error record.
constexpr const char UNKNOWN_ERROR_TEXT[] = "Unknown error";
constexpr const char ERROR_TITLE[] = "Error";
