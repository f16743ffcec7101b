#include <windows.h>

#include <cstdio>

#include "launcher_start.h"
#include "util/text_util.h"

int BecomeLauncher(const std::string& argument) {
    fflush(nullptr);
    // The argument is the launcher's own word ("NOT_USE_ARG1"): no quoting.
    std::wstring line = L"QuonLauncher.exe " + text::FromUtf8(argument) + L" FromUpdater";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(L"QuonLauncher.exe", line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                        &process))
        return 4;
    CloseHandle(process.hThread);
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 4;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hProcess);
    return static_cast<int>(code);
}

int wmain(int argc, wchar_t** argv) {
    return UpdaterMain(argc, argc > 1 ? text::ToUtf8(argv[1]) : "");
}
