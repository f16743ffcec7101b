#pragma once
// What every front-end does when the launcher stops during construction.
#include "launcher/game_launcher_dlg.h"

// The process exit status for a start-up that stops (1: another launcher
// runs, 2: the command line was refused), or -1 when start-up goes on.
inline int StartupExitStatus(CGameLauncherDlg::StartupResult result) {
    switch (result) {
        case CGameLauncherDlg::StartupResult::kAnotherInstance:
            return 1;
        case CGameLauncherDlg::StartupResult::kBadCommandLine:
            return 2;
        case CGameLauncherDlg::StartupResult::kOk:
            break;
    }
    return -1;
}
