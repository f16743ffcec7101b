#pragma once
// Loads the window module built into this very executable.
#include <string>

#include "ui/window_module_abi.h"

// The module's name: what its in-memory file is called in the memory map.
const char* WindowModuleFileName();

// Loads the window module from the image built into the executable. nullptr
// when it cannot be loaded or does not offer this build's window; `why` then
// says which, in a sentence.
const WindowModuleEntry* LoadWindowModule(std::string& why);
