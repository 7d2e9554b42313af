#include "ui/win32_shell.h"

#include "ui/job_thread.h"
#include "ui/res/resource.h"

#include <commdlg.h>

#include <algorithm>
#include <cwchar>
#include <string>

namespace {

constexpr DWORD OPENFILENAME_SIZE = 76; // the record as it was before Windows 2000 grew it
// The read-only box is hidden: Set patch writes into the input all the same.
constexpr DWORD OPEN_FLAGS = OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST | OFN_HIDEREADONLY;
// A save dialog that insisted on an existing file could never name a new output file.
constexpr DWORD SAVE_FLAGS = OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
constexpr wchar_t FILE_FILTER[] = L"All files(*.*)\0*.*\0"; // the literal adds the final NUL
constexpr char THREAD_ERROR_TEXT[] = "Error of create Thread";

OPENFILENAMEW file_dialog;
wchar_t file_dialog_path[MAX_PATH_CHARS + 1];

// The program's current folder, put back when it goes out of scope: the file dialogs
// move it to the folder last browsed, which could then not be deleted or ejected.
class CurrentFolderKept {
  public:
    CurrentFolderKept() : folder(GetCurrentDirectoryW(0, nullptr), L'\0') {
        folder.resize(GetCurrentDirectoryW(DWORD(folder.size()), folder.data()));
    }
    ~CurrentFolderKept() {
        if (!folder.empty()) SetCurrentDirectoryW(folder.c_str());
    }
    CurrentFolderKept(const CurrentFolderKept&) = delete;
    CurrentFolderKept& operator=(const CurrentFolderKept&) = delete;

  private:
    std::wstring folder;
};

// Runs one file dialog seeded with a name; the chosen name, or nothing when cancelled.
std::optional<Path> ask_file(const Path& seed, DWORD flags, BOOL(WINAPI* show)(LPOPENFILENAMEW)) {
    const std::wstring& name = seed.native();
    const std::size_t length = std::min(name.size(), MAX_PATH_CHARS);
    std::wmemcpy(file_dialog_path, name.data(), length);
    file_dialog_path[length] = L'\0';
    file_dialog.Flags = flags;
    const CurrentFolderKept kept;
    if (!show(&file_dialog)) return std::nullopt;
    return Path(file_dialog_path);
}

} // namespace

std::wstring window_text(HWND window) {
    // The length asked first may count more than the text holds, never less.
    std::wstring text(GetWindowTextLengthW(window), L'\0');
    text.resize(GetWindowTextW(window, text.data(), int(text.size() + 1)));
    return text;
}

void fill_file_dialog(HWND dialog) {
    file_dialog = OPENFILENAMEW{};
    file_dialog.lStructSize = OPENFILENAME_SIZE;
    file_dialog.hwndOwner = dialog;
    file_dialog.lpstrFilter = FILE_FILTER;
    file_dialog.lpstrFile = file_dialog_path;
    file_dialog.nMaxFile = MAX_PATH_CHARS + 1;
    file_dialog.Flags = OPEN_FLAGS;
}

std::optional<Path> Win32Shell::ask_open_file(const Path& seed) {
    return ask_file(seed, OPEN_FLAGS, GetOpenFileNameW);
}

std::optional<Path> Win32Shell::ask_save_file(const Path& seed) {
    return ask_file(seed, SAVE_FLAGS, GetSaveFileNameW);
}

void Win32Shell::beep() {
    MessageBeep(0 /* the default sound */);
}

void Win32Shell::enable_fields(bool begin, bool end, bool size, bool in, bool out) {
    const std::pair<int, bool> states[] = {
        {IDC_BEGIN, begin}, {IDC_END, end}, {IDC_SIZE, size}, {IDC_IN, in}, {IDC_OUT, out}};
    for (const auto& [control, enabled] : states)
        EnableWindow(GetDlgItem(dialog, control), enabled ? TRUE : FALSE);
}

bool Win32Shell::start_job(const Job& job) {
    // The job disables Start from its own thread: a focus left there would sit on a
    // disabled control, and Esc and Tab would do nothing until the job ends.
    if (GetFocus() == GetDlgItem(dialog, IDC_START))
        SendMessageA(dialog, WM_NEXTDLGCTL, 0 /* the next tab stop */, FALSE /* not a handle */);
    set_shutdown_reason(dialog, true);
    if (start_job_thread(dialog, job, job_thread)) return true;
    set_shutdown_reason(dialog, false);
    return false;
}

void Win32Shell::show_thread_error() {
    MessageBoxA(dialog, THREAD_ERROR_TEXT, nullptr /* the default caption */, MB_ICONERROR);
}

void Win32Shell::end_dialog() {
    // A stopped job leaves its files as they were, a finished one leaves them new: none is
    // left half-written.
    stop_jobs(stop_at_once);
    finish_job_thread(dialog, job_thread);
    if (job_thread) CloseHandle(job_thread);
    job_thread = nullptr;
    EndDialog(dialog, 0);
}
