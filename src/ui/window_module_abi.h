#pragma once
// The contract between the launcher executable and its window module, a
// shared object built into the executable and loaded only when the window is
// wanted, so that a launcher without a window never maps GTK and WebKit.
//
// The module calls straight into the engine the executable exports, so the
// two must come from the same build: both carry the same build id, a hash of
// the libraries they were made from, compared once the module is loaded.
#include <string>
#include <vector>

struct LauncherConfig;

// The exported symbol that hands over the entry table.
inline constexpr char kWindowModuleEntrySymbol[] = "QuonWindowModuleEntry";

struct WindowModuleEntry {
    const char* buildId;  // QUON_BUILD_ID of the module's build
    // Opens the display for GTK; false when there is none.
    bool (*initDisplay)();
    // Runs the launcher in its window; the process exit status as RunLauncher's.
    int (*run)(std::vector<std::wstring>& arguments, const LauncherConfig& config);
};

using WindowModuleEntryFunction = const WindowModuleEntry* (*)();
