// Children through CreateProcessW: standard input from a pipe, output and
// error into one file, the test's console in a process group of their own
// (so that a close can be sent as Ctrl+Break), and a job object that ends the child and
// everything it started when the test lets go of it.
#include <windows.h>

#include "support/test_common.h"

namespace {
std::wstring Native(const std::string& path) {
    std::wstring wide = text::FromUtf8(path);
    std::replace(wide.begin(), wide.end(), L'/', L'\\');
    return wide;
}

// One argument on the command line: the tests pass words and paths (no quotes).
std::wstring Quote(const std::wstring& arg) {
    return !arg.empty() && arg.find_first_of(L" \t") == std::wstring::npos ? arg : L"\"" + arg + L"\"";
}

// The test's environment with the additions; names compare without case.
std::wstring EnvironmentBlock(const std::map<std::string, std::string>& env, bool clean) {
    std::map<std::wstring, std::wstring> vars;  // upper-cased name -> "name=value"
    auto upper = [](std::wstring name) {
        CharUpperBuffW(name.data(), static_cast<DWORD>(name.size()));
        return name;
    };
    wchar_t* all = GetEnvironmentStringsW();
    for (const wchar_t* entry = all; *entry; entry += wcslen(entry) + 1) {
        const std::wstring line = entry;
        const std::wstring name = upper(line.substr(0, line.find(L'=', 1)));
        if (clean && (name == L"DISPLAY" || name == L"WAYLAND_DISPLAY" || name.starts_with(L"QUON_"))) continue;
        vars[name] = line;
    }
    FreeEnvironmentStringsW(all);
    for (const auto& [name, value] : env) {
        if (clean && value.empty()) {
            vars.erase(upper(text::FromUtf8(name)));
        } else {
            vars[upper(text::FromUtf8(name))] = text::FromUtf8(name + "=" + value);
        }
    }
    std::wstring block;
    for (const auto& [name, line] : vars) block += line + L'\0';
    return block + L'\0';
}
}  // namespace

ChildProcess::ChildProcess(std::vector<std::string> argv, std::string folder, std::map<std::string, std::string> env,
                           std::string input, ChildOptions options) {
    if (options.terminal) {
        ADD_FAILURE() << "no terminal on this system: ask TerminalsAvailable() first";
        return;
    }
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    wchar_t folderName[MAX_PATH], fileName[MAX_PATH];
    GetTempPathW(MAX_PATH, folderName);
    GetTempFileNameW(folderName, L"qch", 0, fileName);
    m_outputPath = text::ToUtf8(fileName);
    const HANDLE out = CreateFileW(fileName, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    HANDLE inRead = nullptr, inWrite = nullptr;
    CreatePipe(&inRead, &inWrite, &inherit, 0);
    SetHandleInformation(inWrite, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = options.closedInput ? nullptr : inRead;
    startup.hStdOutput = out;
    startup.hStdError = out;
    std::wstring line;
    for (const auto& arg : argv) line += (line.empty() ? L"" : L" ") + Quote(text::FromUtf8(arg));
    std::wstring block = EnvironmentBlock(env, options.cleanEnv);
    m_job = CreateJobObjectW(nullptr, nullptr);
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    SetInformationJobObject(m_job, JobObjectExtendedLimitInformation, &limits, sizeof(limits));
    PROCESS_INFORMATION process{};
    // The child shares the test's console (if any), where a close reaches its group alone.
    const DWORD flags = CREATE_UNICODE_ENVIRONMENT | CREATE_NEW_PROCESS_GROUP | CREATE_SUSPENDED;
    if (CreateProcessW(Native(argv[0]).c_str(), line.data(), nullptr, nullptr, TRUE, flags, block.data(),
                       Native(folder).c_str(), &startup, &process)) {
        AssignProcessToJobObject(m_job, process.hProcess);
        ResumeThread(process.hThread);
        CloseHandle(process.hThread);
        m_process = process.hProcess;
        m_pid = static_cast<pid_t>(process.dwProcessId);
    }
    CloseHandle(inRead);
    CloseHandle(out);
    DWORD written = 0;
    // Small inputs fit the pipe; the child reads them when it is ready.
    if (!input.empty()) WriteFile(inWrite, input.data(), static_cast<DWORD>(input.size()), &written, nullptr);
    CloseHandle(inWrite);
}

ChildProcess::ChildProcess(const std::function<int()>& body) {
    if (const char* mark = std::getenv("QUON_TEST_CHILD"); mark && *mark) {
        const int result = body();
        std::fflush(nullptr);
        _exit(result);
    }
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string filter = std::string("--gtest_filter=") + test->test_suite_name() + "." + test->name();
    ChildProcess child({text::ToUtf8(self), filter}, ".", {{"QUON_TEST_CHILD", "1"}});
    std::swap(m_pid, child.m_pid);
    std::swap(m_process, child.m_process);
    std::swap(m_job, child.m_job);
    std::swap(m_outputPath, child.m_outputPath);
}

ChildProcess::~ChildProcess() {
    if (m_process && !m_ended) TerminateProcess(m_process, 128 + SIGKILL);
    if (m_process) WaitForSingleObject(m_process, 5000), CloseHandle(m_process);
    if (m_job) CloseHandle(m_job);  // ends whatever the child started
    if (!m_outputPath.empty()) DeleteFileW(text::FromUtf8(m_outputPath).c_str());
}

int ChildProcess::Wait(int timeoutMs) {
    if (m_ended || !m_process) return m_status;
    if (WaitForSingleObject(m_process, static_cast<DWORD>(timeoutMs)) != WAIT_OBJECT_0) return -1;
    DWORD code = 0;
    GetExitCodeProcess(m_process, &code);
    m_ended = true;
    m_status = m_raw = static_cast<int>(code);
    return m_status;
}

void ChildProcess::Kill(int signal) {
    if (!m_process || m_ended) return;
    if (signal == SIGKILL) {
        TerminateProcess(m_process, 128 + SIGKILL);
        return;
    }
    // Ctrl+Break to the child's process group, on the console it shares with the test.
    GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, static_cast<DWORD>(m_pid));
}

// Lines as Linux ends them: the C run-time writes "\r\n" into a file.
std::string ChildProcess::Output() const {
    std::string text = ReadWholeFile(m_outputPath);
    std::erase(text, '\r');
    return text;
}

long long ChildProcess::BytesRead() const {
    IO_COUNTERS counters{};
    return m_process && GetProcessIoCounters(m_process, &counters) ? static_cast<long long>(counters.ReadTransferCount)
                                                                    : 0;
}

void ChildProcess::Write(const std::string&) {}

bool ChildProcess::TerminalsAvailable() { return false; }

bool ChildProcess::ClosesAvailable() { return GetConsoleCP() != 0; }

bool ChildProcess::Ended() const { return m_process && WaitForSingleObject(m_process, 0) == WAIT_OBJECT_0; }
