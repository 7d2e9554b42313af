#pragma once

#include "engine/file_pair.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>

class Dialog;

// The operation a radio button selects; any other value is refused as unknown.
enum OperationKind : std::int32_t {
    CutBytes = 1,
    CutRange = 2,
    InsertBytes = 3,
    CreateZeroFile = 4,
    SetPatch = 5,
    CompareFiles = 6,
};

// What a job works on, copied when Start is pressed so that the dialog can change
// while the job runs.
struct Job {
    std::int32_t operation = CutBytes;
    Path input_path;
    Path output_path;
};

constexpr const char SUCCESS_TEXT[] = "Operation is successfully finished";
constexpr const char UNKNOWN_OPERATION_TEXT[] = "Unknow operation";
constexpr const char DONE_TITLE[] = "Done";

// Set while a job runs, up to the dismissal of its last box; Start starts nothing then.
extern std::atomic<bool> busy;

// The one byte engine; only the job thread uses it.
extern FilePair engine;

// A job shows how far it is only once it has run this long: a shorter one changes nothing
// on the screen. Then at most once an interval.
constexpr std::chrono::milliseconds FIRST_PROGRESS_AFTER{200};
constexpr std::chrono::milliseconds PROGRESS_INTERVAL{100};

// What a job's progress is timed by; a test seam, set only by tests.
extern std::chrono::steady_clock::time_point (*job_clock)();

// The body of the job thread: reads the fields the operation needs, runs one loader
// and one operation on engine, and shows one outcome: a "Done" box, or "Error" boxes.
// Returns 0 on every path.
unsigned run_operation(Dialog& dialog, const Job& job);

// For the closing dialog: asks the running job, if any, to start no more work on files
// and show no box, and keeps any later job from starting. Returns at once, and the caller
// waits for its thread. at_once (the user closes): a job that is working on its files
// stops at its next piece and leaves them as they were, unless it has swapped its output
// in already. Otherwise (the session ends): it finishes that work.
void stop_jobs(bool at_once);
