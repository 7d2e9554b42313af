// A process of its own: once the dialog has closed, no job works on files again.
#include "job/job.h"
#include "tests/files.h"
#include "tests/recording_dialog.h"
#include "ui/res/resource.h"

#include <gtest/gtest.h>

namespace {

// Closes in the middle of the job's work on files, while the job holds the engine: on
// the job's own thread, so that a stop that waited for the engine would never return. Or
// closes once the output is swapped in.
class ClosingDialog : public RecordingDialog {
  public:
    bool at_once = false;
    bool after_the_swap = false;
    std::uint64_t field_number(int control) override {
        if (!after_the_swap) stop_jobs(at_once);
        return RecordingDialog::field_number(control);
    }
    void work_ended() override {
        RecordingDialog::work_ended();
        if (after_the_swap) stop_jobs(at_once);
    }
};

struct StopCase {
    bool at_once; // the user closes; otherwise the session ends
    bool after_the_swap;
    Bytes after;
};

// A job at work with a close that comes before its first write or after its swap; no
// job touches a file after it.
void check_stop(const StopCase& c) {
    TempFolder folder;
    const std::string output = folder.path("out.bin");
    write_file(output, byte_run(8));

    ClosingDialog closing;
    closing.at_once = c.at_once;
    closing.after_the_swap = c.after_the_swap;
    closing.texts[IDC_SIZE] = "3";
    run_operation(closing, Job{CreateZeroFile, "", output});
    EXPECT_EQ(read_file(output), c.after);
    EXPECT_TRUE(closing.boxes.empty());
    EXPECT_EQ(closing.work_ends, 1);
    const std::filesystem::directory_iterator listed(on_disk(folder.path("")));
    EXPECT_EQ(std::distance(begin(listed), end(listed)), 1); // nothing beside it

    RecordingDialog after;
    after.texts[IDC_SIZE] = "5";
    run_operation(after, Job{CreateZeroFile, "", output});
    EXPECT_EQ(read_file(output), c.after);
    EXPECT_TRUE(after.boxes.empty());
    EXPECT_EQ(after.events, std::vector<std::string>{"enable 1002 off"});
    EXPECT_EQ(after.work_ends, 1);
}

// One a process (a filter each): a stop lasts as long as the process.
TEST(StopJobs, AtTheEndOfTheSessionAJobAtWorkFinishes) {
    check_stop({false, false, Bytes(3, 0)});
}
TEST(StopJobs, AtACloseAJobStopsAndLeavesItsOutputAsItWas) {
    check_stop({true, false, byte_run(8)});
}
TEST(StopJobs, AtACloseAfterItsSwapAJobHasFinished) {
    check_stop({true, true, Bytes(3, 0)});
}

} // namespace
