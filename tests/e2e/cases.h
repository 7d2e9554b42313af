// A case: the files it starts from, what the user does on the dialog, the boxes that must
// follow in order, and the files as they must be afterwards.
#pragma once

#include "tests/e2e/window.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Under Wine this opens, and then every write fails as on a full disk.
constexpr char FULL_DISK[] = "Z:\\dev\\full";
constexpr std::uint32_t MAX_FILE_SIZE = 31457280;
constexpr std::uint32_t CREATE_SIZE_LIMIT = 104857600;
constexpr char SUCCESS_TEXT[] = "Operation is successfully finished";

// Something in the case's folder before the case runs.
struct Setup {
    enum Kind { file, folder, sparse, held, link };
    std::string name;
    Kind kind = file;
    std::string bytes;        // file, held
    std::uint64_t length = 0; // sparse
    std::string existing;     // link: the file it is one more name of
};
Setup file(const std::string& name, const std::string& bytes);
Setup folder(const std::string& name);
Setup sparse(const std::string& name, std::uint64_t length);
// A file the driver keeps open without sharing while the case runs.
Setup held(const std::string& name, const std::string& bytes);
// A second name of a file made before it (a hard link).
Setup link(const std::string& name, const std::string& existing);

// A file as it must be afterwards; no bytes: there must be no such file.
struct FileState {
    std::string name;
    std::optional<std::string> bytes;
};
FileState has(const std::string& name, const std::string& bytes);
FileState absent(const std::string& name);

struct Fields {
    std::string begin;
    std::string end;
    std::string size;
};

Box done(const std::string& text = SUCCESS_TEXT);
Box failure(const std::string& text);

struct Case {
    std::string name;
    int operation; // its radio button
    std::vector<Setup> files;
    // Names in the case's folder, or paths of their own (with a drive letter); the input
    // and output slots take them by one drop.
    std::string input;
    std::string output;
    Fields fields;
    std::vector<Box> boxes;
    std::vector<FileState> after;
    bool typed = false;         // the fields are typed key by key, not set whole
    bool chosen = false;        // the input and output are chosen with IN and OUT, not dropped
    bool short_output = false;  // the output goes by its 8.3 short name
    bool exact_listing = false; // the folder then lists just the files after names, spelt so
    bool same_output = false;   // the output is written where it lies, still the same file
};

// Runs each case on the dialog, one after another; the suite's name leads every line.
void run_cases(const Korvel& korvel, const std::string& folder, const std::string& suite,
               const std::vector<Case>& cases);

// Fills the three fields, presses Start and checks the boxes that follow, in order, and that
// the job then ends with no box left open.
void run_job(const Korvel& korvel, const std::string& name, int operation, const Fields& fields,
             const std::vector<Box>& boxes, bool typed = false);

// Checks the boxes that follow a press of Start, in order, and that the job then ends with
// no box left open; idle: the program's threads before the press.
void expect_outcome(const Korvel& korvel, const std::string& name, const std::set<DWORD>& idle,
                    const std::vector<Box>& boxes);

// The threads of the program that were not among idle, opened to wait on.
std::vector<UniqueHandle> threads_started(const Korvel& korvel, const std::set<DWORD>& idle);
// Whether every one of the threads has ended within the wait.
bool all_ended(const std::vector<UniqueHandle>& threads, DWORD wait);

// Where a case's name leads: a path of its own, or one in the folder.
std::string path_in(const std::string& folder, const std::string& name);
void check_files(const std::string& name, const std::string& folder,
                 const std::vector<FileState>& after);
