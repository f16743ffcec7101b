#include "common/crash/minidump_generator.h"

#include <fcntl.h>
#include <unistd.h>

#include <ctime>

#include "common/crash/dump_file_name.h"
#include "common/crash/minidump_file_writer.h"
#include "common/diagnostics/custom_assert.h"
#include "common/path_util.h"
#include "common/text_util.h"
#include "platform/minidump_source.h"

namespace {
constexpr const wchar_t* kFunction = L"MinidumpGenerator::WriteMinidump";

int CreateNew(const std::wstring& path) {
    // Dumps hold process memory: readable by the user alone.
    return open(NativePath(path).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
}

// The name without folder and extension, as _wsplitpath gives it.
std::wstring ModuleBaseName(const std::wstring& path) {
    std::wstring name = GetLastPathComponent(path);
    const size_t dot = name.rfind(L'.');
    if (dot != std::wstring::npos) name.resize(dot);
    return name;
}
}  // namespace

bool MinidumpGenerator::WriteMinidump(pid_t process, pid_t threadId, pid_t requestingThreadId,
                                      const CrashException* exception, const CrashAssertion* assertion,
                                      uint32_t dumpType, bool clientPointers, std::wstring* dumpPath) {
    return WriteMinidump(process, threadId, requestingThreadId, exception, assertion, dumpType,
                         clientPointers, dumpPath, nullptr);
}

bool MinidumpGenerator::WriteMinidump(pid_t process, pid_t threadId, pid_t, const CrashException* exception,
                                      const CrashAssertion*, uint32_t dumpType, bool, std::wstring* dumpPath,
                                      std::wstring*) {
    const std::wstring name = ModuleBaseName(text::Cut(ProcessExecutablePath(process), text::kMaxPathChars));
    std::wstring path;
    if (!GenerateDumpFilePath(name, path)) {
        RT_ASSERT(true, false, kFunction, L" false == GenerateDumpFilePath ");
        return false;
    }
    const int dumpFile = CreateNew(path);
    if (dumpFile < 0) {
        RT_ASSERT(true, false, kFunction, L" dump_file == INVALID_HANDLE_VALUE ");
        return false;
    }
    int fullFile = -1;
    if (dumpType & kMiniDumpWithFullMemory) {
        fullFile = CreateNew(path.substr(0, path.size() - 4) + L"-full.dmp");
        if (fullFile < 0) {
            close(dumpFile);
            return false;
        }
    }

    ProcessSnapshot snapshot;
    bool ok =
        CaptureProcessSnapshot(process, threadId, exception ? &exception->registers : nullptr, snapshot);
    if (ok && exception) {
        snapshot.hasException = true;
        snapshot.exception.threadId = static_cast<uint32_t>(threadId);
        snapshot.exception.code = exception->code;
        snapshot.exception.address = exception->address;
        snapshot.exception.parameters = exception->parameters;
        snapshot.exception.context = BuildMinidumpContext(exception->registers);
    }
    if (ok) {
        const std::vector<MinidumpUserStream> user = {{0, "Default"}, {1, "Default"}};
        const auto bytes = MinidumpFileWriter::Build(snapshot, user, dumpType & ~kMiniDumpWithFullMemory,
                                                     static_cast<uint32_t>(std::time(nullptr)));
        ok = MinidumpFileWriter::Write(dumpFile, bytes);
    }
    close(dumpFile);
    if (fullFile >= 0) close(fullFile);
    if (dumpPath) *dumpPath = path;
    return ok;
}
