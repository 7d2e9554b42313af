// The cross compiler's threads library imports GetTickCount64 from kernel32, which
// Windows XP does not have: the loader would refuse to start korvel.exe there. This
// file fills that import slot itself, so that the program starts on XP and still uses
// the system's function where there is one.
#include "engine/win32.h"

namespace {

ULONGLONG WINAPI tick_count_64() {
    const auto system = system_function<ULONGLONG(WINAPI*)()>("kernel32.dll", "GetTickCount64");
    if (system) return system();
    // XP: milliseconds from the performance counter, which does not wrap as
    // GetTickCount does after 49.7 days.
    LARGE_INTEGER count, frequency;
    QueryPerformanceCounter(&count);
    QueryPerformanceFrequency(&frequency);
    const auto ticks = ULONGLONG(count.QuadPart), per_second = ULONGLONG(frequency.QuadPart);
    return ticks / per_second * 1000 + ticks % per_second * 1000 / per_second;
}

} // namespace

// The name the library's call goes through; defined here, the linker takes no
// kernel32 import for it.
extern "C" ULONGLONG(WINAPI* korvel_tick_count_64_slot)() __asm__("__imp__GetTickCount64@0");
ULONGLONG(WINAPI* korvel_tick_count_64_slot)() = tick_count_64;
