#include "fields/hex_field.h"

#include <gtest/gtest.h>

namespace {

struct HexCase {
    const char* text;
    bool fails;
    std::uint32_t value;
};

const HexCase HEX_CASES[] = {
    {"", false, 0},
    {"0x", false, 0},
    {"0", false, 0},
    {"00000010", false, 16},
    {"ff", false, 255},
    {"FF", false, 255},
    {"0xff", false, 255},
    {"Ab", false, 171},
    {"FFFFFFFF", false, 4294967295u},
    {"0xFFFFFF", false, 16777215},
    {"0x12345678", false, 0x12345678},
    {"0x1234567", false, 0x1234567},
    {"ABCDEF01", false, 0xABCDEF01},
    {"0XFF", true, 0},
    {" 1", true, 0},
    {"1 ", true, 0},
    {"+1", true, 0},
    {"-1", true, 0},
    {"x12", true, 0},
    {"0x0x1", true, 0},
    {"12G", true, 0},
    {"g", true, 0},
    {"\xC3\xA9", true, 0},
    // Nine digits are refused whole, never cut to another address.
    {"100000000", true, 0},
    {"000000010", true, 0},
    {"ABCDEF012", true, 0},
    {"0x123456789", true, 0},
};

TEST(ParseHex, ValuesAndFailures) {
    for (const HexCase& c : HEX_CASES) {
        std::uint32_t target = 0xDEADBEEF;
        const bool failed = parse_hex(c.text, target);
        EXPECT_EQ(failed, c.fails) << '"' << c.text << '"';
        EXPECT_EQ(target, c.fails ? 0xDEADBEEF : c.value) << '"' << c.text << '"';
    }
}

TEST(ParseHex, EmbeddedNulFails) {
    std::uint32_t target = 7;
    EXPECT_TRUE(parse_hex(std::string("1\0"
                                      "2",
                                      3),
                          target));
    EXPECT_EQ(target, 7u);
}

TEST(PatchLength, CountsTheRawText) {
    const std::pair<const char*, std::uint32_t> cases[] = {
        {"", 1},         {"7", 1},        {"12", 1},        {"123", 2},
        {"0x12", 2},     {"ABCDEF", 3},   {"0x1234", 3},    {"1234567", 4},
        {"0x123456", 4}, {"FFFFFFFF", 4}, {"0x1234567", 4},
    };
    for (const auto& [text, length] : cases)
        EXPECT_EQ(patch_length(text), length) << text;
}

} // namespace
