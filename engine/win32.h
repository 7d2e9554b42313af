// The one place the Windows headers are taken in, with the same settings everywhere: the
// file layer's Windows half first, and the dialog above it.
#pragma once

#ifndef STRICT
#define STRICT
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

// A call that only newer versions of Windows have, looked up at run time so that the
// program still starts on XP; null where the system lacks it.
template <typename Function> Function system_function(const char* module, const char* name) {
    // Through void*: FARPROC has no parameters of its own to match.
    return reinterpret_cast<Function>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA(module), name)));
}
