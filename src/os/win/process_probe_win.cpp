// The game-client probe: a window of the client's class, or a process of
// the client's name in this session.

// <windows.h> first: the other system headers build on it.
// clang-format off
#include <windows.h>
#include <tlhelp32.h>
// clang-format on

#include "os/process.h"

namespace {

bool IsProcessRunningInSession(const std::wstring& name) {
    DWORD session = 0;
    if (!ProcessIdToSessionId(GetCurrentProcessId(), &session)) return false;
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return false;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    bool found = false;
    for (BOOL more = Process32FirstW(snapshot, &entry); more && !found;
         more = Process32NextW(snapshot, &entry)) {
        DWORD theirs = 0;
        found = CompareStringOrdinal(entry.szExeFile, -1, name.c_str(), -1, TRUE) == CSTR_EQUAL &&
                ProcessIdToSessionId(entry.th32ProcessID, &theirs) && theirs == session;
    }
    CloseHandle(snapshot);
    return found;
}

}  // namespace

bool IsProgramRunning(const std::wstring& processName, const std::wstring& windowClass) {
    if (FindWindowW(windowClass.c_str(), nullptr)) return true;
    return IsProcessRunningInSession(processName);
}
