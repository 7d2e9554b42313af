#include "tests/e2e/cases.h"
#include "tests/e2e/files.h"
#include "tests/e2e/report.h"
#include "tests/e2e/suites.h"
// After <windows.h>, whose old cursor name IDC_SIZE this replaces.
#include "ui/res/resource.h"
#include "ui/version.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace {

constexpr int FALLBACK_EXTRA_WIDTH = 150; // at 96 dots per inch
constexpr int STANDARD_DPI = 96;
constexpr int DIALOG_FONT_POINTS = 8; // the template's font
constexpr char DIALOG_FONT_FACE[] = "MS Sans Serif";
constexpr std::uint32_t SLOW_SIZE = 65536; // far more than the slow output holds
constexpr COLORREF SKIN_COLOUR = RGB(106, 212, 172);
constexpr char NEW_FILE_NAME[] = "new.data";
constexpr char ABOUT_TITLE[] = "About...";
constexpr char ABOUT_START[] = "     Korvel       \n            " KORVEL_ABOUT_VERSION "  \n";
constexpr char AUTHOR_INDENT[] = "     ";

constexpr int FIELD_CONTROLS[] = {IDC_BEGIN, IDC_END, IDC_SIZE};
constexpr int FRONT_CONTROLS[] = {IDC_BEGIN, IDC_END, IDC_SIZE, IDC_IN, IDC_OUT};
constexpr int RADIO_BUTTONS[] = {IDC_CUT,    IDC_CUT_RANGE, IDC_INSERT,
                                 IDC_CREATE, IDC_PATCH,     IDC_COMPARE};
constexpr int HIDDEN_IN_SKIN[] = {IDC_BEGIN_LABEL,   IDC_END_LABEL,   IDC_SIZE_LABEL,
                                  IDC_OPTIONS_GROUP, IDC_FILES_GROUP, IDC_OPERATIONS_GROUP,
                                  IDC_ACTION_GROUP};

// The enabled state of Begin, End, Size, IN and OUT under each operation.
struct Selection {
    const char* caption;
    int radio;
    bool controls[5];
};

// Each field's label, just before it, and the label's access key.
struct Label {
    int field;
    int label;
    char key;      // with Alt
    int operation; // a radio button that enables the field
};

constexpr Label LABELS[] = {
    {IDC_BEGIN, IDC_BEGIN_LABEL, 'b', IDC_CUT},
    {IDC_END, IDC_END_LABEL, 'e', IDC_CUT_RANGE},
    {IDC_SIZE, IDC_SIZE_LABEL, 's', IDC_CUT},
};
constexpr LPARAM ALT_DOWN = 1 | (KF_ALTDOWN << 16); // one press, with Alt held
constexpr DWORD KEY_WAIT_MS = 5000;

constexpr Selection SELECTIONS[] = {
    {"&Cut bytes", IDC_CUT, {true, false, true, true, true}},
    {"Cut bytes &from to", IDC_CUT_RANGE, {true, true, false, true, true}},
    {"I&nsert bytes", IDC_INSERT, {true, false, false, true, true}},
    {"C&reate file", IDC_CREATE, {false, false, true, false, true}},
    {"Set &patch", IDC_PATCH, {true, true, false, true, false}},
    {"Co&mpare files", IDC_COMPARE, {false, false, false, true, true}},
};

std::string name_of(int control) {
    switch (control) {
    case IDC_BEGIN: return "Begin";
    case IDC_END: return "End";
    case IDC_SIZE: return "Size";
    case IDC_IN: return "IN";
    case IDC_OUT: return "OUT";
    default: return "control " + std::to_string(control);
    }
}

