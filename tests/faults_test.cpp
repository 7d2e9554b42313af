// Failures the streams report: a full disk, a file that shrinks while a job runs, a
// file too large for 32 bits, one file reached by two spellings.
#include "engine/error.h"
#include "engine/file_pair.h"
#include "tests/engine_jobs.h"
#include "tests/files.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

TEST(Faults, FullDiskIsAWriteError) {
    TempFolder folder;
    const std::string input = folder.path("in.bin");
    write_file(input, byte_run(64));
    FilePair pair;
    const std::vector<EngineJob> jobs = new_output_jobs(pair, input, FULL_DEVICE, 64);
    for (const auto& [name, job] : jobs) {
        const error failure = failure_of(pair, job);
        EXPECT_EQ(failure.file_code, 11) << name;
        EXPECT_EQ(failure.range_code, 0) << name;
    }
    EXPECT_EQ(read_file(input), byte_run(64));
}

TEST(Faults, InputShrunkAfterLoadingIsAReadError) {
    TempFolder folder;
    const std::string input = folder.path("in.bin");
    const std::string output = folder.path("out.bin");
    FilePair pair;
    const auto shrink = [&](const std::string& path) { std::filesystem::resize_file(path, 3); };
    const std::tuple<const char*, std::function<void()>, std::int32_t> jobs[] = {
        {"cut bytes",
         [&] {
             pair.load_for_cut(input, output);
             shrink(input);
             pair.cut_bytes(0, 2);
         },
         9},
        {"cut range",
         [&] {
             pair.load_for_cut(input, output);
             shrink(input);
             pair.cut_range(0, 1);
         },
         9},
        {"insert",
         [&] {
             pair.load_for_insert(input, output);
             shrink(input);
             pair.insert_bytes(0);
         },
         9},
        {"compare input",
         [&] {
             pair.load_for_compare(input, output);
             shrink(input);
             pair.compare_files();
         },
         9},
        {"compare output",
         [&] {
             pair.load_for_compare(input, output);
             shrink(output);
             pair.compare_files();
         },
         10},
    };
    for (const auto& [name, job, code] : jobs) {
        write_file(input, byte_run(32));
        write_file(output, byte_run(48, 0xC0));
        const bool emptied = std::string(name).rfind("cut", 0) == 0;
        const Bytes before = read_file(output);
        EXPECT_EQ(failure_of(pair, job).file_code, code) << name;
        // A cut leaves its output empty, never half-written; nothing else is touched.
        if (emptied) {
            EXPECT_EQ(file_length(output), 0u) << name;
        } else if (code == 9) {
            EXPECT_EQ(read_file(output), before) << name;
        }
    }
}

TEST(Faults, LengthsOverFourGibibytesAreNotTakenModulo) {
    TempFolder folder;
    const std::string huge = folder.path("huge.bin");
    const std::string small = folder.path("small.bin");
    make_sized_file(huge, (std::uint64_t{1} << 32) + 10);
    write_file(small, byte_run(10));
    FilePair pair;
    const std::tuple<const char*, std::function<void()>, std::int32_t> loads[] = {
        {"cut", [&] { pair.load_for_cut(huge, folder.path("out.bin")); }, 5},
        {"insert input", [&] { pair.load_for_insert(huge, small); }, 5},
        {"insert output", [&] { pair.load_for_insert(small, huge); }, 6},
        {"patch", [&] { pair.load_for_patch(huge); }, 5},
        {"compare output", [&] { pair.load_for_compare(small, huge); }, 6},
    };
    for (const auto& [name, load, code] : loads)
        EXPECT_EQ(failure_of(pair, load).file_code, code) << name;
}

// One file as input and output, named two ways: the cut works in place, and a failed
// check leaves the file as it was.
TEST(Faults, CutWithOneFileAsInputAndOutput) {
    TempFolder folder;
    std::filesystem::create_directory(folder.path("sub"));
    const std::string path = folder.path("sub/data.bin");
    std::vector<std::string> spellings = {path, folder.path("sub/./data.bin"),
                                          folder.path("sub/../sub/data.bin")};
#ifdef _WIN32
    spellings.push_back(folder.path("SUB/DATA.BIN"));
#endif
    const Bytes data = byte_run(20);
    FilePair pair;
    for (const std::string& other : spellings) {
        SCOPED_TRACE(other);
        write_file(path, data);
        EXPECT_EQ(failure_of(pair,
                             [&] {
                                 pair.load_for_cut(path, other);
                                 pair.cut_bytes(30, 1);
                             })
                      .range_code,
                  1);
        EXPECT_EQ(read_file(path), data);
        EXPECT_EQ(failure_of(pair,
                             [&] {
                                 pair.load_for_cut(other, path);
                                 pair.cut_range(5, 3);
                             })
                      .range_code,
                  3);
        EXPECT_EQ(read_file(path), data);

        EXPECT_EQ(failure_of(pair,
                             [&] {
                                 pair.load_for_cut(path, other);
                                 pair.cut_bytes(4, 6);
                             })
                      .file_code,
                  0);
        EXPECT_EQ(read_file(path), Bytes(data.begin() + 4, data.begin() + 10));
        write_file(path, data);
        EXPECT_EQ(failure_of(pair,
                             [&] {
                                 pair.load_for_cut(other, path);
                                 pair.cut_range(19, 19);
                             })
                      .file_code,
                  0);
        EXPECT_EQ(read_file(path), Bytes{data[19]});
    }
}

} // namespace
