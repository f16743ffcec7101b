#pragma once
// The video option dialog in the Win32 front-end.
#include <windows.h>

#include "os/display_modes.h"

// Shows the video option dialog (template 189 of the executable's resources)
// modally over `owner`, which stays disabled while it is open; returns when
// Ok, Cancel or the close button ended it.
void RunWin32OptionDialog(HWND owner, DisplayModeSource& modes);
