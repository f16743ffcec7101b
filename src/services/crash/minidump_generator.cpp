#include "services/crash/minidump_generator.h"

#include <ctime>

#include "services/crash/dump_file_name.h"
#include "services/crash/minidump_file_writer.h"
#include "util/custom_assert.h"
#include "util/path_util.h"
#include "util/text_util.h"
#include "base/file_system.h"
#include "services/crash/minidump_source.h"

namespace {
constexpr const wchar_t* kFunction = L"MinidumpGenerator::WriteMinidump";

bool CreateNew(const std::wstring& path, fsys::File& file) {
    // Dumps hold process memory: readable by the user alone. An existing dump
    // is never replaced.
    return file.Open(NativePath(path), fsys::File::Mode::kCreateExclusive);
}

// The name without folder and extension, as _wsplitpath gives it.
std::wstring ModuleBaseName(const std::wstring& path) {
    std::wstring name = GetLastPathComponent(path);
    const size_t dot = name.rfind(L'.');
    if (dot != std::wstring::npos) name.resize(dot);
    return name;
}
}  // namespace

bool MinidumpGenerator::WriteMinidump(pid_t process, pid_t threadId, pid_t, const CrashException* exception,
                                      const CrashAssertion*, uint32_t dumpType, bool, std::wstring* dumpPath,
                                      std::wstring*) {
    const std::wstring name = ModuleBaseName(text::Cut(ProcessExecutablePath(process), text::kMaxPathChars));
    std::wstring path;
    if (!GenerateDumpFilePath(name, path)) {
        RT_ASSERT(true, false, kFunction, L" false == GenerateDumpFilePath ");
        return false;
    }
    fsys::File dumpFile;
    if (!CreateNew(path, dumpFile)) {
        RT_ASSERT(true, false, kFunction, L" dump_file == INVALID_HANDLE_VALUE ");
        return false;
    }
    fsys::File fullFile;
    if ((dumpType & kMiniDumpWithFullMemory) && !CreateNew(path.substr(0, path.size() - 4) + L"-full.dmp", fullFile)) {
        return false;
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
        ok = dumpFile.Write(bytes.data(), bytes.size());
    }
    ok = dumpFile.Close() && ok;
    if (dumpPath) *dumpPath = path;
    return ok;
}