std::string on_off(bool on) {
    return on ? "on" : "off";
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

// The colour on screen just inside the left edge of a control, half way down.
COLORREF colour_inside(HWND control) {
    RECT rect{};
    GetWindowRect(control, &rect);
    const HDC screen = GetDC(nullptr);
    const COLORREF colour = GetPixel(screen, rect.left + 3, (rect.top + rect.bottom) / 2);
    ReleaseDC(nullptr, screen);
    return colour;
}

std::string rgb(COLORREF colour) {
    return "RGB(" + std::to_string(GetRValue(colour)) + ", " + std::to_string(GetGValue(colour)) +
           ", " + std::to_string(GetBValue(colour)) + ")";
}

int screen_dpi() {
    const HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
    return dpi;
}

// The width a radio button needs to show its circle and its whole caption, in the font
// the dialog's template names, as this screen makes it.
int width_needed(HWND radio) {
    const HDC screen = GetDC(nullptr);
    const HFONT font =
        CreateFontA(-MulDiv(DIALOG_FONT_POINTS, GetDeviceCaps(screen, LOGPIXELSY), 72), 0, 0, 0,
                    FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, 0, 0, 0, 0, DIALOG_FONT_FACE);
    const HGDIOBJ old = SelectObject(screen, font);
    std::string caption = window_text(radio);
    RECT text{}; // measured as the button draws it, its access key's '&' not shown
    DrawTextA(screen, caption.data(), int(caption.size()), &text, DT_CALCRECT | DT_SINGLELINE);
    SelectObject(screen, old);
    DeleteObject(font);
    ReleaseDC(nullptr, screen);
    return GetSystemMetrics(SM_CXMENUCHECK) + text.right;
}

void check_layout(HWND dialog, const std::string& layout) {
    const bool skin = layout == "skin";
    const std::string suite = "Layout (" + layout + ") / ";
    check(visible(dialog, IDC_SKIN) == skin, suite + "the skin " + (skin ? "shows" : "is hidden"));
    const int extra = skin ? 0 : MulDiv(FALLBACK_EXTRA_WIDTH, screen_dpi(), STANDARD_DPI);
    const int expected = MulDiv(8, base_unit_x(dialog), 4) + extra;
    for (const int radio : RADIO_BUTTONS) {
        const int width = width_of(GetDlgItem(dialog, radio));
        const std::string caption = quoted(control_text(dialog, radio));
        check(width == expected,
              suite + "radio button " + caption + " is " + std::to_string(expected) + " px wide",
              std::to_string(width));
        if (skin) continue; // the skin draws the captions
        const int needed = width_needed(GetDlgItem(dialog, radio));
        check(width >= needed,
              suite + "radio button " + caption + " shows its circle and whole caption",
              std::to_string(width) + " px wide, " + std::to_string(needed) + " needed");
    }
    for (const int label : HIDDEN_IN_SKIN)
        check(visible(dialog, label) == !skin,
              suite + quoted(control_text(dialog, label)) + (skin ? " hidden" : " shown"));
    // Screen readers name a field by the static text just before it, shown or hidden.
    for (const Label& row : LABELS) {
        const HWND before = GetWindow(GetDlgItem(dialog, row.field), GW_HWNDPREV);
        check(before == GetDlgItem(dialog, row.label),
              suite + name_of(row.field) + " comes just after its label " +
                  quoted(control_text(dialog, row.label)),
              "after control " + std::to_string(GetDlgCtrlID(before)));
    }
    // A disabled field asks for the static colours: the skin's brush only with the skin.
    const COLORREF colour = colour_inside(GetDlgItem(dialog, IDC_END));
    check((colour == SKIN_COLOUR) == skin,
          suite + "the disabled End field is painted " + (skin ? "" : "not ") + "in the skin's " +
              rgb(SKIN_COLOUR),
          rgb(colour));
}

GUITHREADINFO gui_state(const Korvel& korvel) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(korvel.thread_id, &info);
    return info;
}

// What IN and OUT offer: the input and output paths as the dialog holds them.
void check_offers(const Korvel& korvel, const std::string& name, const std::string& input,
                  const std::string& output) {
    const std::string in = offered_name(korvel, IDC_IN, OPEN_TITLE).value_or("(no dialog)");
    const std::string out = offered_name(korvel, IDC_OUT, SAVE_TITLE).value_or("(no dialog)");
    check(in == input && out == output,
          "Drops / " + name + ": IN offers " + quoted(input) + ", OUT " + quoted(output),
          "IN " + quoted(in) + ", OUT " + quoted(out));
}

