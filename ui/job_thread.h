#pragma once

#include "engine/win32.h"

struct Job;

// Posted to the dialog by the job thread once its work on files has ended.
constexpr UINT WM_JOB_WORK_ENDED = WM_APP + 1;
// Posted by the job thread as its work on files goes on: the share done, in percent, in
// wParam.
constexpr UINT WM_JOB_PROGRESS = WM_APP + 2;

// While a job works on files, the reason a sign-out or shutdown should wait, shown by the
// system; on: set it, off: remove it. Does nothing before Windows Vista. Only on the
// dialog's thread, which owns the window.
void set_shutdown_reason(HWND dialog, bool on);

// Shows how far a long job is: the share done in the caption ("37% - Korvel") and on the
// taskbar button (Windows 7 and later), and the busy cursor that still lets the user work.
// Only on the dialog's thread, which has initialised COM.
void show_progress(HWND dialog, int percent);
// Whether show_progress has shown something since the job began.
bool progress_shown();
// The caption, the taskbar button and the cursor as they were before the job.
void end_progress(HWND dialog);

// Starts run_operation on a new thread for the dialog, with the fields as they stand
// now. Replaces (and closes) the handle of an earlier job thread; false when no thread
// could be created.
bool start_job_thread(HWND dialog, const Job& job, HANDLE& job_thread);

// For the closing dialog, after stop_jobs: waits for the job thread to end, whether it
// is working on files or showing a box, answering the messages sent to the dialog
// meanwhile, painting it with the job's progress (a put-back's), taking no input, and
// dismissing any box the job shows, so that the process never ends while that thread
// writes a file or is inside a window call.
void finish_job_thread(HWND dialog, HANDLE job_thread);
