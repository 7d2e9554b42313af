#pragma once

#include "ui/win32.h"

struct Job;

// Starts run_operation on a new thread for the dialog, with the fields as they stand
// now. Replaces (and closes) the handle of an earlier job thread; false when no thread
// could be created.
bool start_job_thread(HWND dialog, const Job& job, HANDLE& job_thread);

// For the closing dialog, after stop_jobs: waits for the job thread to end, answering
// its messages and dismissing any box it shows, so that the process never ends while
// that thread is inside a window call.
void finish_job_thread(HWND dialog, HANDLE job_thread);
