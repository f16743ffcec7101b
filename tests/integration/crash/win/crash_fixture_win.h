#pragma once
// Runs the crash programs under Windows (Wine) in a fresh folder with a
// scripted answer, and names their dumps.
#include <windows.h>

#include "support/scoped_env.h"
#include "support/test_common.h"

// A program beside the test.
inline std::filesystem::path BesideTest(const wchar_t* name) {
    wchar_t self[MAX_PATH];
    return std::filesystem::path(std::wstring(self, GetModuleFileNameW(nullptr, self, MAX_PATH)))
               .parent_path() /
           name;
}

// Runs `exe` in `folder` with the test's environment, calls `meanwhile` with
// its process, and waits; its exit code, -1 when it did not end.
inline long long RunProgram(const std::filesystem::path& exe, const std::wstring& args,
                            const std::string& folder, const std::function<void(HANDLE)>& meanwhile = {}) {
    std::wstring line = L"\"" + exe.wstring() + L"\" " + args;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        text::FromUtf8(folder).c_str(), &startup, &process))
        return -1;
    if (meanwhile) meanwhile(process.hProcess);
    DWORD code = 0;
    if (WaitForSingleObject(process.hProcess, 120000) != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 1);
    const bool ended = GetExitCodeProcess(process.hProcess, &code) && code != STILL_ACTIVE;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return ended ? code : -1;
}

// crash_victim.exe with the scripted answer and these additions to the
// test's environment.
inline long long RunCrash(const std::string& folder, const std::string& mode, const std::string& answer,
                          const std::map<std::string, std::string>& env = {}) {
    std::vector<std::unique_ptr<ScopedEnv>> scoped;
    scoped.push_back(std::make_unique<ScopedEnv>("QUON_CRASH_PROMPT_ANSWER", answer));
    for (const auto& [name, value] : env) scoped.push_back(std::make_unique<ScopedEnv>(name.c_str(), value));
    return RunProgram(BesideTest(L"crash_victim.exe"), text::FromUtf8(mode), folder);
}

inline std::vector<std::string> ListDumps(const std::string& folder) {
    std::vector<std::string> dumps;
    for (const auto& [name, content] : FolderTree(folder, false, false))
        if (name.ends_with(".dmp")) dumps.push_back(name);
    return dumps;
}

// "crash_victim(crashed)_2026-12-8-7-5-9.dmp" for that local second.
inline std::string ExpectedDumpName(time_t when) {
    const std::tm t = *std::localtime(&when);
    std::string name = "crash_victim(crashed)_";
    for (int n : {t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec})
        name += std::to_string(n) + "-";
    name.back() = '.';
    return name + "dmp";
}
