#include "engine/file_io.h"
#include "job/job.h"
#include "tests/files.h"
#include "tests/recording_dialog.h"
#include "ui/res/resource.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

namespace {

using BoxTexts = std::vector<std::pair<std::string, std::string>>; // title, text
using FilesAfter = std::vector<std::pair<std::string, Bytes>>;     // name, contents

const Bytes IN = byte_run(16, 0x40);
const Bytes OUT = byte_run(8, 0xA0);
const Bytes BIG = byte_run(32, 0x00);

Bytes patched(Bytes bytes, std::size_t at, const Bytes& patch) {
    std::copy(patch.begin(), patch.end(), bytes.begin() + std::ptrdiff_t(at));
    return bytes;
}

Bytes concat(const Bytes& head, const Bytes& tail) {
    Bytes joined = head;
    joined.insert(joined.end(), tail.begin(), tail.end());
    return joined;
}

struct JobCase {
    const char* name;
    std::int32_t operation;
    const char* input; // a name in the test folder; "" is an empty path
    const char* output;
    const char* begin;
    const char* end;
    const char* size;
    BoxTexts boxes;
    FilesAfter files;
};

const char* const DONE = "Done";
const char* const ERROR = "Error";
const char* const SUCCESS = "Operation is successfully finished";

const JobCase JOB_CASES[] = {
    {"cut bytes",
     CutBytes,
     "in",
     "out",
     "2",
     "",
     "3",
     {{DONE, SUCCESS}},
     {{"out", byte_run(3, 0x42)}, {"in", IN}}},
    {"cut bytes, empty begin is 0",
     CutBytes,
     "in",
     "out",
     "",
     "",
     "1",
     {{DONE, SUCCESS}},
     {{"out", {0x40}}}},
    {"cut bytes, capital X",
     CutBytes,
     "in",
     "out",
     "0X10",
     "",
     "1",
     {{ERROR, "Hex value error, in begin address field"}},
     {{"out", OUT}}},
    {"cut bytes, nine digits",
     CutBytes,
     "in",
     "out",
     "000000001",
     "",
     "1",
     {{ERROR, "Hex value error, in begin address field"}},
     {{"out", OUT}}},
    {"cut bytes, empty size",
     CutBytes,
     "in",
     "out",
     "0",
     "",
     "",
     {{ERROR, "The size too small"}},
     {{"out", OUT}, {"in", IN}}},
    {"cut bytes, no input",
     CutBytes,
     "",
     "",
     "0",
     "",
     "1",
     {{ERROR, "Input file is not selected"}},
     {}},
    {"cut bytes, missing input",
     CutBytes,
     "missing",
     "out",
     "0",
     "",
     "1",
     {{ERROR, "Load input file error"}},
     {{"out", OUT}}},
    {"cut bytes, an output of two names",
     CutBytes,
     "in",
     "linked",
     "2",
     "",
     "3",
     {{DONE, SUCCESS}},
     {{"linked", byte_run(3, 0x42)}, {"twin", byte_run(3, 0x42)}}},
    {"cut bytes, an output held open",
     CutBytes,
     "in",
     "held",
     "2",
     "",
     "3",
     {{DONE, SUCCESS}},
     {{"held", byte_run(3, 0x42)}}},
    {"cut range",
     CutRange,
     "in",
     "out",
     "0xE",
     "F",
     "",
     {{DONE, SUCCESS}},
     {{"out", {0x4E, 0x4F}}}},
    {"cut range, bad end",
     CutRange,
     "in",
     "out",
     "1",
     "zz",
     "",
     {{ERROR, "Hex value error, in end address field"}},
     {{"out", OUT}}},
    {"cut range, backwards",
     CutRange,
     "in",
     "out",
     "5",
     "3",
     "",
     {{ERROR, "End address is less than begin address"}},
     {{"out", OUT}}},
    {"insert",
     InsertBytes,
     "in",
     "big",
     "10",
     "",
     "",
     {{DONE, SUCCESS}},
     {{"big", concat(byte_run(16, 0x00), IN)}, {"in", IN}}},
    {"insert, past the end",
     InsertBytes,
     "in",
     "out",
     "0",
     "",
     "",
     {{ERROR, "End adress out of file"}},
     {{"out", OUT}}},
    {"create",
     CreateZeroFile,
     "",
     "out",
     "zz",
     "zz",
     "5",
     {{DONE, SUCCESS}},
     {{"out", Bytes(5, 0)}}},
    {"create, an output of two names",
     CreateZeroFile,
     "",
     "twin",
     "",
     "",
     "5",
     {{DONE, SUCCESS}},
     {{"linked", Bytes(5, 0)}, {"twin", Bytes(5, 0)}}},
    {"create, over the limit",
     CreateZeroFile,
     "",
     "out",
     "",
     "",
     "104857601",
     {{ERROR, "Output file size, out of limit"}},
     {{"out", OUT}}},
    {"create, a size past 32 bits is not taken modulo",
     CreateZeroFile,
     "",
     "out",
     "",
     "",
     "5000000000",
     {{ERROR, "Output file size, out of limit"}},
     {{"out", OUT}}},
    {"cut bytes, a size past 32 bits is not taken modulo",
     CutBytes,
     "in",
     "out",
     "2",
     "",
     "4294967300",
     {{ERROR, "End adress out of file"}},
     {{"out", OUT}}},
    {"create, a size past 64 bits is not taken modulo",
     CreateZeroFile,
     "",
     "out",
     "",
     "",
     "18446744073709551617",
     {{ERROR, "Output file size, out of limit"}},
     {{"out", OUT}}},
    {"patch with prefix",
     SetPatch,
     "in",
     "out",
     "1",
     "0x12",
     "",
     {{DONE, SUCCESS}},
     {{"in", patched(IN, 1, {0x00, 0x12})}, {"out", OUT}}},
    {"patch without prefix",
     SetPatch,
     "in",
     "",
     "F",
     "12",
     "",
     {{DONE, SUCCESS}},
     {{"in", patched(IN, 15, {0x12})}}},
    {"patch, bad data",
     SetPatch,
     "in",
     "out",
     "1",
     "12 ",
     "",
     {{ERROR, "Hex value error, in patch data field"}},
     {{"in", IN}}},
    {"patch, nine digits",
     SetPatch,
     "in",
     "out",
     "0",
     "123456789",
     "",
     {{ERROR, "Hex value error, in patch data field"}},
     {{"in", IN}}},
    {"patch, prefix and seven digits",
     SetPatch,
     "big",
     "",
     "0",
     "0x1234567",
     "",
     {{DONE, SUCCESS}},
     {{"big", patched(BIG, 0, {0x01, 0x23, 0x45, 0x67})}}},
    {"patch, past the end",
     SetPatch,
     "in",
     "",
     "F",
     "123",
     "",
     {{ERROR, "Begin adress out of file"}},
     {{"in", IN}}},
    {"compare",
     CompareFiles,
     "in",
     "in",
     "",
     "",
     "",
     {{DONE, "Files content: equivalent\nFiles size: equivalent"}},
     {}},
    {"compare, longer output",
     CompareFiles,
     "out",
     "big",
     "",
     "",
     "",
     {{DONE, "Files content: different\nFiles size: different\nOutput file +24 bytes"}},
     {}},
    {"compare, empty output",
     CompareFiles,
     "in",
     "empty",
     "",
     "",
     "",
     {{ERROR, "Empty output file"}},
     {}},
    {"unknown operation 0",
     0,
     "in",
     "out",
     "",
     "",
     "",
     {{DONE, "Unknow operation"}},
     {{"out", OUT}}},
    {"unknown operation 7",
     7,
     "in",
     "out",
     "",
     "",
     "",
     {{DONE, "Unknow operation"}},
     {{"out", OUT}}},
};

class JobRun : public ::testing::Test {
  protected:
    TempFolder folder;
    std::optional<HeldOpen> held;

