#pragma once

#include "engine/error.h"
#include "engine/saved_range.h"

class Dialog;

// Shows the file message, then the range message, of a caught record: one box
// each, titled "Error", in that order. A code outside its table shows nothing. A file
// that could not be put back also names where its old bytes are kept.
void report_error(Dialog& dialog, const error& failure, const KeptBytes& kept = {});

// Shows "Unknown error" for a failure that is not an error record.
void report_unknown(Dialog& dialog);
