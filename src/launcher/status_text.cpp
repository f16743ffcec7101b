#include "launcher/status_text.h"

#include "util/text_util.h"
#include "launcher/launcher_messages.h"

StatusText ComposeStatusText(const LauncherStatusSnapshot& s) {
    StatusText t;
    if (s.state == STATE_CHECK_UPDATER || s.state == STATE_RUN_UPDATER) return t;
    t.showBars = s.state != STATE_IDLE;
    t.showLabels = true;
    switch (s.state) {
        case STATE_GET_FILE_LIST:
            t.line1 = GetLauncherMessage(34);
            break;
        case STATE_COMPARE_LISTS:
            t.line2 = text::FormatW(GetLauncherMessage(38), s.currentFile.c_str());
            break;
        case STATE_IDLE:
            if (s.buttonsEnabled) {
                t.readyText = GetLauncherMessage(32);
                t.showLabels = false;
            } else {
                t.line2 = text::FormatW(GetLauncherMessage(41), s.currentFile.c_str());
            }
            break;
        default:
            // %d takes an int: whole megabytes of a 64-bit total fit one.
            t.line1 = text::FormatW(GetLauncherMessage(33), static_cast<int>(s.totalRecv / 1000000),
                                    static_cast<int>(s.totalSize / 1000000));
            t.line2 = text::FormatW(GetLauncherMessage(38), s.currentFile.c_str());
            break;
    }
    return t;
}
