// The FTP server under Wine: Wine starts a Unix program through
// CreateProcessW (python3 on the Linux side), passes its arguments as they
// are, but neither connects its standard output to a pipe nor gives a handle
// to wait on or end it. So the server prints to a file, and stops once its
// marker file is removed; both live where both sides see them, their Unix
// names given by Wine.
#include <windows.h>

#include "../ftp_server_fixture.h"

namespace {
using UnixNameFn = char*(CDECL*)(const wchar_t*);

std::string UnixName(const std::string& path) {
    const auto unixName = reinterpret_cast<UnixNameFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    char* name = unixName ? unixName(text::FromUtf8(path).c_str()) : nullptr;
    if (!name) return "";
    std::string result = name;
    HeapFree(GetProcessHeap(), 0, name);
    return result;
}
}  // namespace

struct FtpServerProcess::State {
    TempDir files;
};

FtpServerProcess::FtpServerProcess(const std::string& root, const std::vector<std::string>& flags)
    : m_state(new State) {
    m_state->files.WriteFile("running", "");
    std::string command = "/usr/bin/python3 " + FtpServerScript() + " " + UnixName(root) + " --output " +
                          UnixName(m_state->files.Join("output")) + " --while-exists " +
                          UnixName(m_state->files.Join("running"));
    for (const std::string& flag : flags) command += " " + flag;
    std::wstring line = text::FromUtf8(command);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
        ADD_FAILURE() << "cannot start " << command << ": " << GetLastError();
        return;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}

FtpServerProcess::~FtpServerProcess() {
    std::filesystem::remove(Utf8Path(m_state->files.Join("running")));
    // Its port is closed once it says so.
    if (Output().find("PORT ") != std::string::npos &&
        !WaitUntil([&] { return Output().find("STOPPED") != std::string::npos; }, 10000))
        ADD_FAILURE() << "FTP server did not stop";
}

std::string FtpServerProcess::Output() const {
    return m_state->files.Exists("output") ? m_state->files.ReadFile("output") : "";
}
