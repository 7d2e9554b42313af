#include "ui/job_thread.h"

#include "fields/decimal_field.h"
#include "fields/hex_field.h"
#include "job/dialog.h"
#include "job/job.h"
#include "ui/res/resource.h"
#include "ui/win32_shell.h"

#include <shobjidl.h>

#include <algorithm>
#include <map>
#include <memory>
#include <string>

namespace {

constexpr int FIELDS[] = {IDC_BEGIN, IDC_END, IDC_SIZE};
// How often a closing dialog looks for a box of the job's: one may open at any moment
// until the job's thread ends.
constexpr DWORD BOX_POLL_MS = 20;
constexpr wchar_t SHUTDOWN_REASON[] = L"Korvel is writing a file";
constexpr char CAPTION[] = "Korvel";
constexpr ULONGLONG FULL = 100; // the taskbar's progress, in percent

bool progress_on = false;

// The user32 calls of Windows Vista and later.
using CreateReason = BOOL(WINAPI*)(HWND, LPCWSTR);
using DestroyReason = BOOL(WINAPI*)(HWND);

// The job's texts are UTF-8: the name of a file that keeps old bytes may be in any script.
std::wstring utf16(const std::string& text) {
    const int length = MultiByteToWideChar(CP_UTF8, 0 /* no flags */, text.data(), int(text.size()),
                                           nullptr /* only the length */, 0);
    std::wstring converted(std::size_t(std::max(length, 0)), L'\0');
    MultiByteToWideChar(CP_UTF8, 0 /* no flags */, text.data(), int(text.size()), converted.data(),
                        length);
    return converted;
}

// The job's view of the dialog: the fields as they stood when Start was pressed, so
// that nothing typed during a run reaches it half-written, and the live Start button
// and message boxes.
class FieldSnapshot final : public Dialog {
  public:
    explicit FieldSnapshot(HWND dialog) : dialog(dialog) {
        for (const int field : FIELDS)
            texts[field] = ascii_text(window_text(GetDlgItem(dialog, field)));
    }

    std::string field_text(int control) override { return texts[control]; }
    std::uint64_t field_number(int control) override { return parse_decimal(texts[control]); }

    void enable_control(int control, bool enabled) override {
        EnableWindow(GetDlgItem(dialog, control), enabled ? TRUE : FALSE);
    }

    void show_message(const std::string& text, const char* title, Icon icon,
                      Modality modality) override {
        const UINT type = (icon == Icon::error ? MB_ICONERROR : 0) |
                          (modality == Modality::task ? MB_TASKMODAL : MB_APPLMODAL) | MB_OK;
        MessageBoxW(dialog, utf16(text).c_str(), utf16(title).c_str(), type);
    }

    // Posted: the dialog's thread may be waiting for this one, and the reason belongs to it.
    void work_ended() override { PostMessageA(dialog, WM_JOB_WORK_ENDED, 0, 0); }

    // Posted: a dialog that is closing waits for this thread, and must not be waited on.
    void progress(std::uint64_t done, std::uint64_t total) override {
        const std::uint64_t percent = total == 0 ? FULL : done * FULL / total;
        PostMessageA(dialog, WM_JOB_PROGRESS, WPARAM(percent), 0);
    }

