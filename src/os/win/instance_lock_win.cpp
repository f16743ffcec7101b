// The single-instance lock as a named mutex in the user's session: only the
// name's existence matters, and the system drops it when the last handle
// goes, which a process that dies closes too.
#include <windows.h>

#include "os/process.h"

namespace {

class MutexInstanceLock : public InstanceLock {
public:
    explicit MutexInstanceLock(HANDLE mutex) : m_mutex(mutex) {}
    ~MutexInstanceLock() override {
        if (m_mutex) CloseHandle(m_mutex);
    }
    MutexInstanceLock(const MutexInstanceLock&) = delete;
    MutexInstanceLock& operator=(const MutexInstanceLock&) = delete;

private:
    HANDLE m_mutex;  // null: no mutex could be made; the launcher runs unguarded
};

}  // namespace

std::unique_ptr<InstanceLock> InstanceLock::TryAcquire(const std::wstring& name) {
    const HANDLE mutex = CreateMutexW(nullptr, TRUE, name.c_str());
    if (!mutex) {
        // Access denied: another launcher holds the name at a higher level.
        // Anything else must not keep the player out for good.
        if (GetLastError() == ERROR_ACCESS_DENIED) return nullptr;
        return std::make_unique<MutexInstanceLock>(nullptr);
    }
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(mutex);
        return nullptr;
    }
    // Ownership is not what guards; the open handle is.
    ReleaseMutex(mutex);
    return std::make_unique<MutexInstanceLock>(mutex);
}

bool IsInstanceLockHeld(const std::wstring& name) {
    const HANDLE mutex = OpenMutexW(SYNCHRONIZE, FALSE, name.c_str());
    if (mutex) {
        CloseHandle(mutex);
        return true;
    }
    return GetLastError() == ERROR_ACCESS_DENIED;
}
