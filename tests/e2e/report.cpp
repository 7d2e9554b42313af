#include "tests/e2e/report.h"

#include <cstdio>

namespace {

int passed = 0;
int failed = 0;

} // namespace

bool check(bool ok, const std::string& what, const std::string& seen) {
    ++(ok ? passed : failed);
    if (ok)
        std::printf("ok   %s\n", what.c_str());
    else
        std::printf("FAIL %s: saw %s\n", what.c_str(), seen.empty() ? "otherwise" : seen.c_str());
    std::fflush(stdout);
    return ok;
}

void skip(const std::string& what, const std::string& why) {
    std::printf("skip %s: %s\n", what.c_str(), why.c_str());
    std::fflush(stdout);
}

bool print_summary() {
    std::printf("%d passed, %d failed\n", passed, failed);
    std::fflush(stdout);
    return failed == 0;
}

std::string joined(const std::vector<std::string>& texts, const std::string& separator) {
    std::string text;
    for (const std::string& part : texts)
        if (!part.empty()) text += (text.empty() ? "" : separator) + part;
    return text;
}

std::string quoted(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        if (c == '\n')
            out += "\\n";
        else if (c == '"')
            out += "\\\"";
        else
            out += c;
    }
    return out + "\"";
}
