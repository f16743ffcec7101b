#pragma once
// Processes: the single-instance lock, the game-client probe and starting a
// program with ShellExecute's result contract.
#include <memory>
#include <string>

// A per-user lock that the OS releases when the process dies. Null when
// another process of this user holds it.
class InstanceLock {
public:
    virtual ~InstanceLock() = default;
    static std::unique_ptr<InstanceLock> TryAcquire(const std::wstring& name);
};
// True while some process of this user holds the lock.
bool IsInstanceLockHeld(const std::wstring& name);

// True when a process of this user runs under `processName`, or when an X
// display is reachable and a window of class `windowClass` exists on it.
bool IsProgramRunning(const std::wstring& processName, const std::wstring& windowClass);

// Starts `file` (resolved in `workingFolder` when it has no folder) with the
// one argument `parameters`, detached, in `workingFolder`. Returns 33 when it
// started; otherwise ShellExecute's error code: 2 file missing, 3 folder
// missing, 5 access denied, 8 out of memory, 26 busy executable, 31 not an
// executable format, 0 for anything else.
// On Linux a Windows program runs through `windowsRunner` (a path or a name on
// the PATH; "wine" when empty) with the same argument and folder; when there is
// none the result is 2, as for a missing program, and `*why` says so.
int StartProgram(const std::wstring& file, const std::wstring& parameters, const std::wstring& workingFolder,
                 const std::string& windowsRunner = {}, std::wstring* why = nullptr);

// Adds the execute bits a downloaded program needs on Linux.
bool MakeExecutable(const std::wstring& path);
