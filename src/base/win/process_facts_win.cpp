#include <windows.h>

#include <cstring>

#include "base/process_facts.h"
#include "base/win/win_path.h"

namespace fsys {

long CurrentThreadId() {
    return static_cast<long>(GetCurrentThreadId());
}

std::tm LocalTime(std::time_t when) {
    std::tm local{};
    localtime_s(&local, &when);
    return local;
}

std::string SystemErrorText(int error) {
    // The C run-time's texts, as a Windows program shows them; it has none
    // for the link loop the file service reports.
    if (error == ELOOP) return "Too many levels of symbolic links";
    wchar_t buf[512];
    if (_wcserror_s(buf, sizeof(buf) / sizeof(buf[0]), error) != 0) return "Unknown error";
    return win::Utf8(buf);
}

bool IsNoSpaceError(int error) {
    // Windows reports a full disk and a full quota alike (ENOSPC).
    return error == ENOSPC || error == EFBIG;
}

void BreakIntoDebugger() {
    DebugBreak();
}

}  // namespace fsys
