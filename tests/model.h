#pragma once

// A plain model of what a job does to the user's files and which boxes it shows: byte
// vectors and the check orders, written apart from the engine so that the two can be
// held against each other.
#include "tests/files.h"

#include <cstdint>
#include <string>
#include <vector>

// What a path names, as far as an operation can tell.
enum class Entry {
    none,        // nothing there yet; writing creates it
    file,        // a file holding bytes
    folder,      // a folder, which no operation opens
    unreachable, // a name inside a missing folder: nothing can open or create it
    full_device, // opens for writing, then refuses every byte (a full disk)
};

struct ModelFile {
    Entry entry = Entry::none;
    Bytes bytes; // the contents of a file
};

struct ModelRequest {
    std::int32_t operation = 1;
    bool input_selected = true;  // false: the input path is empty
    bool output_selected = true; // false: the output path is empty
    bool same_file = false;      // the output path names the input's file
    std::string begin;           // the three fields' texts, as typed
    std::string end;
    std::string size;
};

struct ModelBox {
    std::string title;
    std::string text;
};

struct ModelOutcome {
    std::vector<std::string> events; // the dialog calls, named as RecordingDialog names them
    std::vector<ModelBox> boxes;
};

// Runs a request on the two files, changing them as the job should change the real ones.
// With same_file the output is ignored: the input stands for both.
ModelOutcome run_model(const ModelRequest& request, ModelFile& input, ModelFile& output);
