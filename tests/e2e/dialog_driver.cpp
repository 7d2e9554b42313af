// Drives the real korvel.exe as a user would, with ordinary window messages, and checks
// what a user sees: the dialog's controls, the message boxes, the files on disk.
// Usage: dialog_driver KORVEL_EXE skin|fallback
#include "ui/win32.h"
// After <windows.h>, whose old cursor name IDC_SIZE this replaces.
#include "ui/res/resource.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

constexpr int FILE_NAME_CONTROL = 0x47C; // the name box of the open and save dialogs
constexpr int MESSAGE_TEXT_CONTROL = 0xFFFF;
constexpr DWORD WAIT_MS = 120000; // Wine under emulation starts slowly
constexpr int FALLBACK_EXTRA_WIDTH = 150;

int passed = 0;
int failed = 0;

void check(bool ok, const std::string& what, const std::string& seen = "") {
    ++(ok ? passed : failed);
    std::printf("%s %s%s%s\n", ok ? "ok  " : "FAIL", what.c_str(), seen.empty() ? "" : ": saw ",
                seen.c_str());
    std::fflush(stdout);
}

std::string window_text(HWND window) {
    char text[1024] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

struct Search {
    DWORD process;
    HWND owner; // null: a window without owner
    std::string title; // empty: any title
    HWND found;
};

BOOL CALLBACK match_window(HWND window, LPARAM parameter) {
    auto& search = *reinterpret_cast<Search*>(parameter);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    char class_name[64] = {};
    GetClassNameA(window, class_name, sizeof class_name);
    if (process != search.process || std::string(class_name) != "#32770" ||
        !IsWindowVisible(window) || GetWindow(window, GW_OWNER) != search.owner ||
        (!search.title.empty() && window_text(window) != search.title))
        return TRUE;
    search.found = window;
    return FALSE;
}

// A dialog of the process, by owner and title, once it shows; null after the wait.
HWND wait_for_dialog(DWORD process, HWND owner, const std::string& title) {
    for (DWORD waited = 0; waited < WAIT_MS; waited += 50) {
        Search search{process, owner, title, nullptr};
        EnumWindows(match_window, reinterpret_cast<LPARAM>(&search));
        if (search.found) return search.found;
        Sleep(50);
    }
    return nullptr;
}

bool wait_until_gone(HWND window) {
    for (DWORD waited = 0; waited < WAIT_MS && IsWindow(window); waited += 50) Sleep(50);
    return !IsWindow(window);
}

void click(HWND dialog, int control) {
    // Posted: IN and OUT do not return until their file dialog closes.
    PostMessageA(GetDlgItem(dialog, control), BM_CLICK, 0, 0);
}

void type(HWND dialog, int control, const std::string& text) {
    SendMessageA(GetDlgItem(dialog, control), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

// Sent, not GetWindowText: that reads another process's edit control as created.
std::string field(HWND dialog, int control) {
    char text[64] = {};
    SendMessageA(GetDlgItem(dialog, control), WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    return text;
}

// Picks a file through the real open or save dialog.
void choose_file(DWORD process, HWND dialog, int button, const char* title, const std::string& path) {
    click(dialog, button);
    const HWND chooser = wait_for_dialog(process, dialog, title);
    check(chooser != nullptr, std::string("the \"") + title + "\" dialog opens");
    if (!chooser) return;
    type(chooser, FILE_NAME_CONTROL, path);
    PostMessageA(chooser, WM_COMMAND, IDOK, 0);
    check(wait_until_gone(chooser), std::string("the \"") + title + "\" dialog takes " + path);
}

// The next message box of the dialog: its title and text; it is then dismissed.
std::pair<std::string, std::string> next_box(DWORD process, HWND dialog) {
    const HWND box = wait_for_dialog(process, dialog, "");
    if (!box) return {"", "(no box)"};
    const std::string title = window_text(box);
    const std::string text = window_text(GetDlgItem(box, MESSAGE_TEXT_CONTROL));
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    wait_until_gone(box);
    return {title, text};
}

void expect_box(DWORD process, HWND dialog, const std::string& title, const std::string& text) {
    const auto [seen_title, seen_text] = next_box(process, dialog);
    check(seen_title == title && seen_text == text, "box \"" + title + "\": \"" + text + "\"",
          "\"" + seen_title + "\": \"" + seen_text + "\"");
}

std::string temp_folder() {
    char base[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, base);
    const std::string folder = std::string(base) + "korvel-e2e-" + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

void write_bytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string read_bytes(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

int width_of(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    return rect.right - rect.left;
}

// The dialog's horizontal base unit, found from widths the template fixes: the client
// area is 202 dialog units wide and the Begin field 45.
int base_unit_x(HWND dialog) {
    RECT client{};
    GetClientRect(dialog, &client);
    const int begin = width_of(GetDlgItem(dialog, IDC_BEGIN));
    for (int unit = 4; unit <= 32; ++unit)
        if (MulDiv(202, unit, 4) == client.right && MulDiv(45, unit, 4) == begin) return unit;
    return 0;
}

void check_layout(HWND dialog, const std::string& layout) {
    const bool skin = IsWindowVisible(GetDlgItem(dialog, IDC_SKIN)) != FALSE;
    check(skin == (layout == "skin"), "the " + layout + " layout shows",
          skin ? "the skin" : "the fallback");
    const int radio = MulDiv(8, base_unit_x(dialog), 4); // the template's width: 8 dialog units
    const int expected = radio + (skin ? 0 : FALLBACK_EXTRA_WIDTH);
    const int width = width_of(GetDlgItem(dialog, IDC_CUT));
    check(width == expected, "radio button width " + std::to_string(expected), std::to_string(width));
    for (const int label : {IDC_BEGIN_LABEL, IDC_SIZE_LABEL, IDC_FILES_GROUP, IDC_ACTION_GROUP})
        check((IsWindowVisible(GetDlgItem(dialog, label)) != FALSE) == !skin,
              "label " + std::to_string(label) + (skin ? " hidden" : " shown"));
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::printf("usage: dialog_driver KORVEL_EXE skin|fallback\n");
        return 2;
    }
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION korvel{};
    std::string command = std::string("\"") + argv[1] + "\"";
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &korvel)) {
        std::printf("cannot start %s\n0 passed, 1 failed\n", argv[1]);
        return 1;
    }
    const DWORD process = korvel.dwProcessId;
    const HWND dialog = wait_for_dialog(process, nullptr, "Korvel");
    check(dialog != nullptr, "the dialog \"Korvel\" shows");
    if (dialog) {
        for (const int control : {IDC_BEGIN, IDC_END, IDC_SIZE})
            check(field(dialog, control) == "0", "field " + std::to_string(control) + " reads 0",
                  field(dialog, control));
        check(!IsWindowEnabled(GetDlgItem(dialog, IDC_END)), "the End field starts disabled");
        check(SendDlgItemMessageA(dialog, IDC_CUT, BM_GETCHECK, 0, 0) == BST_CHECKED,
              "\"Cut bytes\" is checked");
        check_layout(dialog, argv[2]);

        const std::string folder = temp_folder();
        const std::string input = folder + "\\in.bin";
        const std::string output = folder + "\\out.bin";
        std::string data;
        for (int i = 0; i < 64; ++i) data += char(0x40 + i);
        write_bytes(input, data);

        choose_file(process, dialog, IDC_IN, "Open", input);
        choose_file(process, dialog, IDC_OUT, "Save As", output);
        type(dialog, IDC_BEGIN, "1F");
        type(dialog, IDC_SIZE, "16");
        click(dialog, IDC_START);
        expect_box(process, dialog, "Done", "Operation is successfully finished");
        const std::string piece = read_bytes(output);
        check(piece == data.substr(0x1F, 16), "the output holds 16 bytes from 0x1F",
              std::to_string(piece.size()) + " bytes");

        type(dialog, IDC_BEGIN, "0X10");
        click(dialog, IDC_START);
        expect_box(process, dialog, "Error", "Hex value error, in begin address field");
        check(read_bytes(output) == piece && read_bytes(input) == data,
              "a bad Begin field touches no file");

        DeleteFileA(input.c_str());
        DeleteFileA(output.c_str());
        RemoveDirectoryA(folder.c_str());
        PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    }
    const bool ended = WaitForSingleObject(korvel.hProcess, WAIT_MS) == WAIT_OBJECT_0;
    DWORD exit_code = 1;
    GetExitCodeProcess(korvel.hProcess, &exit_code);
    check(ended && exit_code == 0, "the close command ends the program with 0");
    if (!ended) TerminateProcess(korvel.hProcess, 1);
    CloseHandle(korvel.hThread);
    CloseHandle(korvel.hProcess);
    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}
