// Program start through ShellExecuteW, whose result is the contract.

// <windows.h> first: the other system headers build on it.
// clang-format off
#include <windows.h>
#include <shellapi.h>
// clang-format on

#include "os/process.h"

int StartProgram(const std::wstring& file, const std::wstring& parameters, const std::wstring& workingFolder,
                 const std::string&, std::wstring*) {
    // Windows runs its programs itself: no runner is needed.
    const auto result = reinterpret_cast<INT_PTR>(
        ShellExecuteW(nullptr, L"open", file.c_str(), parameters.empty() ? nullptr : parameters.c_str(),
                      workingFolder.empty() ? nullptr : workingFolder.c_str(), SW_SHOWNORMAL));
    return result > 32 ? 33 : static_cast<int>(result);
}

bool MakeExecutable(const std::wstring&) {
    // A Windows program runs by its name; there is no bit to set.
    return true;
}
