#pragma once

#include "engine/win32.h"
#include "ui/front_end.h"

#include <string>

// The whole text of a window or control, however long.
std::wstring window_text(HWND window);

// Fills the file-dialog record that IN and OUT share, owned by the dialog.
void fill_file_dialog(HWND dialog);

// The platform side of the dialog's commands.
class Win32Shell final : public Shell {
  public:
    // stop_at_once: a close stops a running job at its next piece; otherwise (the session
    // ends) the job finishes its work on files first.
    Win32Shell(HWND dialog, HANDLE& job_thread, bool stop_at_once = true)
        : dialog(dialog), job_thread(job_thread), stop_at_once(stop_at_once) {}

    std::optional<Path> ask_open_file(const Path& seed) override;
    std::optional<Path> ask_save_file(const Path& seed) override;
    void beep() override;
    void enable_fields(bool begin, bool end, bool size, bool in, bool out) override;
    bool start_job(const Job& job) override;
    void show_thread_error() override;
    void end_dialog() override;

  private:
    HWND dialog;
    HANDLE& job_thread;
    bool stop_at_once;
};
