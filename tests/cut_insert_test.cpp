#include "engine/error.h"
#include "engine/file_pair.h"
#include "engine/saved_range.h"
#include "tests/files.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <iterator>
#include <optional>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

constexpr std::uint32_t NONE = 0;
constexpr std::uint32_t TOP = 0xFFFFFFFF;

// The range_code an operation throws, or 0 when it returns; the pair is idle again after.
std::int32_t range_code_of(FilePair& pair, const std::function<void()>& operation) {
    std::int32_t code = 0;
    try {
        operation();
    } catch (const error& failure) {
        EXPECT_EQ(failure.file_code, 0);
        code = failure.range_code;
    }
    pair.close();
    return code;
}

Bytes slice(const Bytes& bytes, std::size_t begin, std::size_t length) {
    return Bytes(bytes.begin() + std::ptrdiff_t(begin),
                 bytes.begin() + std::ptrdiff_t(begin + length));
}

struct CutCase {
    bool by_range; // Cut bytes from to: second is the inclusive end; else it is the size
    std::uint32_t begin;
    std::uint32_t second;
    std::int32_t code;
    std::uint32_t piece_begin;
    std::uint32_t piece_length;
};

// On a 16-byte input.
const CutCase CUT_CASES[] = {
    {false, 0, 0, 4, NONE, NONE},
    {false, 100, 0, 4, NONE, NONE},
    {false, 15, 1, 0, 15, 1},
    {false, 16, 1, 1, NONE, NONE},
    {false, 10, 6, 0, 10, 6},
    {false, 10, 7, 2, NONE, NONE},
    {false, 1, TOP, 2, NONE, NONE},
    {false, 0, 16, 0, 0, 16},
    {true, 5, 5, 0, 5, 1},
    {true, 0, 15, 0, 0, 16},
    {true, 3, 9, 0, 3, 7},
    {true, 3, 2, 5, NONE, NONE},
    {true, 3, 1, 3, NONE, NONE},
    {true, 16, 0, 1, NONE, NONE},
    {true, TOP, TOP - 1, 1, NONE, NONE},
    {true, 0, 16, 2, NONE, NONE},
    {true, 0, TOP, 2, NONE, NONE},
};

TEST(Cut, PiecesAndChecks) {
    TempFolder folder;
    const std::string input = folder.path("in.bin");
    const std::string output = folder.path("out.bin");
    const Bytes data = byte_run(16);
    write_file(input, data);
    FilePair pair;
    for (const CutCase& c : CUT_CASES) {
        SCOPED_TRACE((c.by_range ? "range " : "bytes ") + std::to_string(c.begin) + " " +
                     std::to_string(c.second));
        write_file(output, byte_run(40, 0x90));
        pair.load_for_cut(input, output);
        const std::int32_t code = range_code_of(pair, [&] {
            c.by_range ? pair.cut_range(c.begin, c.second) : pair.cut_bytes(c.begin, c.second);
        });
        EXPECT_EQ(code, c.code);
        // A refused cut leaves the output byte for byte as it was.
        EXPECT_EQ(read_file(output),
                  code ? byte_run(40, 0x90) : slice(data, c.piece_begin, c.piece_length));
        EXPECT_EQ(read_file(input), data);
    }
}

struct InsertCase {
    std::size_t input_length;
    std::size_t output_length;
    std::uint32_t begin;
    std::int32_t code;
};

// The last spans several pieces, from an address that is not a piece's.
constexpr std::size_t MANY = 600000;
constexpr std::size_t MORE = 700001;
constexpr std::uint32_t ODD = 99999;
const InsertCase INSERT_CASES[] = {
    {4, 12, 0, 0},  {4, 12, 5, 0},   {4, 12, 8, 0},        {4, 12, 9, 2}, {4, 12, 12, 2},
    {4, 12, 13, 1}, {4, 12, TOP, 1}, {4, 3, 0, 2},         {4, 3, 3, 2},  {4, 0, 0, 2},
    {4, 0, 1, 1},   {1, 1, 0, 0},    {MANY, MORE, ODD, 0},
};

