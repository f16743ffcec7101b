// The crash handler's entry points in the Windows build. Its Windows hooks
// (an unhandled-exception filter and dbghelp's minidump) are not written
// yet: until they are, the handler keeps its report mode and installs no
// hook, and a crash ends the launcher as Windows ends any program.
#include <cstdlib>
#include <cstring>

#include "services/crash/exception_handler.h"

void ExceptionHandler::Install() {
    SetReportMode(CRASH_REPORT_DUMP_ONLY);
    const char* mode = std::getenv("QUON_CRASH_REPORT_MODE");
    if (mode && std::strcmp(mode, "upload") == 0) SetReportMode(CRASH_REPORT_UPLOAD);
}

void ExceptionHandler::PrepareCurrentThread() {}

bool ExceptionHandler::RunHelperIfRequested(int&) {
    return false;
}
