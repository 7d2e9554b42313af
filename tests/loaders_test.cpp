#include "engine/error.h"
#include "engine/file_pair.h"
#include "tests/files.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

enum class Loader { cut, insert, create, patch, compare };

// Files every case may name; "" is an empty path, "missing" names no file.
class Files {
  public:
    Files() {
        write_file(path("small"), byte_run(10));
        write_file(path("empty"), {});
        write_file(path("target"), TARGET);
        // Names no code page holds, and one whose dash and quotes only some do.
        write_file(path("данные"), byte_run(10));
        write_file(path("€ – “x”"), TARGET);
        make_sized_file(path("max"), MAX_FILE_SIZE);
        make_sized_file(path("over"), std::uint64_t{MAX_FILE_SIZE} + 1);
        std::filesystem::create_directory(path("folder"));
    }
    std::string path(const std::string& name) const {
        return name.empty() ? "" : folder.path(name);
    }

    const Bytes TARGET = byte_run(5, 0x70);

  private:
    TempFolder folder;
};

void load(FilePair& pair, Loader loader, const std::string& input_text,
          const std::string& output_text) {
    const Path input = on_disk(input_text);
    const Path output = on_disk(output_text);
    switch (loader) {
    case Loader::cut: pair.load_for_cut(input, output); break;
    case Loader::insert: pair.load_for_insert(input, output); break;
    case Loader::create: pair.load_for_create(output); break;
    case Loader::patch: pair.load_for_patch(input); break;
    case Loader::compare: pair.load_for_compare(input, output); break;
    }
}

// The file_code a loader throws, or 0 when it returns.
std::int32_t load_code(FilePair& pair, Loader loader, const std::string& input,
                       const std::string& output) {
    try {
        load(pair, loader, input, output);
        return 0;
    } catch (const error& failure) {
        EXPECT_EQ(failure.range_code, 0);
        EXPECT_EQ(failure.file_code, pair.file_code);
        return failure.file_code;
    }
}

struct LoadCase {
    Loader loader;
    const char* input;
    const char* output;
    std::int32_t code;
};

// In each loader's check order: the first failure wins.
const LoadCase LOAD_CASES[] = {
    {Loader::cut, "", "", 1},
    {Loader::cut, "", "target", 1},
    {Loader::cut, "small", "", 3},
    {Loader::cut, "missing", "", 3},
    {Loader::cut, "missing", "target", 2},
    {Loader::cut, "missing", "fresh", 2},
    {Loader::cut, "folder", "target", 2},
    {Loader::cut, "empty", "target", 7},
    {Loader::cut, "over", "target", 5},
    {Loader::cut, "small", "folder", 4},
    {Loader::cut, "small", "missing/fresh", 4},
    {Loader::cut, "max", "target", 0},
    {Loader::cut, "small", "fresh", 0},

    {Loader::insert, "", "", 1},
    {Loader::insert, "small", "", 3},
    {Loader::insert, "missing", "target", 2},
    {Loader::insert, "empty", "over", 7},
    {Loader::insert, "over", "target", 5},
    {Loader::insert, "small", "fresh", 4},
    {Loader::insert, "small", "folder", 4},
    {Loader::insert, "small", "over", 6},
    {Loader::insert, "small", "empty", 0},
    {Loader::insert, "max", "max", 0},

    {Loader::create, "small", "", 3},
    {Loader::create, "", "folder", 4},
    {Loader::create, "", "missing/fresh", 4},
    {Loader::create, "", "fresh", 0},
    {Loader::create, "", "target", 0},

    {Loader::patch, "", "target", 1},
    {Loader::patch, "missing", "", 2},
    {Loader::patch, "folder", "", 2},
    {Loader::patch, "over", "", 5},
    {Loader::patch, "empty", "", 0},
    {Loader::patch, "max", "", 0},

    {Loader::compare, "", "", 1},
    {Loader::compare, "small", "", 3},
    {Loader::compare, "missing", "empty", 2},
    {Loader::compare, "empty", "missing", 7},
    {Loader::compare, "over", "empty", 5},
    {Loader::compare, "small", "missing", 4},
    {Loader::compare, "small", "folder", 4},
    {Loader::compare, "small", "empty", 8},
    {Loader::compare, "small", "over", 6},
    {Loader::compare, "max", "max", 0},

    {Loader::insert, "данные", "€ – “x”", 0},
    {Loader::patch, "€ – “x”", "", 0},
    {Loader::compare, "данные", "€ – “x”", 0},
    {Loader::cut, "нет", "€ – “x”", 2},
    {Loader::cut, "€ – “x”", "данные", 0},
    {Loader::create, "", "データ", 0},
};

TEST(Loaders, CodesInCheckOrderAndFilesLeftAlone) {
    Files files;
    FilePair pair;
    for (const LoadCase& c : LOAD_CASES) {
        SCOPED_TRACE(std::to_string(int(c.loader)) + " " + c.input + " -> " + c.output);
        const std::string output = files.path(c.output);
        const std::optional<Bytes> before =
            file_exists(output) && !std::filesystem::is_directory(on_disk(output))
                ? std::optional<Bytes>(read_file(output))
                : std::nullopt;

        EXPECT_EQ(load_code(pair, c.loader, files.path(c.input), output), c.code);
        pair.close();
        EXPECT_EQ(pair.file_code, 0);
        EXPECT_EQ(pair.range_code, 0);

        // A load writes nothing: an existing output is as it was, a missing one missing.
        if (before) {
            EXPECT_EQ(read_file(output), *before);
        } else if (!output.empty() && c.output != std::string("folder")) {
            EXPECT_FALSE(file_exists(output));
        }
    }
}

TEST(Loaders, MeasureWhatTheyOpen) {
    Files files;
    FilePair pair;
    pair.load_for_insert(files.path("small"), files.path("max"));
    EXPECT_EQ(pair.input_size, 10u);
    EXPECT_EQ(pair.output_size, MAX_FILE_SIZE);
    pair.close();

    pair.load_for_compare(files.path("max"), files.path("small"));
    EXPECT_EQ(pair.input_size, MAX_FILE_SIZE);
    EXPECT_EQ(pair.output_size, 10u);
    pair.close();

    pair.load_for_patch(files.path("target"));
    EXPECT_EQ(pair.output_size, 5u);
    pair.close();
}

TEST(Loaders, AFailedLoadLeavesTheStreamsUsable) {
    Files files;
    FilePair pair;
    EXPECT_EQ(load_code(pair, Loader::compare, files.path("small"), files.path("empty")), 8);
    pair.close();
    EXPECT_EQ(load_code(pair, Loader::insert, files.path("small"), files.path("missing")), 4);
    pair.close();
    EXPECT_EQ(load_code(pair, Loader::compare, files.path("small"), files.path("target")), 0);
    EXPECT_TRUE(pair.input_stream.is_open());
    EXPECT_TRUE(pair.second_stream.is_open());
    pair.close();
    EXPECT_FALSE(pair.input_stream.is_open());
    EXPECT_FALSE(pair.second_stream.is_open());
}

TEST(FileSize, MeasuresWithoutMoving) {
    Files files;
    File file;
    ASSERT_TRUE(file.open(on_disk(files.path("small")), Access::read));
    EXPECT_EQ(file.size(), 10u);
    unsigned char first = 0;
    EXPECT_EQ(file.read(&first, 1), 1u);
    EXPECT_EQ(first, 0x40);
}

} // namespace
