#include "job/report.h"
#include "tests/recording_dialog.h"

#include <gtest/gtest.h>

namespace {

std::vector<std::string> texts_of(const RecordingDialog& dialog) {
    std::vector<std::string> texts;
    for (const Box& box : dialog.boxes) {
        EXPECT_EQ(box.title, "Error");
        EXPECT_EQ(box.icon, Icon::error);
        EXPECT_EQ(box.modality, Modality::application);
        texts.push_back(box.text);
    }
    return texts;
}

TEST(ReportError, FileMessageThenRangeMessage) {
    using Texts = std::vector<std::string>;
    const std::pair<error, Texts> cases[] = {
        {{0, 6}, {"Hex value error, in begin address field"}},
        {{3, 0}, {"Output file is not selected"}},
        {{2, 1}, {"Load input file error", "Begin adress out of file"}},
        {{0, 0}, {}},
        {{15, 9}, {}},
        {{-1, -1}, {}},
        {{1, 0}, {"Input file is not selected"}},
        {{4, 0}, {"Load output file error"}},
        {{5, 0}, {"Input file size, out of limit"}},
        {{6, 0}, {"Output file size, out of limit"}},
        {{7, 0}, {"Empty input file"}},
        {{8, 0}, {"Empty output file"}},
        {{9, 0}, {"Read input file error"}},
        {{10, 0}, {"Read output file error"}},
        {{11, 0}, {"Write output file error"}},
        {{12, 0}, {"Write input file error"}},
        {{13, 0},
         {"Write output file error, and its old bytes could not be put back. They are kept in "
          "korvel-1.tmp, for offset 0x1F0"}},
        {{14, 0},
         {"Write input file error, and its old bytes could not be put back. They are kept in "
          "korvel-1.tmp, for offset 0x1F0"}},
        {{0, 2}, {"End adress out of file"}},
        {{0, 3}, {"End address is less than begin address"}},
        {{0, 4}, {"The size too small"}},
        {{0, 5}, {"There is nothing to cut out"}},
        {{0, 7}, {"Hex value error, in end address field"}},
        {{0, 8}, {"Hex value error, in patch data field"}},
    };
    for (const auto& [failure, expected] : cases) {
        RecordingDialog dialog;
        report_error(dialog, failure, KeptBytes{"korvel-1.tmp", 0x1F0});
        EXPECT_EQ(texts_of(dialog), expected) << failure.file_code << ", " << failure.range_code;
    }
    RecordingDialog nowhere;
    report_error(nowhere, {13, 0}, KeptBytes{});
    EXPECT_EQ(texts_of(nowhere), Texts{"Write output file error, and its old bytes could not be "
                                       "put back. They are kept in no file: none could be made"});
}

TEST(ReportUnknown, ShowsUnknownError) {
    RecordingDialog dialog;
    report_unknown(dialog);
    EXPECT_EQ(texts_of(dialog), std::vector<std::string>{"Unknown error"});
}

} // namespace
