#include "tests/e2e/window.h"

#include <tlhelp32.h>

#include <cstring>

namespace {

constexpr int MESSAGE_TEXT_CONTROL = 0xFFFF; // the text of a message box
constexpr DWORD POLL_MS = 10;

struct Search {
    DWORD process;
    HWND owner;        // null: a window without owner
    std::string title; // empty: any title
    std::vector<HWND> found;
};

bool is_dialog_class(HWND window) {
    char class_name[64] = {};
    GetClassNameA(window, class_name, sizeof class_name);
    return std::strcmp(class_name, "#32770") == 0;
}

BOOL CALLBACK match_window(HWND window, LPARAM parameter) {
    auto& search = *reinterpret_cast<Search*>(parameter);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == search.process && is_dialog_class(window) && IsWindowVisible(window) &&
        GetWindow(window, GW_OWNER) == search.owner &&
        (search.title.empty() || window_text(window) == search.title))
        search.found.push_back(window);
    return TRUE;
}

std::vector<HWND> find_dialogs(DWORD process, HWND owner, const std::string& title) {
    Search search{process, owner, title, {}};
    EnumWindows(match_window, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// The driver's texts are UTF-8; the program's windows and files take UTF-16.
std::wstring wide(const std::string& text) {
    std::wstring out(MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0),
                     L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), out.data(), int(out.size()));
    return out;
}

std::string utf8(const std::wstring& text) {
    std::string out(WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0,
                                        nullptr, nullptr),
                    '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), out.data(), int(out.size()),
                        nullptr, nullptr);
    return out;
}

std::string sent_text(HWND window) {
    // Sent, not GetWindowText: that reads another process's edit control as created.
    wchar_t text[1024] = {};
    SendMessageW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text));
    return utf8(text);
}

// The edit box inside a file dialog's name box (a ComboBoxEx32 holding a combo box).
HWND name_edit(HWND chooser) {
    const HWND box = GetDlgItem(chooser, FILE_NAME_CONTROL);
    const HWND combo = FindWindowExA(box, nullptr, "ComboBox", nullptr);
    const HWND edit = FindWindowExA(combo ? combo : box, nullptr, "Edit", nullptr);
    return edit ? edit : box;
}

} // namespace

Korvel start_korvel(const std::string& exe) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    std::string command = "\"" + exe + "\"";
    Korvel korvel;
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &started))
        return korvel;
    CloseHandle(started.hThread);
    korvel.process.reset(started.hProcess);
    korvel.id = started.dwProcessId;
    korvel.dialog = wait_for_dialog(korvel.id, nullptr, "Korvel");
    if (korvel.dialog) korvel.thread_id = GetWindowThreadProcessId(korvel.dialog, nullptr);
    return korvel;
}

std::optional<DWORD> wait_for_exit(Korvel& korvel) {
    if (!korvel.process || WaitForSingleObject(korvel.process.get(), WAIT_MS) != WAIT_OBJECT_0)
        return std::nullopt;
    DWORD code = 0;
    GetExitCodeProcess(korvel.process.get(), &code);
    korvel.process.reset();
    return code;
}

void end_korvel(Korvel& korvel) {
    if (!korvel.process) return;
    TerminateProcess(korvel.process.get(), 1);
    WaitForSingleObject(korvel.process.get(), WAIT_MS);
    korvel.process.reset();
}

HWND wait_for_dialog(DWORD process, HWND owner, const std::string& title, DWORD wait) {
    for (DWORD waited = 0;; waited += POLL_MS) {
        const std::vector<HWND> found = find_dialogs(process, owner, title);
        if (!found.empty()) return found.front();
        if (waited >= wait) return nullptr;
        Sleep(POLL_MS);
    }
}

bool wait_until_gone(HWND window) {
    for (DWORD waited = 0; waited < WAIT_MS && IsWindow(window); waited += POLL_MS)
        Sleep(POLL_MS);
    return !IsWindow(window);
}

std::vector<HWND> owned_dialogs(DWORD process, HWND owner) {
    return find_dialogs(process, owner, "");
}

