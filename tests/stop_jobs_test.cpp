// A process of its own: once the dialog has closed, no job works on files again.
#include "job/job.h"
#include "tests/files.h"
#include "tests/recording_dialog.h"
#include "ui/res/resource.h"

#include <gtest/gtest.h>

namespace {

TEST(StopJobs, NoJobTouchesAFileAfterwards) {
    TempFolder folder;
    const std::string output = folder.path("out.bin");
    write_file(output, byte_run(8));

    RecordingDialog before;
    before.texts[IDC_SIZE] = "3";
    run_operation(before, Job{CreateZeroFile, "", output});
    EXPECT_EQ(read_file(output), Bytes(3, 0));

    stop_jobs();
    RecordingDialog after;
    after.texts[IDC_SIZE] = "5";
    run_operation(after, Job{CreateZeroFile, "", output});
    EXPECT_EQ(read_file(output), Bytes(3, 0));
    EXPECT_TRUE(after.boxes.empty());
    EXPECT_EQ(after.events, std::vector<std::string>{"enable 1002 off"});
}

} // namespace
