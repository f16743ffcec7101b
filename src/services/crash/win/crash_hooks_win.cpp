// The crashed process's side on Windows: the hooks record the crash in
// static memory, start the helper (this executable again, in helper mode),
// wait for it and end. Little stack and no heap from the moment of the
// crash: the hook may run on the last pages of an overflowed stack.
#include <windows.h>

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <exception>

#include "os/thread_start.h"
#include "services/crash/crash_hooks.h"
#include "services/crash/win/crash_request_win.h"

namespace {
// What a thread keeps for the handler after its stack overflowed: enough
// to start the helper and wait for it.
constexpr ULONG kStackGuarantee = 64 * 1024;
// abort() and std::terminate raise no exception; the dump names them as
// the system names a program that ended itself on a fatal error.
constexpr DWORD kStatusFatalAppExit = 0x40000015;
constexpr DWORD kStatusNoncontinuable = 0xC0000025;
constexpr int kAbortExitCode = 3;  // the runtime's abort()

// Kept, never called.
LPTOP_LEVEL_EXCEPTION_FILTER g_previousFilter = nullptr;
_invalid_parameter_handler g_previousInvalidParameter = nullptr;
_purecall_handler g_previousPureCall = nullptr;
std::terminate_handler g_previousTerminate = nullptr;

std::atomic<bool> g_installed{false};
std::atomic<DWORD> g_handlingThread{0};

// Static storage: nothing of it lives on the crashed stack.
CrashRequest g_request;
EXCEPTION_RECORD g_record;
CONTEXT g_context;
EXCEPTION_POINTERS g_pointers;
CrashAssertion g_assertion;
wchar_t g_exe[MAX_PATH * 4];
wchar_t g_commandLine[MAX_PATH * 4 + 3];
wchar_t g_variable[48];

// "<process id>:<address in hex>" without the C library.
void FormatHelperVariable(DWORD process, uint64_t address) {
    wchar_t digits[24];
    size_t n = 0, d = 0;
    do digits[d++] = static_cast<wchar_t>(L'0' + process % 10);
    while ((process /= 10) != 0);
    while (d > 0) g_variable[n++] = digits[--d];
    g_variable[n++] = L':';
    do digits[d++] = L"0123456789abcdef"[address & 15];
    while ((address >>= 4) != 0);
    while (d > 0) g_variable[n++] = digits[--d];
    g_variable[n] = L'\0';
}

// Starts the helper and waits for its answer; kCrashNotHandled when it could
// not start or ended otherwise.
DWORD AskHelper() {
    const DWORD length = GetModuleFileNameW(nullptr, g_exe, MAX_PATH * 4);
    if (length == 0 || length >= MAX_PATH * 4) return kCrashNotHandled;
    // The command line is the quoted program alone.
    g_commandLine[0] = L'"';
    for (DWORD i = 0; i < length; ++i) g_commandLine[i + 1] = g_exe[i];
    g_commandLine[length + 1] = L'"';
    g_commandLine[length + 2] = L'\0';
    FormatHelperVariable(GetCurrentProcessId(), reinterpret_cast<uint64_t>(&g_request));
    // The helper inherits the environment and the current folder, where the
    // dump goes.
    if (!SetEnvironmentVariableW(kCrashHelperVariable, g_variable)) return kCrashNotHandled;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION helper{};
    const BOOL started =
        CreateProcessW(g_exe, g_commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &helper);
    SetEnvironmentVariableW(kCrashHelperVariable, nullptr);
    if (!started) return kCrashNotHandled;
    CloseHandle(helper.hThread);
    DWORD answer = kCrashNotHandled;
    if (WaitForSingleObject(helper.hProcess, INFINITE) != WAIT_OBJECT_0 ||
        !GetExitCodeProcess(helper.hProcess, &answer))
        answer = kCrashNotHandled;
    CloseHandle(helper.hProcess);
    return answer;
}

using GetWindowFn = HWND(WINAPI*)(void);
using GetPopupFn = HWND(WINAPI*)(HWND);

// The crashed thread's active window and its last active popup, which the
// helper minimises while it asks. Only a user32 that is loaded already is
// asked: loading a library now could wait for a lock the crash holds.
uint64_t OwnerWindow() {
    const HMODULE user32 = GetModuleHandleW(L"user32.dll");
    if (!user32) return 0;
    const auto active =
        reinterpret_cast<GetWindowFn>(reinterpret_cast<void*>(GetProcAddress(user32, "GetActiveWindow")));
    const auto popup =
        reinterpret_cast<GetPopupFn>(reinterpret_cast<void*>(GetProcAddress(user32, "GetLastActivePopup")));
    HWND owner = active ? active() : nullptr;
    if (owner && popup) owner = popup(owner);
    return reinterpret_cast<uint64_t>(owner);
}

void FillRequest(CrashKind kind, EXCEPTION_POINTERS* pointers) {
    g_request.magic = kCrashRequestMagic;
    g_request.kind = kind;
    g_request.thread = GetCurrentThreadId();
    g_request.reportMode = ExceptionHandler::GetReportMode();
    g_request.code = pointers->ExceptionRecord->ExceptionCode;
    g_request.address = reinterpret_cast<uint64_t>(pointers->ExceptionRecord->ExceptionAddress);
    g_request.pointers = reinterpret_cast<uint64_t>(pointers);
    g_request.owner = OwnerWindow();
    g_request.prompt = CurrentCrashPromptTexts();
}

// One crash is reported per process. False for a crash inside the report
// itself (the system then ends the process); another thread that crashes
// meanwhile waits for the end.
bool TakeCrash() {
    DWORD expected = 0;
    const DWORD self = GetCurrentThreadId();
    if (g_handlingThread.compare_exchange_strong(expected, self)) return true;
    if (expected == self) return false;
    for (;;) Sleep(INFINITE);
}

LONG WINAPI OnUnhandledException(EXCEPTION_POINTERS* pointers) {
    if (!TakeCrash()) return EXCEPTION_CONTINUE_SEARCH;
    FillRequest(CrashKind::kException, pointers);
    // Handled: the process ends quietly with the exception's code; otherwise
    // the system's own crash handling follows.
    return AskHelper() == kCrashHandled ? EXCEPTION_EXECUTE_HANDLER : EXCEPTION_CONTINUE_SEARCH;
}

// Outside an exception: a record made here, as if the exception had been
// raised at this point.
DWORD ReportFromHere(CrashKind kind, DWORD code) {
    if (!TakeCrash()) return kCrashNotHandled;
    RtlCaptureContext(&g_context);
    g_record.ExceptionCode = code;
    g_record.ExceptionFlags = EXCEPTION_NONCONTINUABLE;
    g_record.ExceptionAddress = reinterpret_cast<void*>(g_context.Rip);
    if (kind == CrashKind::kPureCall) {
        // The assertion record's expression and file texts, and its line.
        g_record.NumberParameters = 3;
        g_record.ExceptionInformation[0] = reinterpret_cast<ULONG_PTR>(g_assertion.expression);
        g_record.ExceptionInformation[1] = reinterpret_cast<ULONG_PTR>(g_assertion.file);
        g_record.ExceptionInformation[2] = g_assertion.line;
    }
    g_pointers.ExceptionRecord = &g_record;
    g_pointers.ContextRecord = &g_context;
    FillRequest(kind, &g_pointers);
    return AskHelper();
}

[[noreturn]] void AbortQuietly() {
    std::signal(SIGABRT, SIG_DFL);
    std::abort();
}

void OnAbort(int) {
    if (ReportFromHere(CrashKind::kAbort, kStatusFatalAppExit) == kCrashHandled)
        TerminateProcess(GetCurrentProcess(), kAbortExitCode);
    AbortQuietly();
}

[[noreturn]] void OnTerminate() {
    if (ReportFromHere(CrashKind::kAbort, kStatusFatalAppExit) == kCrashHandled)
        TerminateProcess(GetCurrentProcess(), kAbortExitCode);
    AbortQuietly();
}

// The runtime function that found the invalid parameter returns its error.
void OnInvalidParameter(const wchar_t*, const wchar_t*, const wchar_t*, unsigned, uintptr_t) {}

// The dump is written without asking; then the process aborts.
[[noreturn]] void OnPureCall() {
    ReportFromHere(CrashKind::kPureCall, kStatusNoncontinuable);
    AbortQuietly();
}
}  // namespace

// GCC's code calls this for a pure-virtual call; the runtime's own handler
// (_set_purecall_handler) serves code built by other compilers.
extern "C" [[noreturn]] void __cxa_pure_virtual() {
    if (!g_installed.load()) std::terminate();
    OnPureCall();
}

void InstallCrashHooks() {
    g_previousFilter = SetUnhandledExceptionFilter(OnUnhandledException);
    g_previousInvalidParameter = _set_invalid_parameter_handler(OnInvalidParameter);
    g_previousPureCall = _set_purecall_handler(OnPureCall);
    std::signal(SIGABRT, OnAbort);
    g_previousTerminate = std::set_terminate(OnTerminate);
    PrepareThreadForCrash();
    // Every thread the program starts from now on keeps stack for the handler.
    SetThreadPreparation(PrepareThreadForCrash);
    g_installed.store(true);
}

void PrepareThreadForCrash() {
    ULONG size = kStackGuarantee;
    SetThreadStackGuarantee(&size);
}
