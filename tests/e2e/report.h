// The driver's verdicts: one line for each check, and the closing count.
#pragma once

#include <string>
#include <vector>

// Counts one check and prints it; a failure line says what was expected and what was seen.
bool check(bool ok, const std::string& what, const std::string& seen = "");

// A check that cannot run here, and why; counted neither way.
void skip(const std::string& what, const std::string& why);

// Prints "N passed, N failed"; true when nothing failed.
bool print_summary();

// A text as a C string literal would show it, so that line feeds and blanks can be read.
std::string quoted(const std::string& text);

// The texts that are not empty, one after another with the separator between them.
std::string joined(const std::vector<std::string>& texts, const std::string& separator);
