// The crash prompt on Windows: a Yes/No MessageBoxW, asked by the helper.
// The crashed launcher's window is minimised while the box is up. Its
// thread may be the one that crashed and waits for the helper, so the window
// is neither the box's owner nor sent anything that waits for an answer: it
// is minimised and restored with ShowWindowAsync.
#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <cstring>

#include "services/crash/crash_prompt.h"
#include "services/crash/win/crash_prompt_owner_win.h"

namespace {
std::atomic<HWND> g_owner{nullptr};

using MessageBoxFn = int(WINAPI*)(HWND, LPCWSTR, LPCWSTR, UINT);
using PlacementFn = BOOL(WINAPI*)(HWND, WINDOWPLACEMENT*);
using ShowAsyncFn = BOOL(WINAPI*)(HWND, int);

template <typename Fn>
Fn Lookup(HMODULE module, const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}
}  // namespace

void SetCrashPromptOwner(HWND owner) {
    g_owner.store(owner);
}

int ShowCrashPrompt(const std::wstring& caption, const std::wstring& text) {
    if (const char* scripted = std::getenv("QUON_CRASH_PROMPT_ANSWER")) {
        if (std::strcmp(scripted, "yes") == 0) return kCrashPromptYes;
        if (std::strcmp(scripted, "no") == 0) return kCrashPromptNo;
    }
    const HMODULE user32 = LoadLibraryW(L"user32.dll");
    if (!user32) return 0;
    const auto messageBox = Lookup<MessageBoxFn>(user32, "MessageBoxW");
    if (!messageBox) return 0;
    const auto getPlacement = Lookup<PlacementFn>(user32, "GetWindowPlacement");
    const auto showAsync = Lookup<ShowAsyncFn>(user32, "ShowWindowAsync");
    const HWND owner = g_owner.load();
    WINDOWPLACEMENT placement{};
    placement.length = sizeof placement;
    const bool minimised = owner && getPlacement && showAsync && getPlacement(owner, &placement) &&
                           showAsync(owner, SW_MINIMIZE);
    const int answer = messageBox(nullptr, text.c_str(), caption.c_str(), MB_YESNO);
    if (minimised) showAsync(owner, static_cast<int>(placement.showCmd));
    return answer;
}