    std::string path(const char* name) const { return *name ? folder.path(name) : ""; }

    void lay_out_files() {
        write_file(path("in"), IN);
        write_file(path("out"), OUT);
        write_file(path("big"), BIG);
        write_file(path("empty"), {});
        // Two names of one file: every name must show a job's result.
        write_file(path("linked"), OUT);
        std::filesystem::remove(on_disk(path("twin")));
        std::filesystem::create_hard_link(on_disk(path("linked")), on_disk(path("twin")));
        write_file(path("held"), OUT);
        if (!held) held.emplace(path("held"));
    }

    RecordingDialog run(const JobCase& c) {
        RecordingDialog dialog;
        dialog.texts = {{IDC_BEGIN, c.begin}, {IDC_END, c.end}, {IDC_SIZE, c.size}};
        run_operation(dialog, Job{c.operation, path(c.input), path(c.output)});
        return dialog;
    }
};

TEST_F(JobRun, EveryOutcome) {
    for (const JobCase& c : JOB_CASES) {
        SCOPED_TRACE(c.name);
        lay_out_files();
        const RecordingDialog dialog = run(c);

        BoxTexts shown;
        for (const Box& box : dialog.boxes) {
            shown.emplace_back(box.title, box.text);
            const bool done = box.title == DONE;
            EXPECT_EQ(box.icon, done ? Icon::none : Icon::error);
            EXPECT_EQ(box.modality, done ? Modality::task : Modality::application);
            EXPECT_TRUE(box.busy_while_shown);
            EXPECT_TRUE(box.start_enabled_while_shown);
            EXPECT_TRUE(box.work_ended_while_shown);
        }
        EXPECT_EQ(shown, c.boxes);
        for (const auto& [name, contents] : c.files)
            EXPECT_EQ(read_file(path(name.c_str())), contents) << name;

        ASSERT_FALSE(dialog.events.empty());
        EXPECT_EQ(dialog.events.front(), "enable 1002 off");
        EXPECT_EQ(dialog.work_ends, 1);
        EXPECT_FALSE(busy);
        EXPECT_EQ(engine.file_code, 0);
        EXPECT_EQ(engine.range_code, 0);
        EXPECT_FALSE(engine.input_stream.is_open() || engine.output_stream.is_open() ||
                     engine.second_stream.is_open());
    }
}

std::vector<std::string> field_reads(const RecordingDialog& dialog) {
    std::vector<std::string> reads;
    for (const std::string& event : dialog.events)
        if (event.rfind("text", 0) == 0 || event.rfind("number", 0) == 0) reads.push_back(event);
    return reads;
}

// Each operation reads only its own fields, in its order; Size only once the files loaded.
TEST_F(JobRun, FieldsReadInOrder) {
    using Reads = std::vector<std::string>;
    const std::pair<JobCase, Reads> cases[] = {
        {{"", CutBytes, "in", "out", "1", "", "2", {}, {}}, {"text 1005", "number 1008"}},
        {{"", CutBytes, "missing", "out", "1", "", "2", {}, {}}, {"text 1005"}},
        {{"", CutRange, "in", "out", "1", "2", "", {}, {}}, {"text 1005", "text 1007"}},
        {{"", CutRange, "in", "out", "x", "2", "", {}, {}}, {"text 1005"}},
        {{"", InsertBytes, "in", "big", "1", "", "", {}, {}}, {"text 1005"}},
        {{"", CreateZeroFile, "", "out", "", "", "1", {}, {}}, {"number 1008"}},
        {{"", CreateZeroFile, "", "", "", "", "1", {}, {}}, {}},
        {{"", SetPatch, "in", "", "1", "2", "", {}, {}}, {"text 1005", "text 1007"}},
        {{"", CompareFiles, "in", "in", "", "", "", {}, {}}, {}},
        {{"", 9, "in", "in", "", "", "", {}, {}}, {}},
    };
    for (const auto& [c, reads] : cases) {
        lay_out_files();
        EXPECT_EQ(field_reads(run(c)), reads) << c.operation;
    }
}

TEST_F(JobRun, StartIsDisabledWhileWorkingAndEnabledBeforeTheBox) {
    lay_out_files();
    const RecordingDialog failed = run({"", CutBytes, "in", "out", "0", "", "", {}, {}});
    EXPECT_EQ(failed.events.back(), "box Error");
    EXPECT_EQ(failed.events[failed.events.size() - 2], "enable 1002 on");

    // After a failure the next job runs normally.
    const RecordingDialog next = run({"", CutBytes, "in", "out", "0", "", "2", {}, {}});
    EXPECT_EQ(next.events, (std::vector<std::string>{"enable 1002 off", "text 1005", "number 1008",
                                                     "enable 1002 on", "box Done"}));
    EXPECT_EQ(read_file(path("out")), byte_run(2, 0x40));
}

// A clock that moves on by the row's step at each reading: tests never wait on time.
std::chrono::milliseconds clock_step{0};
std::chrono::steady_clock::time_point stepping_clock() {
    static std::chrono::steady_clock::time_point now;
    return now += clock_step;
}

// Past its first 200 ms a job tells the dialog its progress, up to the total; before them,
// and for a refused request, nothing.
TEST_F(JobRun, ProgressRisesToTheTotal) {
    lay_out_files();
    const std::uint32_t large = 3 * PIECE_SIZE + 5;
    write_file(path("large"), byte_run(large));
    write_file(path("large out"), byte_run(large, 0x10));
    const std::string all = std::to_string(large);
    const auto real_clock = job_clock;
    job_clock = stepping_clock;
    const std::tuple<JobCase, std::chrono::milliseconds, std::uint64_t> cases[] = {
        // The job, the clock's step, the total told (0: nothing is told).
        {{"", CutBytes, "large", "out", "0", "", all.c_str(), {}, {}}, PROGRESS_INTERVAL, large},
        {{"", InsertBytes, "large", "large out", "", "", "", {}, {}}, PROGRESS_INTERVAL, large},
        {{"", CreateZeroFile, "", "out", "", "", all.c_str(), {}, {}}, PROGRESS_INTERVAL, large},
        {{"", CreateZeroFile, "", "out", "", "", all.c_str(), {}, {}},
         std::chrono::milliseconds{1},
         0},
        {{"", CutBytes, "large", "out", "0", "", "0", {}, {}}, PROGRESS_INTERVAL, 0},
    };
    for (const auto& [c, step, total] : cases) {
        SCOPED_TRACE(c.operation);
        clock_step = step;
        const auto told = run(c).progress_told;
        EXPECT_EQ(told.empty(), total == 0);
        EXPECT_TRUE(std::is_sorted(told.begin(), told.end()));
        if (!told.empty()) {
            EXPECT_EQ(told.back(), std::make_pair(total, total));
        }
    }
    job_clock = real_clock;
}

} // namespace
