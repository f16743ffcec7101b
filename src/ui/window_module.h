#pragma once
// Finds and loads the window module of this very build.
#include <string>

#include "ui/window_module_abi.h"

// The module's file name beside the executable.
const char* WindowModuleFileName();

// Loads the window module from `folder` (the executable's, with a trailing
// "/"; never the current folder or a search path). nullptr when it is
// missing, damaged, from another build or cannot be loaded; `why` then says
// which, in a sentence that names the file.
const WindowModuleEntry* LoadWindowModule(const std::string& folder, std::string& why);
