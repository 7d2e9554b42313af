#pragma once

#include "engine/win32.h"

// The procedure of the main dialog, "IDD_TMP".
INT_PTR CALLBACK dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
