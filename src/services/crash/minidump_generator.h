#pragma once
// Writes the minidump of a crashed process into the current folder under the
// dump file name; an existing file is never overwritten.
#include <sys/types.h>

#include <cstdint>
#include <string>

#include "services/crash/exception_handler.h"

// Dump types (MINIDUMP_TYPE flags); only the normal content is written.
constexpr uint32_t kMiniDumpNormal = 0;
constexpr uint32_t kMiniDumpWithFullMemory = 2;

class MinidumpGenerator {
public:
    // The folder is kept but does not enter the path: dumps go to the current
    // folder under a bare file name, where the report packing looks for them.
    explicit MinidumpGenerator(std::wstring dumpFolder) : m_strDumpFolder(std::move(dumpFolder)) {}

    bool WriteMinidump(pid_t process, pid_t threadId, pid_t requestingThreadId,
                       const CrashException* exception, const CrashAssertion* assertion, uint32_t dumpType,
                       bool clientPointers, std::wstring* dumpPath) {
        return WriteMinidump(process, threadId, requestingThreadId, exception, assertion, dumpType,
                             clientPointers, dumpPath, nullptr);
    }
    // With MiniDumpWithFullMemory, also creates "<dump>-full.dmp" (empty).
    bool WriteMinidump(pid_t process, pid_t threadId, pid_t requestingThreadId,
                       const CrashException* exception, const CrashAssertion* assertion, uint32_t dumpType,
                       bool clientPointers, std::wstring* dumpPath, std::wstring* fullDumpPath);

private:
    std::wstring m_strDumpFolder;
};
