#pragma once
// Runs the crash programs under Windows (Wine) in a fresh folder with a
// scripted answer, and names their dumps.
#include <windows.h>

#include "support/test_common.h"
#include "support/win/program_run_win.h"

// A program beside the test's own executable.
inline std::string ProgramBesideTest(const std::string& name) {
    wchar_t self[MAX_PATH];
    const std::filesystem::path path(std::wstring(self, GetModuleFileNameW(nullptr, self, MAX_PATH)));
    return text::ToUtf8((path.parent_path() / text::FromUtf8(name)).wstring());
}

inline long long RunCrash(const std::string& folder, const std::string& mode, const std::string& answer,
                          std::map<std::string, std::string> env = {}) {
    env["QUON_CRASH_PROMPT_ANSWER"] = answer;
    return RunWindowsProgram(ProgramBesideTest("crash_victim.exe"), {mode}, folder, env);
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