void check_about_box(const Korvel& korvel, const std::string& how) {
    const HWND box = wait_for_dialog(korvel.id, korvel.dialog, ABOUT_TITLE, JOB_END_MS);
    if (!check(box != nullptr, "About / " + how + " opens the About box")) return;
    const Box seen = read_box(box);
    const std::string rest = seen.text.substr(std::min(seen.text.size(), sizeof ABOUT_START - 1));
    const std::size_t feed = rest.find('\n');
    const bool two_lines = feed != std::string::npos &&
                           rest.find('\n', feed + 1) == std::string::npos &&
                           rest.rfind(AUTHOR_INDENT, 0) == 0 &&
                           rest.compare(feed + 1, 5, AUTHOR_INDENT) == 0 && rest.back() != '\n';
    check(seen.text.rfind(ABOUT_START, 0) == 0 && two_lines,
          "About / " + how + ": the name, the version, then two indented lines", quoted(seen.text));

    // A second request while the box is open is ignored, by either way of asking.
    SendMessageA(korvel.dialog, WM_SYSCOMMAND, IDM_ABOUT, 0);
    SendMessageA(korvel.dialog, WM_HELP, 0, 0);
    const std::size_t open = owned_dialogs(korvel.id, korvel.dialog).size();
    check(open == 1, "About / " + how + ": a second request opens no second box",
          std::to_string(open) + " boxes");
    for (const HWND open_box : owned_dialogs(korvel.id, korvel.dialog))
        dismiss(open_box);
}

void run_selection_rows(const Korvel& korvel) {
    for (const Selection& row : SELECTIONS) {
        click(korvel.dialog, row.radio);
        std::string want;
        std::string seen;
        for (std::size_t i = 0; i < std::size(FRONT_CONTROLS); ++i) {
            want += " " + name_of(FRONT_CONTROLS[i]) + " " + on_off(row.controls[i]);
            seen += " " + name_of(FRONT_CONTROLS[i]) + " " +
                    on_off(enabled(korvel.dialog, FRONT_CONTROLS[i]));
        }
        check(want == seen, std::string("Selection / ") + row.caption + ":" + want, seen);
        std::string marks;
        for (const int radio : RADIO_BUTTONS)
            if (checked(korvel.dialog, radio)) marks += quoted(control_text(korvel.dialog, radio));
        check(marks == quoted(row.caption) && enabled(korvel.dialog, IDC_START),
              std::string("Selection / ") + row.caption + ": checked alone, Start enabled", marks);
    }
}

void run_drop_routing(const Korvel& korvel, const std::string& folder) {
    // Every name a file of its own, so that the file dialogs show them.
    const auto at = [&](const std::string& name) { return folder + "\\" + name; };
    for (const char* name : {"a", "b", "c", "d", "e", "f", "g", "h", "i", "j", "k", "l", "m"})
        write_file(at(name), name);
    const auto drop = [&](std::vector<std::string> names) {
        for (std::string& name : names)
            name = at(name);
        drop_files(korvel, names);
    };

    click(korvel.dialog, IDC_CUT);
    drop({"a", "b"});
    check_offers(korvel, "one drop of two files: input, then output", "a", "b");
    drop({"c"});
    drop({"d"});
    drop({"e"});
    check_offers(korvel, "single drops alternate", "e", "d");
    click(korvel.dialog, IDC_CUT);
    drop({"f", "g", "h"});
    drop({"i"});
    check_offers(korvel, "three files end on the input, the next drop goes out", "h", "i");
    click(korvel.dialog, IDC_CUT);
    drop({"a"});
    click(korvel.dialog, IDC_CUT); // a second click on the selected button
    drop({"b"});
    check_offers(korvel, "a second click sends the next drop to the input", "b", "i");
    check(choose_file(korvel, IDC_IN, OPEN_TITLE, at("c")), "Drops / IN takes a chosen file");
    drop({"d"});
    check_offers(korvel, "after IN a drop goes to the output", "c", "d");

    click(korvel.dialog, IDC_PATCH);
    drop({"e", "f"});
    check(!enabled(korvel.dialog, IDC_OUT), "Drops / OUT disabled under \"Set patch\"");
    click(korvel.dialog, IDC_CREATE);
    drop({"g", "h"});
    check(!enabled(korvel.dialog, IDC_IN), "Drops / IN disabled under \"Create file\"");
    click(korvel.dialog, IDC_CUT);
    check_offers(korvel, "\"Set patch\" drops go in, \"Create file\" drops go out", "f", "h");

    const std::string long_name = at(std::string(300 - folder.size(), 'x'));
    click(korvel.dialog, IDC_CUT);
    drop({"j", long_name.substr(folder.size() + 1), "k"});
    check_offers(korvel, "a name over 259 characters is not taken and does not count", "j", "k");
    check(choose_file(korvel, IDC_OUT, SAVE_TITLE, at("l")), "Drops / OUT takes a chosen name");
    check_offers(korvel, "OUT offers the chosen output", "j", "l");
}

