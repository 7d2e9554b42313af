#include "ui/dialog.h"

#include "fields/paste.h"
#include "ui/front_end.h"
#include "ui/job_thread.h"
#include "ui/res/resource.h"
#include "ui/version.h"
#include "ui/win32_shell.h"

#include <objbase.h>
#include <shellapi.h>

#include <optional>
#include <string>
#include <vector>

namespace {

constexpr COLORREF SKIN_COLOUR = RGB(106, 212, 172);
// Shows the radio buttons' own captions at 96 dots per inch; scaled with the screen's.
constexpr int FALLBACK_EXTRA_WIDTH = 150;
constexpr int STANDARD_DPI = 96;
constexpr char ABOUT_CAPTION[] = "About...";
constexpr char ABOUT_TEXT[] = "     Korvel       \n"
                              "            " KORVEL_ABOUT_VERSION "  \n"
                              "     Made by the Korvel developers\n"
                              "     Contact: korvel@example.org";

constexpr int FIELDS[] = {IDC_BEGIN, IDC_END, IDC_SIZE};
constexpr int FALLBACK_SHOWN[] = {IDC_BEGIN_LABEL,   IDC_END_LABEL,   IDC_SIZE_LABEL,
                                  IDC_OPTIONS_GROUP, IDC_FILES_GROUP, IDC_OPERATIONS_GROUP,
                                  IDC_ACTION_GROUP};
constexpr int LABELS[] = {IDC_BEGIN_LABEL, IDC_END_LABEL, IDC_SIZE_LABEL};
constexpr int RADIO_BUTTONS[] = {IDC_CUT,    IDC_CUT_RANGE, IDC_INSERT,
                                 IDC_CREATE, IDC_PATCH,     IDC_COMPARE};

const HBRUSH skin_brush = CreateSolidBrush(SKIN_COLOUR); // lives as long as the process
bool skin_shown = false;
int about_ready = 1; // 0 while an About box is open
FrontEnd front_end;
HANDLE job_thread = nullptr;
WNDPROC edit_field_proc = nullptr; // the edit control's own procedure

SIZE size_of(const RECT& rect) {
    return {rect.right - rect.left, rect.bottom - rect.top};
}

// Whether the skin bitmap covers the client area to the pixel: only with the font
// metrics it was drawn for.
bool skin_fits(HWND dialog, int skin_control) {
    RECT client{};
    RECT skin{};
    GetClientRect(dialog, &client);
    GetWindowRect(GetDlgItem(dialog, skin_control), &skin);
    const SIZE a = size_of(client);
    const SIZE b = size_of(skin);
    return a.cx == b.cx && a.cy == b.cy;
}

void widen_control(HWND control, int extra) {
    RECT rect{};
    GetWindowRect(control, &rect);
    const SIZE size = size_of(rect);
    SetWindowPos(control, nullptr /* top of the z-order */, 0, 0, size.cx + extra, size.cy,
                 SWP_NOMOVE);
}

// The captions' fonts grow with the screen's DPI; the widening grows with them.
int scaled_extra_width(HWND dialog) {
    const HDC context = GetDC(dialog);
    const int dpi = GetDeviceCaps(context, LOGPIXELSX);
    ReleaseDC(dialog, context);
    return MulDiv(FALLBACK_EXTRA_WIDTH, dpi, STANDARD_DPI);
}

void show_fallback_layout(HWND dialog) {
    ShowWindow(GetDlgItem(dialog, IDC_SKIN), SW_HIDE);
    for (const int control : FALLBACK_SHOWN)
        ShowWindow(GetDlgItem(dialog, control), SW_SHOW);
    const int extra = scaled_extra_width(dialog);
    for (const int control : RADIO_BUTTONS)
        widen_control(GetDlgItem(dialog, control), extra);
}

// Nothing when the clipboard cannot be opened (another program may hold it) or holds no
// text: a paste then has nothing to be checked against, and is refused.
std::optional<std::wstring> clipboard_text(HWND owner) {
    if (!OpenClipboard(owner)) return std::nullopt;
    std::optional<std::wstring> text;
    if (const HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* chars = static_cast<const wchar_t*>(GlobalLock(data))) {
            text = chars;
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return text;
}

// Ctrl+V, Shift+Insert and the context menu all paste through WM_PASTE. The paste goes in
// only as the number it was copied as; otherwise the field keeps its text and selection.
void on_paste(HWND field) {
    const FieldKind kind = GetDlgCtrlID(field) == IDC_SIZE ? FieldKind::decimal : FieldKind::hex;
    DWORD start = 0;
    DWORD end = 0;
    SendMessageW(field, EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                 reinterpret_cast<LPARAM>(&end));
    const std::optional<std::wstring> clipboard = clipboard_text(field);
    const std::optional<std::wstring> pasted =
        clipboard ? pasted_text(kind, *clipboard, window_text(field), start, end) : std::nullopt;
    if (!pasted) {
        MessageBeep(0 /* the default sound, as for a refused key */);
        return;
    }
    SendMessageW(field, EM_REPLACESEL, TRUE /* can be undone */,
                 reinterpret_cast<LPARAM>(pasted->c_str()));
}

LRESULT CALLBACK edit_field(HWND field, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message != WM_PASTE)
        return CallWindowProcW(edit_field_proc, field, message, wparam, lparam);
    on_paste(field);
    return 0;
}

void subclass_fields(HWND dialog) {
    for (const int field : FIELDS) {
        const LONG_PTR own = SetWindowLongPtrW(GetDlgItem(dialog, field), GWLP_WNDPROC,
                                               reinterpret_cast<LONG_PTR>(edit_field));
        edit_field_proc = reinterpret_cast<WNDPROC>(own); // the same for all three
    }
}

void add_about_to_system_menu(HWND dialog) {
    const HMENU menu = GetSystemMenu(dialog, FALSE /* as it is */);
    const int count = menu ? GetMenuItemCount(menu) : 0;
    if (count < 1) return;
    // Before the last item (Close), with a separator between the two.
    InsertMenuA(menu, UINT(count - 1), MF_BYPOSITION | MF_STRING, IDM_ABOUT, "About");
    InsertMenuA(menu, UINT(count), MF_BYPOSITION | MF_SEPARATOR, 0, nullptr);
}

BOOL on_init_dialog(HWND dialog) {
    const HICON icon = LoadIconA(GetModuleHandleA(nullptr), "ICON");
    SendMessageA(dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    for (const int field : FIELDS) {
        SetDlgItemInt(dialog, field, 0, FALSE /* unsigned */);
        SendDlgItemMessageA(dialog, field, EM_LIMITTEXT, MAX_FIELD_CHARS, 0);
    }
    subclass_fields(dialog);
    // For the taskbar button's progress; the file dialogs would initialise it all the same.
    CoInitialize(nullptr);
    CheckRadioButton(dialog, IDC_CUT, IDC_COMPARE, IDC_CUT);
    add_about_to_system_menu(dialog);
    skin_shown = skin_fits(dialog, IDC_SKIN);
    if (!skin_shown) show_fallback_layout(dialog);
    fill_file_dialog(dialog);
    // Not left to the first tab stop: the checked radio button carries one too, and the
    // fallback layout raises it above IN.
    SetFocus(GetDlgItem(dialog, IDC_IN));
    return FALSE; // the focus is set
}

// At most one About box at a time: a request while one is open is ignored.
void show_about(HWND dialog) {
    if (!about_ready) return;
    about_ready = 0;
    about_ready = MessageBoxA(dialog, ABOUT_TEXT, ABOUT_CAPTION, MB_SYSTEMMODAL);
}

void on_command(HWND dialog, int control) {
    Win32Shell shell(dialog, job_thread);
    on_command(front_end, shell, control);
}

void on_drop_files(HWND dialog, HDROP drop) {
    const UINT count = DragQueryFileW(drop, 0xFFFFFFFF /* the number of files */, nullptr, 0);
    std::vector<Path> names;
    for (UINT index = 0; index < count; ++index) {
        // Fetched whole, so that a name too long for a path slot is refused, not cut.
        std::wstring name(DragQueryFileW(drop, index, nullptr, 0), L'\0');
        DragQueryFileW(drop, index, name.data(), UINT(name.size() + 1));
        names.emplace_back(name);
    }
    DragFinish(drop);
    Win32Shell shell(dialog, job_thread);
    on_drop(front_end, shell, names);
}

// The close item is the close command even while a job's box has disabled the dialog
// (the taskbar still offers it then), when the platform would ignore it.
BOOL on_sys_command(HWND dialog, WPARAM command) {
    if (command == IDM_ABOUT) {
        show_about(dialog);
        return TRUE;
    }
    if ((command & 0xFFF0) != SC_CLOSE) return FALSE; // the platform's own handling
    on_command(dialog, IDCANCEL);
    return TRUE;
}

// Never vetoes a sign-out or shutdown; the job's files are looked after at its end.
BOOL on_query_end_session(HWND dialog) {
    SetWindowLongPtrA(dialog, DWLP_MSGRESULT, TRUE /* the session may end */);
    return TRUE;
}

// The process may be ended at any moment once this returns: the close, with its wait for
// the job's work on files, runs first. A cancelled sign-out changes nothing. A program
// asked to close for an update (the Restart Manager) is closed as the user closes it.
BOOL on_end_session(HWND dialog, WPARAM ending, LPARAM reason) {
    if (!ending) return TRUE;
    Win32Shell shell(dialog, job_thread, (reason & ENDSESSION_CLOSEAPP) != 0);
    on_command(front_end, shell, IDCANCEL);
    return TRUE;
}

// The busy cursor that lets the user go on, over the dialog and its controls, while a
// long job shows its progress.
BOOL on_set_cursor(HWND dialog) {
    if (!progress_shown()) return FALSE; // the control's own cursor
    SetCursor(LoadCursorA(nullptr, IDC_APPSTARTING));
    SetWindowLongPtrA(dialog, DWLP_MSGRESULT, TRUE /* set */);
    return TRUE;
}

BOOL on_job_work_ended(HWND dialog) {
    set_shutdown_reason(dialog, false);
    end_progress(dialog);
    return TRUE;
}

// The dialog manager passes over the access keys of hidden labels (the skin hides them
// all); the key then ends here, unmatched by the system menu, and moves the focus on to
// the label's field as a shown label's would.
BOOL on_menu_char(HWND dialog, wchar_t key) {
    for (const int id : LABELS) {
        const HWND label = GetDlgItem(dialog, id);
        if (IsWindowVisible(label) || !has_access_key(window_text(label), key)) continue;
        const HWND field = GetNextDlgTabItem(dialog, label, FALSE /* the next one */);
        SendMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(field),
                     TRUE /* wparam is the control */);
        SetWindowLongPtrA(dialog, DWLP_MSGRESULT, MAKELRESULT(0, MNC_CLOSE) /* no beep */);
        return TRUE;
    }
    return FALSE; // the system's beep
}

INT_PTR on_ctl_color_static(HDC context) {
    if (!skin_shown) return FALSE; // the platform's colours
    SetBkMode(context, TRANSPARENT);
    return reinterpret_cast<INT_PTR>(skin_brush);
}

} // namespace

INT_PTR CALLBACK dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_INITDIALOG: return on_init_dialog(dialog);
    case WM_COMMAND: on_command(dialog, LOWORD(wparam)); return FALSE;
    case WM_SYSCOMMAND: return on_sys_command(dialog, wparam);
    case WM_HELP: show_about(dialog); return TRUE;
    case WM_MENUCHAR: return on_menu_char(dialog, LOWORD(wparam));
    case WM_CTLCOLORSTATIC: return on_ctl_color_static(reinterpret_cast<HDC>(wparam));
    case WM_DROPFILES: on_drop_files(dialog, reinterpret_cast<HDROP>(wparam)); return TRUE;
    case WM_QUERYENDSESSION: return on_query_end_session(dialog);
    case WM_ENDSESSION: return on_end_session(dialog, wparam, lparam);
    case WM_SETCURSOR: return on_set_cursor(dialog);
    case WM_JOB_PROGRESS: show_progress(dialog, int(wparam)); return TRUE;
    case WM_JOB_WORK_ENDED: return on_job_work_ended(dialog);
    default: return FALSE;
    }
}
