// Drives the real korvel.exe as a user would, with ordinary window messages, and checks
// what a user sees: the dialog's controls, the message boxes, the files on disk.
// Usage: dialog_driver KORVEL_EXE skin|fallback|layout
// "layout" only checks the start-up state with the fallback layout: for a screen of another
// DPI, where the rest would add nothing.
#include "tests/e2e/files.h"
#include "tests/e2e/report.h"
#include "tests/e2e/suites.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    const std::string mode = argc == 3 ? argv[2] : "";
    if (mode != "skin" && mode != "fallback" && mode != "layout") {
        std::printf("usage: dialog_driver KORVEL_EXE skin|fallback|layout\n");
        return 2;
    }
    const bool layout_only = mode == "layout";
    const std::string layout = layout_only ? "fallback" : mode;
    const std::string exe = argv[1];
    const TempFolder folder;

    // A program that has never had a path chosen: its start-up state and the refusals
    // that only an empty path gives.
    Korvel fresh = start_korvel(exe);
    if (check(fresh.dialog != nullptr, "Start-up / the dialog \"Korvel\" shows")) {
        check_initial_state(fresh, layout);
        if (!layout_only) run_unselected_suite(fresh, folder.path);
        check_close(fresh, "Esc");
    }
    end_korvel(fresh);
    if (layout_only) return print_summary() ? 0 : 1;

    // One program for everything else: each case sets what it needs through the dialog.
    Korvel korvel = start_korvel(exe);
    if (check(korvel.dialog != nullptr, "Start-up / korvel.exe starts again")) {
        run_front_end_suite(korvel, folder.path);
        run_field_suite(korvel, folder.path);
        run_name_suite(korvel, folder.path);
        // The byte work does not depend on the layout: once is enough, and halves the run.
        if (layout == "fallback") {
            run_operation_suites(korvel, folder.path);
            run_mended_fault_suite(korvel, folder.path);
        } else {
            skip("Operations and mended faults", "they run with the fallback layout");
        }
        check_close(korvel, "the system menu's close item");
    }
    end_korvel(korvel);

    // Nor does a close during a job, which takes most of a run under an emulated 32-bit Wine.
    if (layout == "fallback") {
        check_close_during_job(exe, folder.path);
    } else {
        skip("Close during a job", "it runs with the fallback layout");
    }
    return print_summary() ? 0 : 1;
}
