// The suites, each run on a dialog that a previous suite may have used: every case sets the
// operation, the paths and the fields it needs.
#pragma once

#include "tests/e2e/window.h"

#include <string>

// The six operations' successes and failures, one suite each.
void run_operation_suites(const Korvel& korvel, const std::string& folder);
// The field rules: typed key by key into the real edit controls, and set whole as another
// program may set them.
void run_field_suite(const Korvel& korvel, const std::string& folder);
// Faults the program mends: one file as input and output, a full disk, files over 4 GiB.
void run_mended_fault_suite(const Korvel& korvel, const std::string& folder);

// Files named in several scripts, dropped and chosen with IN and OUT, every operation.
void run_name_suite(const Korvel& korvel, const std::string& folder);

// The dialog as it starts, in the expected layout ("skin" or "fallback").
void check_initial_state(const Korvel& korvel, const std::string& layout);
// With no path chosen yet: every operation refuses in check order; OUT offers "new.data".
void run_unselected_suite(const Korvel& korvel, const std::string& folder);
// Radio buttons, drop routing, the file dialogs' offers, Start while busy, the About box.
void run_front_end_suite(const Korvel& korvel, const std::string& folder);
// The close command ends the program with 0: by Esc, or the system menu's close item.
void check_close(Korvel& korvel, const std::string& how);
// Closing at any moment of a job, by Esc or the close button, ends the program with 0; that,
// a sign-out or a kill leaves every file whole or untouched, and no file beside it or in the
// temporary folder that was not there before.
void check_close_during_job(const std::string& exe, const std::string& folder);
