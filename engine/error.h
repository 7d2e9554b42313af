#pragma once

#include <cstdint>

// The one failure record. Codes, never texts, cross from the engine to the job;
// the texts are chosen where the job catches the record.
struct error {
    std::int32_t file_code;  // 0, or a FileCode
    std::int32_t range_code; // 0, or a RangeCode
};

// Failures in choosing, opening, sizing, reading or writing a file.
enum FileCode : std::int32_t {
    INPUT_NOT_SELECTED = 1,
    INPUT_OPEN_FAILED = 2,
    OUTPUT_NOT_SELECTED = 3,
    OUTPUT_OPEN_FAILED = 4,
    INPUT_TOO_LARGE = 5,
    OUTPUT_TOO_LARGE = 6,
    INPUT_EMPTY = 7,
    OUTPUT_EMPTY = 8,
    INPUT_READ_FAILED = 9,
    OUTPUT_READ_FAILED = 10,
    OUTPUT_WRITE_FAILED = 11,
    INPUT_WRITE_FAILED = 12,
    // A write failed and the old bytes could not be put back either: they are kept in a
    // file of their own, which the message names.
    OUTPUT_RESTORE_FAILED = 13,
    INPUT_RESTORE_FAILED = 14,
    // The job was told to stop, and the files are as they were: never shown, as the
    // dialog that asked is closing.
    JOB_STOPPED = 15,
};

// Failures with an address, a size or a hexadecimal field.
enum RangeCode : std::int32_t {
    BEGIN_OUT_OF_FILE = 1,
    END_OUT_OF_FILE = 2,
    END_BEFORE_BEGIN = 3,
    SIZE_TOO_SMALL = 4,
    NOTHING_TO_CUT = 5,
    BAD_BEGIN_FIELD = 6,
    BAD_END_FIELD = 7,
    BAD_PATCH_FIELD = 8,
};
