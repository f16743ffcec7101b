// The helper's side on Windows: a fresh process of the same executable,
// started by a crashed one. It reads the crash request out of the crashed
// process, lets the exception handler prompt and write the dump (dbghelp
// reads the crashed process), and answers with its exit code.
#include <windows.h>

#include <cstdlib>
#include <string>

#include "services/crash/crash_hooks.h"
#include "services/crash/win/crash_prompt_owner_win.h"
#include "services/crash/win/crash_request_win.h"

namespace {
// "<process id>:<address in hex>"; false when the text is not that.
bool ParseHelperVariable(const std::wstring& value, DWORD& process, uint64_t& address) {
    const size_t colon = value.find(L':');
    if (colon == std::wstring::npos || colon == 0 || colon + 1 == value.size()) return false;
    wchar_t* end = nullptr;
    process = std::wcstoul(value.c_str(), &end, 10);
    if (end != value.c_str() + colon) return false;
    address = std::wcstoull(value.c_str() + colon + 1, &end, 16);
    return *end == L'\0';
}

bool ReadRequest(DWORD process, uint64_t address, CrashRequest& request) {
    const HANDLE handle = OpenProcess(PROCESS_VM_READ | PROCESS_QUERY_INFORMATION, FALSE, process);
    if (!handle) return false;
    SIZE_T read = 0;
    const BOOL ok =
        ReadProcessMemory(handle, reinterpret_cast<const void*>(address), &request, sizeof request, &read);
    CloseHandle(handle);
    return ok && read == sizeof request && request.magic == kCrashRequestMagic;
}
}  // namespace

bool IsCrashHelperProcess() {
    return GetEnvironmentVariableW(kCrashHelperVariable, nullptr, 0) != 0;
}

int RunCrashHelper() {
    wchar_t value[64] = {};
    const DWORD length = GetEnvironmentVariableW(kCrashHelperVariable, value, 64);
    SetEnvironmentVariableW(kCrashHelperVariable, nullptr);
    DWORD process = 0;
    uint64_t address = 0;
    CrashRequest request{};
    if (length == 0 || length >= 64 || !ParseHelperVariable(value, process, address) ||
        !ReadRequest(process, address, request))
        return static_cast<int>(kCrashNotHandled);
    request.prompt.caption[259] = request.prompt.text[259] = L'\0';
    ExceptionHandler::SetMessage(request.prompt.caption, request.prompt.text);
    ExceptionHandler::SetReportMode(request.reportMode);
    SetCrashPromptOwner(reinterpret_cast<HWND>(request.owner));

    CrashException exception;
    exception.code = request.code;
    exception.address = request.address;
    exception.pointers = request.pointers;
    const auto pid = static_cast<pid_t>(process);
    const auto thread = static_cast<pid_t>(request.thread);
    bool handled;
    if (request.kind == CrashKind::kPureCall) {
        CrashAssertion assertion;
        handled = ExceptionHandler::WriteMinidumpWithException(pid, thread, &exception, &assertion);
    } else {
        handled = ExceptionHandler::HandleException(pid, thread, exception) == 1;
    }
    return static_cast<int>(handled ? kCrashHandled : kCrashNotHandled);
}
