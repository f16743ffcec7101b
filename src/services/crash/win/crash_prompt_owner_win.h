#pragma once
// The window the crash prompt minimises while it asks: the crashed
// process's active window, which the helper learns from the crash request.
#include <windows.h>

void SetCrashPromptOwner(HWND owner);
