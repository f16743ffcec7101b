#include "support/win/program_run_win.h"

#include <windows.h>

#include "util/text_util.h"

namespace {
// The test's environment with `env` set over it (an empty value removes).
std::wstring EnvironmentBlock(const std::map<std::string, std::string>& env) {
    std::map<std::wstring, std::wstring> all;
    wchar_t* strings = GetEnvironmentStringsW();
    for (const wchar_t* at = strings; *at; at += wcslen(at) + 1) {
        const std::wstring entry = at;
        const size_t equals = entry.find(L'=', 1);
        if (equals != std::wstring::npos) all[entry.substr(0, equals)] = entry.substr(equals + 1);
    }
    FreeEnvironmentStringsW(strings);
    for (const auto& [name, value] : env) {
        if (value.empty())
            all.erase(text::FromUtf8(name));
        else
            all[text::FromUtf8(name)] = text::FromUtf8(value);
    }
    std::wstring block;
    for (const auto& [name, value] : all) block += name + L"=" + value + L'\0';
    return block + L'\0';
}
}  // namespace

long long RunWindowsProgram(const std::string& program, const std::vector<std::string>& args,
                            const std::string& folder, const std::map<std::string, std::string>& env,
                            int timeoutMs) {
    std::wstring line = L"\"" + text::FromUtf8(program) + L"\"";
    for (const std::string& arg : args) line += L" \"" + text::FromUtf8(arg) + L"\"";
    std::wstring block = EnvironmentBlock(env);
    const std::wstring where = text::FromUtf8(folder);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_UNICODE_ENVIRONMENT,
                        block.data(), where.c_str(), &startup, &process))
        return -1;
    CloseHandle(process.hThread);
    DWORD code = 0;
    if (WaitForSingleObject(process.hProcess, static_cast<DWORD>(timeoutMs)) != WAIT_OBJECT_0) {
        TerminateProcess(process.hProcess, 1);
        WaitForSingleObject(process.hProcess, 10000);
        CloseHandle(process.hProcess);
        return -1;
    }
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hProcess);
    return code;
}