void check_start_while_busy(const Korvel& korvel, const std::string& folder) {
    const std::string out = folder + "\\busy.bin";
    click(korvel.dialog, IDC_CUT);
    drop_files(korvel, {folder + "\\a", out});
    click(korvel.dialog, IDC_CREATE);
    set_text(korvel.dialog, IDC_SIZE, "1000");
    const std::set<DWORD> idle = thread_ids(korvel.id);
    // Sent, so that the second press arrives while the first job runs or shows its box.
    click(korvel.dialog, IDC_START);
    click(korvel.dialog, IDC_START);
    if (next_box(korvel)) click(korvel.dialog, IDC_START); // enabled again, but the box is open
    expect_outcome(korvel, "Start while busy", idle, {done()});
    check_files("Start while busy", folder, {has("busy.bin", std::string(1000, '\0'))});
}

// Start pressed with the mouse takes the focus, and the job then disables Start from its
// own thread: the focus must already be elsewhere, on a control that takes keys.
void check_focus_after_start(const Korvel& korvel, const std::string& folder) {
    const UniqueHandle output = make_slow_output(); // the job lasts until it is drained
    click(korvel.dialog, IDC_CUT);
    drop_files(korvel, {folder + "\\a", SLOW_OUTPUT});
    click(korvel.dialog, IDC_CREATE);
    set_text(korvel.dialog, IDC_SIZE, std::to_string(SLOW_SIZE));
    click(korvel.dialog, IDC_START); // the button's own mouse press and release
    const bool running = output_started(output.get()) && !enabled(korvel.dialog, IDC_START);
    const HWND focus = gui_state(korvel).hwndFocus;
    check(running && focus && IsWindowEnabled(focus),
          "Focus / after a click on Start, on an enabled control while the job runs",
          running ? "on control " + std::to_string(GetDlgCtrlID(focus)) : "the job did not run");
    drain(output.get());
    take_box(korvel);
}

struct Paste {
    int operation; // the radio button that enables the field
    int field;
    const char* held; // the field's text before the paste
    int from, to;     // its selection
    const char* clipboard;
    const char* after;           // what the field reads after the paste
    bool clipboard_held = false; // another program keeps the clipboard open
};

constexpr Paste PASTES[] = {
    {IDC_CUT, IDC_SIZE, "1", 1, 1, "2,048", "1"},
    {IDC_CUT, IDC_SIZE, "1", 1, 1, "12ab", "1"},
    {IDC_CUT, IDC_SIZE, "1", 1, 1, "2048", "12048"},
    {IDC_CUT, IDC_BEGIN, "0", 0, 1, "0x00000010", "00000010"},
    {IDC_PATCH, IDC_END, "0", 0, 1, "0x89ABCDEF", "89ABCDEF"},
    {IDC_CREATE, IDC_SIZE, "0", 0, 1, "1048576000", "0"},
    {IDC_CUT, IDC_SIZE, "0", 0, 1, "16\r\n", "16"},
    {IDC_CUT_RANGE, IDC_END, "ABCDEF", 2, 4, " 00\t", "AB00EF"},
    {IDC_CUT, IDC_BEGIN, "ABCDEF", 2, 4, "0x00", "ABCDEF"},
    {IDC_CUT, IDC_BEGIN, "7", 0, 1, "10", "7", true},
};
constexpr const Paste& BEGIN_0X10 = PASTES[3];

