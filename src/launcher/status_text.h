#pragma once
// What the window writes in its status area for a given moment; shared by
// every front-end so that they all say the same.
#include <string>

#include "launcher/game_launcher_dlg.h"

struct StatusText {
    std::wstring line1;      // upper status line
    std::wstring line2;      // lower status line
    std::wstring readyText;  // only in the ready condition; then nothing else shows
    bool showLabels = false; // "Total size" / "Receiving file"
    bool showBars = false;
};

// Nothing is drawn in the two updater states (the bare window).
StatusText ComposeStatusText(const LauncherStatusSnapshot& snapshot);
