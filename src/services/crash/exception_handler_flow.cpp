// The handler's decisions, as the helper makes them for a crashed process.
#include <cstdlib>
#include <cstring>

#include "services/crash/exception_handler.h"
#include "services/crash/minidump_generator.h"
#include "services/crash_report/crash_report_upload.h"
#include "services/crash/crash_hooks.h"
#include "services/crash/crash_prompt.h"

namespace {
constexpr const wchar_t* kDumpFolder = L"\\dumps\\";

bool WriteDump(pid_t process, pid_t threadId, const CrashException* exception,
               const CrashAssertion* assertion, std::wstring* dumpPath) {
    MinidumpGenerator generator(kDumpFolder);
    return generator.WriteMinidump(process, threadId, threadId, exception, assertion, kMiniDumpNormal, true,
                                   dumpPath);
}
}  // namespace

void ExceptionHandler::Install() {
    // A helper that crashed would only start another helper.
    if (IsCrashHelperProcess()) return;
    SetReportMode(CRASH_REPORT_DUMP_ONLY);
    const char* mode = std::getenv("QUON_CRASH_REPORT_MODE");
    if (mode && std::strcmp(mode, "upload") == 0) SetReportMode(CRASH_REPORT_UPLOAD);
    InstallCrashHooks();
}

void ExceptionHandler::PrepareCurrentThread() {
    PrepareThreadForCrash();
}

bool ExceptionHandler::RunHelperIfRequested(int& status) {
    if (!IsCrashHelperProcess()) return false;
    status = RunCrashHelper();
    return true;
}

int ExceptionHandler::HandleException(pid_t process, pid_t threadId, const CrashException& exception) {
    if (GetReportMode() == CRASH_REPORT_DUMP_ONLY &&
        ShowCrashPrompt(GetCaption(), GetText()) != kCrashPromptYes)
        return 0;
    return WriteMinidumpWithException(process, threadId, &exception, nullptr) ? 1 : 0;
}

bool ExceptionHandler::WriteMinidumpWithException(pid_t process, pid_t threadId,
                                                  const CrashException* exception,
                                                  const CrashAssertion* assertion) {
    const int32_t mode = GetReportMode();
    if (mode == CRASH_REPORT_DUMP_ONLY) return WriteDump(process, threadId, exception, assertion, nullptr);
    if (mode != CRASH_REPORT_UPLOAD) return true;
    std::wstring dumpName;
    if (!WriteDump(process, threadId, exception, assertion, &dumpName)) return false;
    // A prompt that could not be shown at all does not stop the report.
    if (ShowCrashPrompt(GetCaption(), GetText()) == kCrashPromptNo) return false;
    return UploadCrashReport(dumpName);
}