// Pastes into the field as Ctrl+V would; true when its text and selection are as the row
// expects: the caret after the pasted text, or the selection kept when refused.
bool paste(const Korvel& korvel, const Paste& row) {
    click(korvel.dialog, row.operation);
    const HWND field = GetDlgItem(korvel.dialog, row.field);
    set_text(korvel.dialog, row.field, row.held);
    SendMessageA(field, EM_SETSEL, row.from, row.to);
    put_on_clipboard(row.clipboard);
    const bool held = row.clipboard_held && OpenClipboard(nullptr);
    SendMessageA(field, WM_PASTE, 0, 0);
    if (held) CloseClipboard();
    const int kept = int(std::strlen(row.held)) - row.to; // characters after the selection
    const int caret = int(std::strlen(row.after)) - kept;
    const bool refused = std::strcmp(row.after, row.held) == 0;
    const LRESULT selection = SendMessageA(field, EM_GETSEL, 0, 0);
    return control_text(korvel.dialog, row.field) == row.after &&
           selection == (refused ? MAKELRESULT(row.from, row.to) : MAKELRESULT(caret, caret));
}

void run_paste_rows(const Korvel& korvel, const std::string& folder) {
    for (const Paste& row : PASTES) {
        const bool as_expected = paste(korvel, row);
        const std::string text = control_text(korvel.dialog, row.field);
        check(as_expected,
              "Paste / " + quoted(row.clipboard) + " over characters " + std::to_string(row.from) +
                  " to " + std::to_string(row.to) + " of " + name_of(row.field) + " " +
                  quoted(row.held) + (row.clipboard_held ? ", the clipboard held" : "") +
                  ": reads " + quoted(row.after),
              quoted(text));
    }
    // The job does what the field shows: one byte from 0x10, not from 1.
    const std::string name = "Paste / Cut bytes after Begin took \"0x00000010\"";
    write_file(folder + "\\paste.in", "ABCDEFGHIJKLMNOPQRST");
    click(korvel.dialog, IDC_CUT);
    drop_files(korvel, {folder + "\\paste.in", folder + "\\paste.out"});
    set_text(korvel.dialog, IDC_SIZE, "1");
    paste(korvel, BEGIN_0X10);
    const std::set<DWORD> idle = thread_ids(korvel.id);
    post_click(korvel.dialog, IDC_START);
    expect_outcome(korvel, name, idle, {done()});
    check_files(name, folder, {has("paste.out", "Q")});
}

// Alt and a label's access key move the focus to its field, with the skin too, where the
// label is hidden.
void run_access_key_rows(const Korvel& korvel) {
    for (const Label& row : LABELS) {
        click(korvel.dialog, row.operation);
        const HWND in = GetDlgItem(korvel.dialog, IDC_IN);
        SendMessageA(korvel.dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(in),
                     TRUE /* wparam is the control */);
        PostMessageA(in, WM_SYSCHAR, row.key, ALT_DOWN);
        const HWND field = GetDlgItem(korvel.dialog, row.field);
        HWND focus = in;
        for (DWORD waited = 0; waited < KEY_WAIT_MS && focus == in; waited += 10) {
            Sleep(10);
            focus = gui_state(korvel).hwndFocus;
        }
        check(focus == field,
              std::string("Access keys / Alt+") + char(std::toupper(row.key)) + " moves to " +
                  name_of(row.field),
              "focus on control " + std::to_string(GetDlgCtrlID(focus)));
    }
}

} // namespace

