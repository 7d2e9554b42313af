#pragma once

#include "engine/error.h"

class Dialog;

// Shows the file message, then the range message, of a caught record: one box
// each, titled "Error", in that order. A code outside its table shows nothing.
void report_error(Dialog& dialog, const error& failure);

// Shows "Unknown error" for a failure that is not an error record.
void report_unknown(Dialog& dialog);
