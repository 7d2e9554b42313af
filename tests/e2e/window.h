// Reaching another program's windows as a user would: clicks, typing, dropped files, the
// keyboard, and reading back what shows.
#pragma once

#include "engine/win32.h"

#include <memory>
#include <optional>
#include <set>
#include <string>
#include <type_traits>
#include <vector>

struct HandleCloser {
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using UniqueHandle = std::unique_ptr<std::remove_pointer_t<HANDLE>, HandleCloser>;

constexpr int FILE_NAME_CONTROL = 0x47C; // the name box of the open and save dialogs
constexpr int READ_ONLY_CONTROL = 0x410; // their "Open as read-only" box
constexpr char OPEN_TITLE[] = "Open";    // IN's file dialog
constexpr char SAVE_TITLE[] = "Save As"; // OUT's file dialog
constexpr DWORD WAIT_MS = 120000;        // Wine under emulation can start slowly
constexpr DWORD JOB_END_MS = 20000;      // a job whose last box is gone ends at once

// A started korvel.exe and its dialog.
struct Korvel {
    UniqueHandle process;
    DWORD id = 0;
    DWORD thread_id = 0; // the dialog's thread
    HWND dialog = nullptr;
};

// Starts the program and waits for its dialog "Korvel"; no dialog when it does not show.
Korvel start_korvel(const std::string& exe);
// Waits for the program to end; its exit code, or nothing when it does not end in time.
std::optional<DWORD> wait_for_exit(Korvel& korvel);
// Ends a program that is left over from a failed check.
void end_korvel(Korvel& korvel);

// A visible #32770 window of the process with that owner and (when not empty) that title,
// once it shows; null after the wait.
HWND wait_for_dialog(DWORD process, HWND owner, const std::string& title, DWORD wait = WAIT_MS);
bool wait_until_gone(HWND window);
// The visible #32770 windows the dialog owns: message boxes and file dialogs.
std::vector<HWND> owned_dialogs(DWORD process, HWND owner);

std::string window_text(HWND window);
std::string control_text(HWND parent, int control);
bool enabled(HWND parent, int control);
bool visible(HWND parent, int control);
bool checked(HWND parent, int control);

// A click that returns once the dialog has handled it.
void click(HWND parent, int control);
// A click that returns at once: for buttons whose handler waits on another window.
void post_click(HWND parent, int control);
void set_text(HWND parent, int control, const std::string& text);
// Types into an edit control key by key, so that its own limits apply.
void type_keys(HWND parent, int control, const std::string& keys);

struct Box {
    std::string title;
    std::string text;
};
bool operator==(const Box& a, const Box& b);
// The next message box (or other #32770 window) the dialog owns, once it shows.
HWND next_box(const Korvel& korvel, DWORD wait = WAIT_MS);
Box read_box(HWND box);
// Presses OK and waits until the box has gone.
void dismiss(HWND box);
// The next message box the dialog owns, dismissed with OK once read.
std::optional<Box> take_box(const Korvel& korvel, DWORD wait = WAIT_MS);

// Drops files onto the dialog as the shell would, names in that order.
void drop_files(const Korvel& korvel, const std::vector<std::string>& names);

// Opens IN's or OUT's file dialog, reads the name it offers and cancels it; the name is
// marked when the dialog shows its read-only box.
std::optional<std::string> offered_name(const Korvel& korvel, int button, const char* title);
// Picks a name in IN's or OUT's file dialog; false when the dialog did not take it.
bool choose_file(const Korvel& korvel, int button, const char* title, const std::string& path);

// Puts the text on the clipboard, as another program's copy would.
void put_on_clipboard(const std::string& text);

// The ids of the process's threads, to tell a job thread from the rest.
std::set<DWORD> thread_ids(DWORD process);
// Presses and releases one key as real keyboard input.
void press_key(WORD key);
