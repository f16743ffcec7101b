#pragma once
// The game client and its updater are Windows programs; on Linux they run
// through Wine.
#include <string>

// True when the file is a PE image ("MZ", then "PE\0\0" where the DOS header
// points). A missing or unreadable file is not one.
bool IsWindowsProgram(const std::string& path);

// The program that runs Windows programs: `named` (a path, or a name looked
// up on the PATH) or, when it is empty, "wine" on the PATH. Empty when there
// is none that can be executed.
std::string FindWindowsRunner(const std::string& named);
