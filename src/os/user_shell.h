#pragma once
// The user's desktop and application-menu folders and the shortcuts in them.
#include <string>

std::wstring GetDesktopFolder();
std::wstring GetApplicationsFolder();

// Rewrites the desktop entry at `path` so that it starts `targetExecutable`
// (no arguments) and shows its icon. Failures are not reported.
// The name of the launcher's shortcut in those folders ("Quon.lnk" on
// Windows, "Quon.desktop" on Linux).
std::wstring ShortcutFileName();
void WriteShortcutFile(const std::wstring& path, const std::wstring& targetExecutable);
