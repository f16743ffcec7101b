// Minidumps on Windows: dbghelp's MiniDumpWriteDump reads the crashed
// process itself; the exception record is read where the crashed process
// holds it (client pointers).
// <windows.h> first: the other system headers build on it.
// clang-format off
#include <windows.h>
#include <dbghelp.h>
#include <psapi.h>
// clang-format on

#include <cstdlib>

#include "services/crash/dump_file_name.h"
#include "services/crash/minidump_generator.h"
#include "util/custom_assert.h"

namespace {
constexpr const wchar_t* kFunction = L"MinidumpGenerator::WriteMinidump";
constexpr char kUserStreamText[] = "Default";

using WriteDumpFn = BOOL(WINAPI*)(HANDLE, DWORD, HANDLE, MINIDUMP_TYPE, PMINIDUMP_EXCEPTION_INFORMATION,
                                  PMINIDUMP_USER_STREAM_INFORMATION, PMINIDUMP_CALLBACK_INFORMATION);

// dbghelp for one dump: loaded on first use, freed with the generator.
class DbgHelp {
public:
    DbgHelp() : m_module(LoadLibraryW(L"dbghelp.dll")) {
        if (m_module)
            m_write = reinterpret_cast<WriteDumpFn>(
                reinterpret_cast<void*>(GetProcAddress(m_module, "MiniDumpWriteDump")));
    }
    ~DbgHelp() {
        if (m_module) FreeLibrary(m_module);
    }
    DbgHelp(const DbgHelp&) = delete;
    DbgHelp& operator=(const DbgHelp&) = delete;
    WriteDumpFn write() const { return m_write; }

private:
    HMODULE m_module;
    WriteDumpFn m_write = nullptr;
};

// The process to dump: the current one by its pseudo handle, another one
// opened for what MiniDumpWriteDump reads.
class ProcessHandle {
public:
    explicit ProcessHandle(DWORD id)
        : m_own(id != GetCurrentProcessId()),
          m_handle(
              m_own ? OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | PROCESS_DUP_HANDLE, FALSE, id)
                    : GetCurrentProcess()) {}
    ~ProcessHandle() {
        if (m_own && m_handle) CloseHandle(m_handle);
    }
    ProcessHandle(const ProcessHandle&) = delete;
    ProcessHandle& operator=(const ProcessHandle&) = delete;
    HANDLE get() const { return m_handle; }

private:
    bool m_own;
    HANDLE m_handle;
};

HANDLE CreateNew(const std::wstring& path) {
    return CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// The executable's name without folder and extension.
std::wstring ModuleName(HANDLE process) {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameExW(process, nullptr, path, MAX_PATH);
    wchar_t drive[MAX_PATH], folder[MAX_PATH], name[MAX_PATH], extension[MAX_PATH];
    if (_wsplitpath_s(path, drive, MAX_PATH, folder, MAX_PATH, name, MAX_PATH, extension, MAX_PATH) != 0)
        return std::wstring();
    return name;
}
}  // namespace

bool MinidumpGenerator::WriteMinidump(pid_t process, pid_t threadId, pid_t, const CrashException* exception,
                                      const CrashAssertion*, uint32_t dumpType, bool clientPointers,
                                      std::wstring* dumpPath, std::wstring*) {
    const DbgHelp dbghelp;
    if (!dbghelp.write()) {
        RT_ASSERT(true, false, kFunction, L" NULL == write_dump ");
        return false;
    }
    const ProcessHandle target(static_cast<DWORD>(process));
    std::wstring path;
    if (!GenerateDumpFilePath(ModuleName(target.get()), path)) {
        RT_ASSERT(true, false, kFunction, L" false == GenerateDumpFilePath ");
        return false;
    }
    const HANDLE dumpFile = CreateNew(path);
    if (dumpFile == INVALID_HANDLE_VALUE) {
        RT_ASSERT(true, false, kFunction, L" dump_file == INVALID_HANDLE_VALUE ");
        return false;
    }
    HANDLE fullFile = INVALID_HANDLE_VALUE;
    if (dumpType & kMiniDumpWithFullMemory) {
        fullFile = CreateNew(path.substr(0, path.size() - 4) + L"-full.dmp");
        if (fullFile == INVALID_HANDLE_VALUE) {
            CloseHandle(dumpFile);
            return false;
        }
    }

    MINIDUMP_EXCEPTION_INFORMATION exceptionInfo{};
    const bool withException = exception && exception->pointers;
    if (withException) {
        exceptionInfo.ThreadId = static_cast<DWORD>(threadId);
        exceptionInfo.ExceptionPointers = reinterpret_cast<EXCEPTION_POINTERS*>(exception->pointers);
        exceptionInfo.ClientPointers = clientPointers;
    }
    MINIDUMP_USER_STREAM streams[2];
    for (ULONG type = 0; type < 2; ++type)
        streams[type] = {type, sizeof kUserStreamText - 1, const_cast<char*>(kUserStreamText)};
    MINIDUMP_USER_STREAM_INFORMATION user{2, streams};

    const BOOL written = dbghelp.write()(target.get(), static_cast<DWORD>(process), dumpFile,
                                         static_cast<MINIDUMP_TYPE>(dumpType & ~kMiniDumpWithFullMemory),
                                         withException ? &exceptionInfo : nullptr, &user, nullptr);
    CloseHandle(dumpFile);
    if (fullFile != INVALID_HANDLE_VALUE) CloseHandle(fullFile);
    if (dumpPath) *dumpPath = path;
    return written == TRUE;
}
