// The real question on a display (Wine on a private Xvfb): a MessageBoxW
// with the launcher's caption and text; Yes writes the dump, No nothing.
#include <windows.h>

#include "integration/crash/crash_fixture.h"
#include "support/scoped_env.h"

namespace {

TEST(CrashPromptWinTest, TheBoxAsksWithTheLaunchersTextsAndOnlyYesWritesTheDump) {
    ScopedEnv unscripted("QUON_CRASH_PROMPT_ANSWER", std::nullopt);
    // After No the system's crash handling follows: on a display Wine's
    // would ask again, in a box of its own.
    const DWORD off = 0;
    RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\Wine\\WineDbg", L"ShowCrashDialog", REG_DWORD, &off,
                    sizeof off);
    for (const int button : {IDYES, IDNO}) {
        TempDir folder;
        ChildProcess run({CrashProgramPath("crash_victim"), "null"}, folder.path());
        HWND box = nullptr;
        WaitUntil([&] { return (box = FindWindowW(L"#32770", L"Notice")) != nullptr; }, 60000);
        wchar_t shown[128] = {};
        GetDlgItemTextW(box, 0xFFFF, shown, 128);  // a message box's text
        PostMessageW(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
        EXPECT_EQ(std::wstring(shown), L"An error has occurred.\nDo you record error?");
        EXPECT_EQ(Ending(run), CrashEnding("null", button == IDYES));
        EXPECT_EQ(ListDumps(folder.path()).size(), button == IDYES ? 1u : 0u);
    }
}

}  // namespace
