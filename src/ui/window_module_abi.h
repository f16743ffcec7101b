#pragma once
// The contract between the launcher executable and its window module, a
// shared object beside it that is loaded only when the window is wanted, so
// that a launcher without a window never maps GTK and WebKit.
//
// The module calls straight into the engine the executable exports, so the
// two must come from the same build: both carry the same build id, a hash of
// the libraries they were made from. The module keeps it in a section of its
// own, which the executable reads from the file before loading any code.
#include <string>
#include <vector>

// The ELF section that holds the module's build id (text, no terminator
// needed) and the exported symbol that hands over the entry table.
inline constexpr char kWindowModuleIdSection[] = ".quon_build_id";
inline constexpr char kWindowModuleEntrySymbol[] = "QuonWindowModuleEntry";

struct WindowModuleEntry {
    const char* buildId;  // the same text as in the section, for a check after loading
    // Opens the display for GTK; false when there is none.
    bool (*initDisplay)();
    // Runs the launcher in its window; the process exit status as RunLauncher's.
    int (*run)(std::vector<std::wstring>& arguments);
};

using WindowModuleEntryFunction = const WindowModuleEntry* (*)();
