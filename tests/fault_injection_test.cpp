// Faults from outside the program while a job runs: an input that grows after it was
// measured, and a small filesystem that fills up, or has no room for a write over a
// sparse file. Nothing is lost: the input stays as it is, an output is either whole or
// empty, and a file written over in place holds its old bytes again.
#include "engine/error.h"
#include "engine/file_pair.h"
#include "tests/engine_jobs.h"
#include "tests/files.h"
#include "tests/recording_dialog.h"
#include "ui/res/resource.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <functional>

namespace {

void append(const std::string& path, const Bytes& tail) {
    Bytes whole = read_file(path);
    whole.insert(whole.end(), tail.begin(), tail.end());
    write_file(path, whole);
}

// The job works on the bytes it measured; what was added meanwhile stays in the input.
TEST(FaultInjection, InputGrownAfterMeasuring) {
    TempFolder folder;
    const std::string input = folder.path("in.bin");
    const std::string output = folder.path("out.bin");
    const Bytes first = byte_run(32);
    const Bytes added = byte_run(16, 0xE0);
    FilePair pair;
    struct Case {
        const char* name;
        std::function<void()> job;
        Bytes output_after;
    };
    std::string report;
    const Case cases[] = {
        {"cut bytes",
         [&] {
             pair.load_for_cut(input, output);
             append(input, added);
             pair.cut_bytes(30, 2);
         },
         Bytes(first.begin() + 30, first.end())},
        {"cut range",
         [&] {
             pair.load_for_cut(input, output);
             append(input, added);
             pair.cut_range(0, 31);
         },
         first},
        {"insert",
         [&] {
             pair.load_for_insert(input, output);
             append(input, added);
             pair.insert_bytes(8);
         },
         [&] {
             Bytes target = byte_run(48, 0x90);
             std::copy(first.begin(), first.end(), target.begin() + 8);
             return target;
         }()},
        {"compare",
         [&] {
             pair.load_for_compare(input, output);
             append(input, added);
             report = pair.compare_files();
         },
         byte_run(48, 0x90)},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        write_file(input, first);
        write_file(output, byte_run(48, 0x90));
        const error failure = failure_of(pair, test.job);
        EXPECT_EQ(failure.file_code, 0);
        EXPECT_EQ(failure.range_code, 0);
        Bytes grown = first;
        grown.insert(grown.end(), added.begin(), added.end());
        EXPECT_EQ(read_file(input), grown);
        EXPECT_EQ(read_file(output), test.output_after);
    }
    EXPECT_EQ(report, "Files content: different\nFiles size: different\nOutput file +16 bytes");
}

#ifndef _WIN32
// A filesystem of 64 KiB of its own, mounted for the test; skipped where mounting is not
// allowed.
class SmallFilesystem {
  public:
    explicit SmallFilesystem(const std::string& at) : at(at) {
        mounted =
            std::system(
                ("mount -t tmpfs -o size=64k korvel-full '" + at + "' 2>/dev/null").c_str()) == 0;
    }
    ~SmallFilesystem() {
        if (mounted) std::system(("umount '" + at + "'").c_str());
    }
    SmallFilesystem(const SmallFilesystem&) = delete;
    SmallFilesystem& operator=(const SmallFilesystem&) = delete;
    bool mounted = false;

  private:
    std::string at;
};

TEST(FaultInjection, SmallFilesystemFillsUp) {
    TempFolder folder;
    const std::string mount_point = folder.path("small");
    std::filesystem::create_directory(mount_point);
    const SmallFilesystem small(mount_point);
    if (!small.mounted) GTEST_SKIP() << "no filesystem can be mounted here";
    const std::string input = folder.path("in.bin");
    const Bytes data = byte_run(200000);
    write_file(input, data);
    const std::string output = mount_point + "/out.bin";
    const std::string target = mount_point + "/target.bin";
    write_file(target, byte_run(1000, 0x10));
    FilePair pair;
    const auto names = [&] {
        std::vector<std::string> found;
        for (const auto& entry : std::filesystem::directory_iterator(mount_point))
            found.push_back(entry.path().filename().string());
        std::sort(found.begin(), found.end());
        return found;
    };
    // No room for the new file: a missing output stays missing, an existing one as it was,
    // and nothing is left beside them.
    for (const std::string& written : {output, target}) {
        for (const auto& [name, job] : new_output_jobs(pair, input, written, 200000)) {
            SCOPED_TRACE(written + " " + name);
            const error failure = failure_of(pair, job);
            EXPECT_EQ(failure.file_code, 11);
            EXPECT_FALSE(file_exists(output));
            EXPECT_EQ(read_file(input), data);
            EXPECT_EQ(read_file(target), byte_run(1000, 0x10));
            EXPECT_EQ(names(), std::vector<std::string>{"target.bin"});
        }
    }
    // Insert bytes over a file whose room was never taken (sparse), with no room beside it
    // either: written in place, the write fails part-way, the bytes that went through are
    // put back, and the dialog says so.
    const std::string sparse = mount_point + "/sparse.bin";
    write_file(sparse, byte_run(1000, 0x20));
    std::filesystem::resize_file(sparse, 200000);
    const Bytes before = read_file(sparse);
    RecordingDialog dialog;
    dialog.texts[IDC_BEGIN] = "0";
    run_operation(dialog, Job{InsertBytes, input, sparse});
    ASSERT_EQ(dialog.boxes.size(), 1u);
    EXPECT_EQ(dialog.boxes[0].title, "Error");
    EXPECT_EQ(dialog.boxes[0].text, "Write output file error");
    EXPECT_EQ(read_file(sparse), before);
    std::filesystem::remove(sparse);

    // The input in place on the full filesystem, and Insert over a file whose room is
    // taken: written where they lie, they need no new room.
    const Bytes own = byte_run(40000, 0x30);
    write_file(output, own);
    std::ofstream(mount_point + "/filler", std::ios::binary)
        << std::string(65536, 'f'); // takes what room is left
    EXPECT_EQ(failure_of(pair,
                         [&] {
                             pair.load_for_cut(output, output);
                             pair.cut_bytes(100, 1000);
                         })
                  .file_code,
              0);
    EXPECT_EQ(read_file(output), Bytes(own.begin() + 100, own.begin() + 1100));
    const Bytes short_input = byte_run(16, 0x50);
    write_file(input, short_input);
    EXPECT_EQ(failure_of(pair,
                         [&] {
                             pair.load_for_insert(input, target);
                             pair.insert_bytes(4);
                         })
                  .file_code,
              0);
    Bytes inserted = byte_run(1000, 0x10);
    std::copy(short_input.begin(), short_input.end(), inserted.begin() + 4);
    EXPECT_EQ(read_file(target), inserted);
    EXPECT_EQ(names(), (std::vector<std::string>{"filler", "out.bin", "target.bin"}));
}
#endif

} // namespace
