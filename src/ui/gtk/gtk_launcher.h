#pragma once
// The GTK front-end: the skinned window on a desktop.
#include <string>
#include <vector>

struct LauncherConfig;

// Opens the display for GTK; false when there is none. Call before
// RunGtkLauncher.
bool InitGtkFrontEnd();
// Runs the launcher in its window; the process exit status as RunLauncher's.
int RunGtkLauncher(std::vector<std::wstring> arguments, const LauncherConfig& config);
