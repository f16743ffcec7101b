#pragma once
// The Win32 front-end: the skinned window on a Windows desktop.
#include <string>
#include <vector>

struct LauncherConfig;

// Whether this process can show a window: not under Wine without an X
// display, say, where window creation fails.
bool CanShowWin32Window();
// Runs the launcher in its window; the process exit status as RunLauncher's.
int RunWin32Launcher(std::vector<std::wstring> arguments, const LauncherConfig& config);