TEST(Insert, OverwritesInPlaceKeepingTheLength) {
    TempFolder folder;
    const std::string input = folder.path("in.bin");
    const std::string output = folder.path("out.bin");
    FilePair pair;
    for (const InsertCase& c : INSERT_CASES) {
        SCOPED_TRACE(std::to_string(c.input_length) + " into " + std::to_string(c.output_length) +
                     " at " + std::to_string(c.begin));
        const Bytes data = byte_run(c.input_length, 0x10);
        const Bytes before = byte_run(c.output_length, 0xA0);
        write_file(input, data);
        write_file(output, before);
        pair.load_for_insert(input, output);
        EXPECT_EQ(range_code_of(pair, [&] { pair.insert_bytes(c.begin); }), c.code);
        Bytes expected = before;
        if (c.code == 0) std::copy(data.begin(), data.end(), expected.begin() + c.begin);
        EXPECT_EQ(read_file(output), expected);
        EXPECT_EQ(read_file(input), data);
    }
}

// Points the system's temporary folder at a folder while it lives.
class TemporaryFolderAt {
  public:
    explicit TemporaryFolderAt(const std::string& folder) {
        const char* const old = std::getenv(NAME);
        if (old) before = old;
        set(folder.c_str());
    }
    ~TemporaryFolderAt() { set(before ? before->c_str() : nullptr); }
    TemporaryFolderAt(const TemporaryFolderAt&) = delete;
    TemporaryFolderAt& operator=(const TemporaryFolderAt&) = delete;

  private:
#ifdef _WIN32
    static constexpr const char* NAME = "TMP"; // the system's first choice
    static void set(const char* value) {
        SetEnvironmentVariableA(NAME, value);
    }
#else
    static constexpr const char* NAME = "TMPDIR";
    static void set(const char* value) {
        value ? setenv(NAME, value, 1) : unsetenv(NAME);
    }
#endif
    std::optional<std::string> before;
};

// The kept bytes go back where they were, from the temporary file or from memory, the
// two ways a copy is held. The file leaves no name behind once it is closed, and none at
// all where an open file may lose its name; where the temporary folder is missing, or the
// bytes are an encrypted file's, the copy is held in memory.
TEST(Insert, KeptBytesGoBack) {
    TempFolder folder;
    const std::string path = folder.path("out.bin");
    const std::string temporary = folder.path("temporary");
    std::filesystem::create_directory(on_disk(temporary));
    const auto names_left = [&] {
        const std::filesystem::directory_iterator entries(on_disk(temporary));
        return std::distance(begin(entries), end(entries));
    };
    const Bytes before = byte_run(20, 0x30);
    for (const std::string way : {"file", "memory", "no temporary folder", "encrypted"}) {
        SCOPED_TRACE(way);
        write_file(path, before);
        SavedRange saved;
        {
            const TemporaryFolderAt kept_in(way == "no temporary folder" ? folder.path("gone")
                                                                         : temporary);
            start_saving(saved, 4, 10, way == "encrypted");
        }
        if (way == "file") {
            ASSERT_TRUE(saved.copy.is_open());
#ifdef _WIN32
            EXPECT_EQ(names_left(), 1); // removed by the system on the close
#else
            EXPECT_EQ(names_left(), 0);
#endif
        } else if (way == "memory") {
            saved.copy.close();
            saved.bytes = allocate_bytes(10);
        } else {
            EXPECT_FALSE(saved.copy.is_open());
            EXPECT_EQ(names_left(), 0);
        }
        ASSERT_TRUE(keep(saved, before.data() + 4, 6));
        ASSERT_TRUE(keep(saved, before.data() + 10, 4));
        saved.written = 10; // all of it written over
        write_file(path, byte_run(20, 0xC0));
        File file;
        ASSERT_TRUE(file.open(on_disk(path), Access::update));
        unsigned char piece[10];
        EXPECT_TRUE(put_back(saved, file, piece));
        EXPECT_TRUE(file.close());
        Bytes expected = byte_run(20, 0xC0);
        std::copy(before.begin() + 4, before.begin() + 14, expected.begin() + 4);
        EXPECT_EQ(read_file(path), expected);
        if (way == "encrypted") {
            // Kept for good only in a file the system encrypts: where the temporary folder
            // cannot (Wine, a folder without fscrypt), nowhere.
            const TemporaryFolderAt kept_in(temporary);
            const KeptBytes kept = keep_for_good(saved);
            File copy;
            EXPECT_TRUE(kept.file.empty() ? names_left() == 0
                                          : copy.open(kept.file, Access::read) && copy.encrypted());
            copy.close();
            if (!kept.file.empty()) std::filesystem::remove(kept.file);
        }
        saved.copy.close();
        EXPECT_EQ(names_left(), 0);
    }
}

} // namespace
