#include "engine/file_pair.h"
#include "tests/files.h"

#include <gtest/gtest.h>

namespace {

Bytes with_byte(Bytes bytes, std::size_t index, unsigned char value) {
    bytes[index] = value;
    return bytes;
}

Bytes appended(Bytes bytes, std::size_t count) {
    bytes.resize(bytes.size() + count, 0x5A);
    return bytes;
}

struct CompareCase {
    Bytes input;
    Bytes output;
    const char* report;
};

TEST(Compare, ReportLines) {
    const Bytes ten = byte_run(10);
    const CompareCase cases[] = {
        {ten, ten, "Files content: equivalent\nFiles size: equivalent"},
        {ten, with_byte(ten, 9, 0), "Files content: different\nFiles size: equivalent"},
        {ten, with_byte(ten, 0, 0), "Files content: different\nFiles size: equivalent"},
        {ten, appended(ten, 3),
         "Files content: equivalent\nFiles size: different\nOutput file +3 bytes"},
        {ten, with_byte(byte_run(4), 2, 0),
         "Files content: different\nFiles size: different\nInput file +6 bytes"},
        {appended(ten, 1), ten,
         "Files content: equivalent\nFiles size: different\nInput file +1 bytes"},
        {with_byte(ten, 1, 0), appended(ten, 2),
         "Files content: different\nFiles size: different\nOutput file +2 bytes"},
        {{1},
         appended({1}, 1048576),
         "Files content: equivalent\nFiles size: different\nOutput file +1048576 bytes"},
    };
    TempFolder folder;
    const std::string input = folder.path("a.bin");
    const std::string output = folder.path("b.bin");
    FilePair pair;
    for (const CompareCase& c : cases) {
        write_file(input, c.input);
        write_file(output, c.output);
        pair.load_for_compare(input, output);
        EXPECT_EQ(pair.compare_files(), c.report);
        EXPECT_FALSE(pair.input_stream.is_open());
        EXPECT_FALSE(pair.second_stream.is_open());
        EXPECT_EQ(read_file(input), c.input);
        EXPECT_EQ(read_file(output), c.output);
    }
}

TEST(Compare, OneFileWithItself) {
    TempFolder folder;
    const std::string path = folder.path("a.bin");
    write_file(path, byte_run(300));
    FilePair pair;
    pair.load_for_compare(path, path);
    EXPECT_EQ(pair.compare_files(), "Files content: equivalent\nFiles size: equivalent");
}

} // namespace