std::string window_text(HWND window) {
    char text[1024] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

std::string control_text(HWND parent, int control) {
    return sent_text(GetDlgItem(parent, control));
}

bool enabled(HWND parent, int control) {
    return IsWindowEnabled(GetDlgItem(parent, control)) != FALSE;
}

bool visible(HWND parent, int control) {
    return IsWindowVisible(GetDlgItem(parent, control)) != FALSE;
}

bool checked(HWND parent, int control) {
    return SendDlgItemMessageA(parent, control, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void click(HWND parent, int control) {
    SendMessageA(GetDlgItem(parent, control), BM_CLICK, 0, 0);
}

void post_click(HWND parent, int control) {
    PostMessageA(GetDlgItem(parent, control), BM_CLICK, 0, 0);
}

void set_text(HWND parent, int control, const std::string& text) {
    SendMessageW(GetDlgItem(parent, control), WM_SETTEXT, 0,
                 reinterpret_cast<LPARAM>(wide(text).c_str()));
}

void type_keys(HWND parent, int control, const std::string& keys) {
    const HWND edit = GetDlgItem(parent, control);
    for (const char key : keys)
        SendMessageA(edit, WM_CHAR, static_cast<unsigned char>(key), 1 /* one press */);
}

bool operator==(const Box& a, const Box& b) {
    return a.title == b.title && a.text == b.text;
}

HWND next_box(const Korvel& korvel, DWORD wait) {
    return wait_for_dialog(korvel.id, korvel.dialog, "", wait);
}

Box read_box(HWND box) {
    return {window_text(box), window_text(GetDlgItem(box, MESSAGE_TEXT_CONTROL))};
}

void dismiss(HWND box) {
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    wait_until_gone(box);
}

std::optional<Box> take_box(const Korvel& korvel, DWORD wait) {
    const HWND box = next_box(korvel, wait);
    if (!box) return std::nullopt;
    const Box seen = read_box(box);
    dismiss(box);
    return seen;
}

void drop_files(const Korvel& korvel, const std::vector<std::string>& names) {
    // A DROPFILES block as the shell makes it: its header, then the names in UTF-16, each
    // ended by a NUL, and one more NUL.
    struct Header {
        DWORD files_offset;
        POINT point;
        BOOL non_client;
        BOOL wide;
    };
    std::wstring list;
    for (const std::string& name : names)
        list += wide(name) + L'\0';
    list += L'\0';
    std::string block(sizeof(Header), '\0');
    const Header header{sizeof(Header), {10, 10}, FALSE, TRUE};
    std::memcpy(block.data(), &header, sizeof header);
    block.append(reinterpret_cast<const char*>(list.data()), list.size() * sizeof(wchar_t));
    void* remote = VirtualAllocEx(korvel.process.get(), nullptr, block.size(),
                                  MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (!remote) return;
    WriteProcessMemory(korvel.process.get(), remote, block.data(), block.size(), nullptr);
    SendMessageA(korvel.dialog, WM_DROPFILES, reinterpret_cast<WPARAM>(remote), 0);
    VirtualFreeEx(korvel.process.get(), remote, 0, MEM_RELEASE);
}

std::optional<std::string> offered_name(const Korvel& korvel, int button, const char* title) {
    post_click(korvel.dialog, button);
    const HWND chooser = wait_for_dialog(korvel.id, korvel.dialog, title);
    if (!chooser) return std::nullopt;
    std::string name = sent_text(name_edit(chooser));
    // Ticked, it would promise a file that Set patch then writes into.
    if (IsWindowVisible(GetDlgItem(chooser, READ_ONLY_CONTROL))) name += " (read-only box shown)";
    PostMessageA(chooser, WM_COMMAND, IDCANCEL, 0);
    wait_until_gone(chooser);
    return name;
}

bool choose_file(const Korvel& korvel, int button, const char* title, const std::string& path) {
    post_click(korvel.dialog, button);
    const HWND chooser = wait_for_dialog(korvel.id, korvel.dialog, title);
    if (!chooser) return false;
    SendMessageW(name_edit(chooser), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide(path).c_str()));
    PostMessageA(chooser, WM_COMMAND, IDOK, 0);
    return wait_until_gone(chooser);
}

void put_on_clipboard(const std::string& text) {
    // An owner window of its own: with none, the clipboard would take no data.
    const HWND owner =
        CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    if (OpenClipboard(owner)) {
        EmptyClipboard();
        if (const HGLOBAL data = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1)) {
            std::memcpy(GlobalLock(data), text.c_str(), text.size() + 1);
            GlobalUnlock(data);
            if (!SetClipboardData(CF_TEXT, data)) GlobalFree(data);
        }
        CloseClipboard();
    }
    DestroyWindow(owner);
}

std::set<DWORD> thread_ids(DWORD process) {
    std::set<DWORD> ids;
    const UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
    if (snapshot.get() == INVALID_HANDLE_VALUE) return ids;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot.get(), &entry); more;
         more = Thread32Next(snapshot.get(), &entry))
        if (entry.th32OwnerProcessID == process) ids.insert(entry.th32ThreadID);
    return ids;
}

void press_key(WORD key) {
    INPUT inputs[2] = {};
    for (INPUT& input : inputs) {
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = key;
    }
    inputs[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, inputs, sizeof(INPUT));
}