void check_initial_state(const Korvel& korvel, const std::string& layout) {
    const HWND dialog = korvel.dialog;
    for (const int field : FIELD_CONTROLS)
        check(control_text(dialog, field) == "0", "Start-up / " + name_of(field) + " reads \"0\"",
              quoted(control_text(dialog, field)));
    for (const int control : FRONT_CONTROLS)
        check(enabled(dialog, control) == (control != IDC_END),
              "Start-up / " + name_of(control) + " " + on_off(control != IDC_END));
    check(checked(dialog, IDC_CUT), "Start-up / \"Cut bytes\" is checked");
    const GUITHREADINFO gui = gui_state(korvel);
    check(gui.hwndFocus == GetDlgItem(dialog, IDC_IN), "Start-up / the focus is on IN",
          "focus on control " + std::to_string(GetDlgCtrlID(gui.hwndFocus)) + ", active " +
              (gui.hwndActive == dialog ? "the dialog" : "another window"));
    check_layout(dialog, layout);
}

void run_unselected_suite(const Korvel& korvel, const std::string& folder) {
    const std::string input = folder + "\\input.bin";
    write_file(input, "ABCDEFGH");
    const Fields fields{"0", "0", "1"};
    const auto refused = [&](const char* what, int operation, const char* message) {
        run_job(korvel, std::string("No files / ") + what, operation, fields, {failure(message)});
    };
    refused("Cut bytes with neither path", IDC_CUT, "Input file is not selected");
    refused("Cut bytes from to with neither path", IDC_CUT_RANGE, "Input file is not selected");
    refused("Insert bytes with neither path", IDC_INSERT, "Input file is not selected");
    refused("Create file with no output", IDC_CREATE, "Output file is not selected");
    refused("Set patch with no input", IDC_PATCH, "Input file is not selected");
    refused("Compare files with neither path", IDC_COMPARE, "Input file is not selected");

    click(korvel.dialog, IDC_CUT);
    drop_files(korvel, {input + ".first"});
    const std::optional<std::string> offered = offered_name(korvel, IDC_OUT, SAVE_TITLE);
    check(offered == NEW_FILE_NAME, "No files / OUT offers \"new.data\"",
          quoted(offered.value_or("(no dialog)")));
    drop_files(korvel, {input}); // a cancelled OUT sends the next drop to the input
    refused("Cut bytes with no output", IDC_CUT, "Output file is not selected");
    refused("Cut bytes from to with no output", IDC_CUT_RANGE, "Output file is not selected");
    refused("Insert bytes with no output", IDC_INSERT, "Output file is not selected");
    refused("Compare files with no output", IDC_COMPARE, "Output file is not selected");
    run_job(korvel, "No files / Set patch needs no output", IDC_PATCH, {"1", "7A", ""}, {done()});
    check_files("No files / Set patch needs no output", folder, {has("input.bin", "AzCDEFGH")});
}

void run_front_end_suite(const Korvel& korvel, const std::string& folder) {
    run_selection_rows(korvel);
    run_drop_routing(korvel, folder);
    check_start_while_busy(korvel, folder);
    check_focus_after_start(korvel, folder);
    run_paste_rows(korvel, folder);
    run_access_key_rows(korvel);

    PostMessageA(korvel.dialog, WM_SYSCOMMAND, IDM_ABOUT, 0);
    check_about_box(korvel, "the system menu's \"About\"");
    PostMessageA(korvel.dialog, WM_SYSCOMMAND, IDM_ABOUT, 0);
    check_about_box(korvel, "\"About\" once more after OK");

    // F1 is real keyboard input: it reaches the dialog only when it is in front.
    SetForegroundWindow(korvel.dialog);
    if (GetForegroundWindow() != korvel.dialog) {
        skip("About / F1", "the dialog cannot be brought in front here (no window manager)");
    } else {
        press_key(VK_F1);
        check_about_box(korvel, "F1");
    }
}

void check_close(Korvel& korvel, const std::string& how) {
    if (how == "Esc") {
        // As a key pressed on the focused button; the dialog turns it into its close command.
        PostMessageA(GetDlgItem(korvel.dialog, IDC_IN), WM_KEYDOWN, VK_ESCAPE, 1);
    } else {
        PostMessageA(korvel.dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    }
    const std::optional<DWORD> code = wait_for_exit(korvel);
    check(code == 0u, "Close / " + how + " ends the program with 0",
          code ? "exit code " + std::to_string(*code) : "still running");
    if (!code) end_korvel(korvel);
}
