#include "engine/error.h"
#include "engine/file_io.h"
#include "engine/file_pair.h"
#include "fields/hex_field.h"
#include "tests/files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace {

struct CreateCase {
    std::size_t old_length;
    std::uint32_t size;
    std::int32_t file_code;
    bool linked = false; // the output has a second name: emptied and given its length in place
};

const CreateCase CREATE_CASES[] = {
    {0, 0, 0},
    {1000, 10, 0},
    {7, 1, 0},
    {1000, 0, 0},
    {1000, CREATE_SIZE_LIMIT + 1, 6},
    {0, 0xFFFFFFFF, 6},
    {1000, 10, 0, true},
    {10, 1000, 0, true},
    {1000, CREATE_SIZE_LIMIT, 0},
};

TEST(CreateFile, ZerosReplaceTheOldContent) {
    TempFolder folder;
    const std::string output = folder.path("zeros.bin");
    const std::string twin = folder.path("twin.bin");
    FilePair pair;
    for (const CreateCase& c : CREATE_CASES) {
        SCOPED_TRACE(std::to_string(c.old_length) + " -> " + std::to_string(c.size));
        if (c.old_length) write_file(output, byte_run(c.old_length));
        std::filesystem::remove(on_disk(twin));
        if (c.linked) std::filesystem::create_hard_link(on_disk(output), on_disk(twin));
        const Bytes before = file_exists(output) ? read_file(output) : Bytes{};
        pair.load_for_create(output);
        std::int32_t code = 0;
        try {
            pair.create_file(c.size);
        } catch (const error& failure) {
            code = failure.file_code;
            EXPECT_EQ(failure.range_code, 0);
        }
        pair.close();
        EXPECT_EQ(code, c.file_code);
        // A refused size leaves the file as it was.
        EXPECT_EQ(read_file(output), code ? before : Bytes(c.size, 0));
        if (c.linked) {
            EXPECT_EQ(read_file(twin), read_file(output));
        }
    }
}

TEST(CreateFile, LargestSize) {
    TempFolder folder;
    const std::string output = folder.path("zeros.bin");
    FilePair pair;
    pair.load_for_create(output);
    pair.create_file(CREATE_SIZE_LIMIT);
    const Bytes written = read_file(output);
    ASSERT_EQ(written.size(), CREATE_SIZE_LIMIT);
    EXPECT_EQ(std::count(written.begin(), written.end(), 0), std::ptrdiff_t(CREATE_SIZE_LIMIT));
}

TEST(WriteRepeated, PiecesAddUpToTheCount) {
    const unsigned char block[] = {'a', 'b', 'c'};
    const std::pair<std::uint32_t, const char*> cases[] = {
        {0, ""}, {2, "ab"}, {3, "abc"}, {7, "abcabca"}, {9, "abcabcabc"}};
    TempFolder folder;
    const std::string path = folder.path("out.bin");
    for (const auto& [count, expected] : cases) {
        File out;
        write_file(path, {});
        ASSERT_TRUE(out.open(on_disk(path), Access::write));
        write_repeated(out, block, 3, count);
        EXPECT_TRUE(out.close());
        EXPECT_EQ(read_file(path), Bytes(expected, expected + std::strlen(expected)));
    }
}

TEST(ReverseLowBytes, MostSignificantFirst) {
    EXPECT_EQ(reverse_low_bytes(0x11223344, 4), 0x44332211u);
    EXPECT_EQ(reverse_low_bytes(0x11223344, 3), 0x443322u);
    EXPECT_EQ(reverse_low_bytes(0x11223344, 2), 0x4433u);
    EXPECT_EQ(reverse_low_bytes(0x11223344, 1), 0x44u);
}

struct PatchCase {
    const char* text;
    std::uint32_t begin;
    std::size_t file_length;
    Bytes written; // empty: the patch is refused and the file unchanged
};

const PatchCase PATCH_CASES[] = {
    {"7", 2, 13, {0x07}},
    {"AB", 2, 13, {0xAB}},
    {"ABC", 2, 13, {0x0A, 0xBC}},
    {"AABBCC", 0xA, 13, {0xAA, 0xBB, 0xCC}},
    {"89ABCDEF", 2, 13, {0x89, 0xAB, 0xCD, 0xEF}},
    {"0xAB", 2, 13, {0x00, 0xAB}},
    {"0xABC", 2, 13, {0x00, 0x0A, 0xBC}},
    {"0x12", 0, 13, {0x00, 0x12}},
    {"12", 0, 13, {0x12}},
    {"", 4, 13, {0x00}},
    {"89ABCDEF", 9, 13, {0x89, 0xAB, 0xCD, 0xEF}},
    {"89ABCDEF", 10, 13, {}},
    {"AABBCC", 0xB, 13, {}},
    {"1", 13, 13, {}},
    {"1", 0xFFFFFFFF, 13, {}},
    {"FFFFFFFF", 0xFFFFFFFD, 13, {}},
    {"1", 0, 0, {}},
};

TEST(SetPatch, BigEndianBytesInPlace) {
    TempFolder folder;
    const std::string path = folder.path("patched.bin");
    FilePair pair;
    for (const PatchCase& c : PATCH_CASES) {
        SCOPED_TRACE(std::string(c.text) + " at " + std::to_string(c.begin));
        const Bytes before = byte_run(c.file_length);
        write_file(path, before);
        std::uint32_t value = 0;
        ASSERT_FALSE(parse_hex(c.text, value));
        pair.load_for_patch(path);
        std::int32_t code = 0;
        try {
            pair.set_patch(c.begin, value, patch_length(c.text));
        } catch (const error& failure) {
            code = failure.range_code;
            EXPECT_EQ(failure.file_code, 0);
        }
        pair.close();
        Bytes expected = before;
        if (!c.written.empty())
            std::copy(c.written.begin(), c.written.end(), expected.begin() + c.begin);
        EXPECT_EQ(code, c.written.empty() ? 1 : 0);
        EXPECT_EQ(read_file(path), expected);
    }
}

} // namespace
