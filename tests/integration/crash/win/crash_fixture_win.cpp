// The crash programs on Windows (Wine): a crash ends the process with its
// exception code, dump or not; the dump's streams are read as the format
// lays them out.
#include <windows.h>

#include "integration/crash/crash_fixture.h"
#include "support/minidump_reader.h"

namespace {

struct CrashKind {
    uint32_t code;      // in the exception stream
    uint32_t exitCode;  // abort() and std::terminate end as abort() does
};

const std::map<std::string, CrashKind>& Kinds() {
    // The dump names abort() and std::terminate a fatal application exit.
    static const std::map<std::string, CrashKind> kinds = {
        {"null", {EXCEPTION_ACCESS_VIOLATION, EXCEPTION_ACCESS_VIOLATION}},
        {"divide", {EXCEPTION_INT_DIVIDE_BY_ZERO, EXCEPTION_INT_DIVIDE_BY_ZERO}},
        {"thread", {EXCEPTION_ACCESS_VIOLATION, EXCEPTION_ACCESS_VIOLATION}},
        {"overflow", {EXCEPTION_STACK_OVERFLOW, EXCEPTION_STACK_OVERFLOW}},
        {"pool_overflow", {EXCEPTION_STACK_OVERFLOW, EXCEPTION_STACK_OVERFLOW}},
        {"abort", {0x40000015, 3}},
        {"terminate", {0x40000015, 3}},
        {"pure", {0xC0000025, 3}},
    };
    return kinds;
}

std::string Hex(uint32_t code) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", code);
    return text;
}

}  // namespace

std::string CrashProgramPath(const std::string& program) {
    return std::string(QUON_BIN_DIR) + "/" + program + ".exe";
}

std::string Ending(ChildProcess& run) {
    const int code = run.Wait(120000);
    return run.Ended() ? "exit " + Hex(static_cast<uint32_t>(code)) : "running";
}

std::string CrashEnding(const std::string& mode, bool) {
    return "exit " + Hex(Kinds().at(mode).exitCode);
}

// Wine 8 does not keep the guaranteed stack (SetThreadStackGuarantee) for
// the handler: a thread that overflows its stack is ended at once.
std::string CannotHandle(const std::string& mode) {
    const bool wine = GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
    return wine && Kinds().at(mode).code == EXCEPTION_STACK_OVERFLOW ? "no stack for a handler under Wine"
                                                                     : "";
}

bool PromptCanBeWithheld() {
    return false;
}

// The exception stream names the crash, its thread among the listed ones,
// and an address in the program's own code.
void ExpectDumpOfCrash(const std::string& mode, const std::string&, const std::string& dump) {
    const MinidumpReader reader(ReadWholeFile(dump));
    EXPECT_EQ(reader.At<uint32_t>(0), minidump::kSignature);
    EXPECT_EQ(reader.At<uint16_t>(reader.Rva(minidump::kSystemInfoStream)),
              minidump::kProcessorArchitectureAmd64);
    for (uint32_t type : {0u, 1u}) EXPECT_EQ(reader.Bytes(type), "Default") << type;
    EXPECT_EQ(reader.ExceptionCode(), Kinds().at(mode).code);
    const auto threads = reader.ThreadIds();
    EXPECT_NE(std::find(threads.begin(), threads.end(), reader.ExceptionThread()), threads.end());
    // On a second thread: the main thread is listed too, and is not the one.
    if (mode == "thread") EXPECT_GE(threads.size(), 2u);
    const uint64_t at = reader.ExceptionAddress();
    bool inProgram = false;
    for (const auto& m : reader.Modules())
        inProgram =
            inProgram || (m.name.ends_with(u"crash_victim.exe") && at >= m.base && at < m.base + m.size);
    EXPECT_TRUE(inProgram) << std::hex << at;
}

// A thread that starts at address 0.
uint32_t CrashFromOutside(ChildProcess& launcher) {
    DWORD thread = 0;
    CloseHandle(CreateRemoteThread(launcher.handle(), nullptr, 0, nullptr, nullptr, 0, &thread));
    return thread;
}

void ExpectDumpOfLauncher(const std::string& dump, const std::string&, uint32_t thread) {
    const MinidumpReader reader(ReadWholeFile(dump));
    EXPECT_EQ(reader.ExceptionThread(), thread);
    EXPECT_GE(reader.ThreadIds().size(), 3u);  // the console's, the worker's and the faulting one
}
