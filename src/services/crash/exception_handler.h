#pragma once
// The process-wide crash handler. One object with static storage installs the
// crash hooks before the program's own start-up code runs. A crash asks the
// player the crash prompt and writes a minidump into the current folder; in
// the upload mode the dump is written first and then reported.
//
// The crashed process only hands the crash over: the prompt, the dump and
// the report run in a helper, the same executable started again in helper
// mode (see RunHelperIfRequested).
#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

#include "services/crash/process_snapshot.h"

enum CrashReportMode : int32_t { CRASH_REPORT_UPLOAD = 0, CRASH_REPORT_DUMP_ONLY = 1 };

// What the crash was, as the crashed thread saw it.
struct CrashException {
    uint32_t code = 0;  // the signal number (Linux), the exception code (Windows)
    uint64_t address = 0;
    std::vector<uint64_t> parameters;
    Amd64Registers registers;  // at the moment of the crash (Linux)
    // Where the crashed process holds its EXCEPTION_POINTERS (Windows: the
    // dump reads the record from there); 0 when not given.
    uint64_t pointers = 0;
};

// The assertion record of a pure-virtual call (not written into the dump).
struct CrashAssertion {
    wchar_t expression[128] = {};
    wchar_t function[128] = {};
    wchar_t file[128] = {};
    uint32_t line = 0;
    uint32_t type = 0;
};

class ExceptionHandler {
public:
    ExceptionHandler() { Install(); }
    ~ExceptionHandler() {}

    // Installs the hooks: on Linux SIGSEGV, SIGBUS, SIGFPE, SIGILL and
    // SIGABRT on an alternate signal stack; on Windows the unhandled-exception
    // filter, the invalid-parameter handler and SIGABRT; on both the
    // pure-virtual-call hook and std::terminate.
    // Sets the report mode to dump-only, unless QUON_CRASH_REPORT_MODE=upload
    // asks for the upload mode. Does nothing in a crash helper.
    static void Install();
    // Keeps stack for the handler on the calling thread (Linux: an alternate
    // signal stack, freed when the thread ends; Windows: a stack guarantee),
    // so that a stack overflow in it still reaches the handler. Every thread
    // the program starts calls it first.
    static void PrepareCurrentThread();

    static void SetMessage(const std::wstring& caption, const std::wstring& text);
    static std::wstring GetCaption();
    static std::wstring GetText();

    static int32_t GetReportMode();
    static void SetReportMode(int32_t mode);

    // In a process started as a crash helper: handles the crash it was started
    // for, then returns true with the helper's exit status in `status`.
    // Otherwise false at once. main() calls it before anything else.
    static bool RunHelperIfRequested(int& status);

    // Helper side. The filter: 1 when the crash was handled and the crashed
    // process ends quietly, 0 when its default crash handling follows.
    static int HandleException(pid_t process, pid_t threadId, const CrashException& exception);
    // The handler's work for the report mode; true means "handled".
    static bool WriteMinidumpWithException(pid_t process, pid_t threadId, const CrashException* exception,
                                           const CrashAssertion* assertion);
};

// The prompt texts as fixed buffers that a signal handler may read.
struct CrashPromptTexts {
    wchar_t caption[260];
    wchar_t text[260];
};
const CrashPromptTexts& CurrentCrashPromptTexts();