  private:
    HWND dialog;
    std::map<int, std::string> texts;
};

struct JobStart {
    Job job;
    FieldSnapshot dialog;
};

DWORD WINAPI run_job_thread(LPVOID parameter) {
    const std::unique_ptr<JobStart> start(static_cast<JobStart*>(parameter));
    return run_operation(start->dialog, start->job);
}

// The taskbar button's progress bar; null before Windows 7, where the button has none.
// Asked for once, and kept as long as the process lives.
ITaskbarList3* taskbar() {
    static ITaskbarList3* const list = [] {
        ITaskbarList3* found = nullptr;
        if (FAILED(CoCreateInstance(CLSID_TaskbarList, nullptr /* no aggregate */,
                                    CLSCTX_INPROC_SERVER, IID_ITaskbarList3,
                                    reinterpret_cast<void**>(&found))))
            return static_cast<ITaskbarList3*>(nullptr);
        if (SUCCEEDED(found->HrInit())) return found;
        found->Release();
        return static_cast<ITaskbarList3*>(nullptr);
    }();
    return list;
}

// Lets the window under the mouse, when it is the dialog or one of its controls, choose its
// cursor now rather than at the next move of the mouse.
void refresh_cursor(HWND dialog) {
    POINT at{};
    GetCursorPos(&at);
    const HWND under = WindowFromPoint(at);
    if (under != dialog && !IsChild(dialog, under)) return;
    const LRESULT hit = SendMessageA(under, WM_NCHITTEST, 0, MAKELPARAM(at.x, at.y));
    SendMessageA(under, WM_SETCURSOR, WPARAM(under), MAKELPARAM(hit, WM_MOUSEMOVE));
}

// A box the job thread shows over the dialog is answered as its OK button would be.
BOOL CALLBACK dismiss_job_box(HWND window, LPARAM dialog) {
    if (GetWindow(window, GW_OWNER) == reinterpret_cast<HWND>(dialog) &&
        GetWindowThreadProcessId(window, nullptr /* no process id */) != GetCurrentThreadId())
        PostMessageA(window, WM_COMMAND, IDOK, 0);
    return TRUE; // look at every window
}

} // namespace

void set_shutdown_reason(HWND dialog, bool on) {
    static const auto create =
        system_function<CreateReason>("user32.dll", "ShutdownBlockReasonCreate");
    static const auto destroy =
        system_function<DestroyReason>("user32.dll", "ShutdownBlockReasonDestroy");
    if (on && create) create(dialog, SHUTDOWN_REASON);
    if (!on && destroy) destroy(dialog);
}

void show_progress(HWND dialog, int percent) {
    SetWindowTextA(dialog, (std::to_string(percent) + "% - " + CAPTION).c_str());
    if (ITaskbarList3* const button = taskbar()) button->SetProgressValue(dialog, percent, FULL);
    if (progress_on) return;
    progress_on = true;
    refresh_cursor(dialog);
}

bool progress_shown() {
    return progress_on;
}

void end_progress(HWND dialog) {
    if (!progress_on) return;
    progress_on = false;
    SetWindowTextA(dialog, CAPTION);
    if (ITaskbarList3* const button = taskbar()) button->SetProgressState(dialog, TBPF_NOPROGRESS);
    refresh_cursor(dialog);
}

void finish_job_thread(HWND dialog, HANDLE job_thread) {
    if (!job_thread) return;
    constexpr DWORD WAKE = QS_SENDMESSAGE | QS_POSTMESSAGE | QS_PAINT;
    for (;;) {
        const DWORD woken =
            MsgWaitForMultipleObjects(1, &job_thread, FALSE /* any */, BOX_POLL_MS, WAKE);
        if (woken == WAIT_OBJECT_0 || woken == WAIT_FAILED) return;
        // Answers what the job sends to the dialog (enabling Start, disabling the owner
        // of its box), shows the progress of a put-back, and paints; input and every other
        // posted message stay queued, so that the closing dialog takes no command.
        MSG message;
        PeekMessageA(&message, nullptr /* any window */, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        while (PeekMessageA(&message, dialog, WM_JOB_PROGRESS, WM_JOB_PROGRESS, PM_REMOVE))
            show_progress(dialog, int(message.wParam));
        // One at a time: a window that left itself unpainted must not hold the wait.
        if (PeekMessageA(&message, nullptr /* any window */, WM_PAINT, WM_PAINT, PM_REMOVE))
            DispatchMessageA(&message);
        EnumWindows(dismiss_job_box, reinterpret_cast<LPARAM>(dialog));
    }
}

bool start_job_thread(HWND dialog, const Job& job, HANDLE& job_thread) {
    auto start = std::make_unique<JobStart>(JobStart{job, FieldSnapshot(dialog)});
    const HANDLE thread = CreateThread(nullptr /* default security */, 0 /* default stack */,
                                       run_job_thread, start.get(), 0 /* run at once */, nullptr);
    if (!thread) return false;
    start.release(); // the thread owns it now
    if (job_thread) CloseHandle(job_thread);
    job_thread = thread;
    return true;
}
