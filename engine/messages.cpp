#include "engine/messages.h"

#include <iterator>

namespace {

// Indexed by code; entry 0 stands for "no failure".
constexpr const char* FILE_MESSAGES[] = {
    nullptr,
    "Input file is not selected",
    "Load input file error",
    "Output file is not selected",
    "Load output file error",
    "Input file size, out of limit",
    "Output file size, out of limit",
    "Empty input file",
    "Empty output file",
    "Read input file error",
    "Read output file error",
    "Write output file error",
    "Write input file error",
    "Write output file error, and its old bytes could not be put back. They are kept in",
    "Write input file error, and its old bytes could not be put back. They are kept in",
};

// "adress" is how users have always seen these messages.
constexpr const char* RANGE_MESSAGES[] = {
    nullptr,
    "Begin adress out of file",
    "End adress out of file",
    "End address is less than begin address",
    "The size too small",
    "There is nothing to cut out",
    "Hex value error, in begin address field",
    "Hex value error, in end address field",
    "Hex value error, in patch data field",
};

template <std::size_t N> const char* lookup(const char* const (&table)[N], std::int32_t code) {
    if (code < 0 || static_cast<std::size_t>(code) >= N) return nullptr;
    return table[code];
}

} // namespace

const char* file_message(std::int32_t file_code) {
    return lookup(FILE_MESSAGES, file_code);
}

const char* range_message(std::int32_t range_code) {
    return lookup(RANGE_MESSAGES, range_code);
}

std::string kept_bytes_text(const std::string& file, std::uint32_t at) {
    if (file.empty()) return "no file: none could be made";
    static constexpr char DIGITS[] = "0123456789ABCDEF";
    std::string offset;
    do {
        offset.insert(offset.begin(), DIGITS[at % 16]);
        at /= 16;
    } while (at != 0);
    return file + ", for offset 0x" + offset;
}
