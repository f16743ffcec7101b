#pragma once
// The updater stand-in's per-OS parts.
#include <string>

// Runs the launcher in this process's place with `argument` and
// "FromUpdater"; returns (4) only when it cannot, or on Windows, where no
// process takes another's place, the launcher's exit status.
int BecomeLauncher(const std::string& argument);

// The portable main: the number of arguments (the program's name counted)
// and the first one in UTF-8.
int UpdaterMain(int argc, const std::string& argument);
