// A process of its own: once the dialog has closed, no job works on files again.
#include "job/job.h"
#include "tests/files.h"
#include "tests/recording_dialog.h"
#include "ui/res/resource.h"

#include <gtest/gtest.h>

namespace {

// Closes in the middle of the job's work on files, while the job holds the engine: on
// the job's own thread, so that a stop that waited for the engine would never return.
class ClosingDialog : public RecordingDialog {
  public:
    std::uint32_t field_number(int control) override {
        stop_jobs(false);
        return RecordingDialog::field_number(control);
    }
};

TEST(StopJobs, AJobAtWorkFinishesAndNoJobTouchesAFileAfterwards) {
    TempFolder folder;
    const std::string output = folder.path("out.bin");
    write_file(output, byte_run(8));

    ClosingDialog closing;
    closing.texts[IDC_SIZE] = "3";
    run_operation(closing, Job{CreateZeroFile, "", output});
    EXPECT_EQ(read_file(output), Bytes(3, 0));
    EXPECT_TRUE(closing.boxes.empty());
    EXPECT_EQ(closing.events, (std::vector<std::string>{"enable 1002 off", "number 1008"}));
    EXPECT_EQ(closing.work_ends, 1);

    RecordingDialog after;
    after.texts[IDC_SIZE] = "5";
    run_operation(after, Job{CreateZeroFile, "", output});
    EXPECT_EQ(read_file(output), Bytes(3, 0));
    EXPECT_TRUE(after.boxes.empty());
    EXPECT_EQ(after.events, std::vector<std::string>{"enable 1002 off"});
    EXPECT_EQ(after.work_ends, 1);
}

} // namespace
