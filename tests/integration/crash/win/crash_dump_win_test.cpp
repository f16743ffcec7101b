// The crash handler on Windows, each kind of crash answered by script: Yes
// leaves one dump under its exact name whose streams show the crash, No
// leaves none, and a dump of the same name that is there already is kept.
#include "integration/crash/win/crash_fixture_win.h"
#include "os/thread_start.h"
#include "services/crash/crash_hooks.h"
#include "support/minidump_reader.h"

namespace {

struct CrashCase {
    const char* mode;
    uint32_t code;  // in the exception stream
    long long exitCode;
    bool asks = true;  // the pure-virtual call writes its dump without asking
};


void PrintTo(const CrashCase& c, std::ostream* os) {
    *os << c.mode;
}

class CrashDumpWinTest : public ::testing::TestWithParam<CrashCase> {
protected:
    TempDir folder;
};

TEST_P(CrashDumpWinTest, YesWritesOneDumpWithTheCrashAndNoWritesNone) {
    const CrashCase& c = GetParam();
    // Wine 8 does not keep the guaranteed stack (SetThreadStackGuarantee) for
    // the handler: a thread that overflows its stack is ended at once.
    if (c.code == EXCEPTION_STACK_OVERFLOW && GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version"))
        GTEST_SKIP() << "no stack for a handler under Wine";
    const time_t before = std::time(nullptr);
    EXPECT_EQ(RunCrash(folder.path(), c.mode, "yes"), c.exitCode);
    const time_t after = std::time(nullptr);
    const auto dumps = ListDumps(folder.path());
    ASSERT_EQ(dumps.size(), 1u);
    bool named = false;
    for (time_t when = before; when <= after; ++when) named = named || dumps[0] == ExpectedDumpName(when);
    EXPECT_TRUE(named) << dumps[0];

    const MinidumpReader dump(folder.ReadFile(dumps[0]));
    EXPECT_EQ(dump.At<uint32_t>(0), minidump::kSignature);
    EXPECT_EQ(dump.At<uint16_t>(dump.Rva(minidump::kSystemInfoStream)),
              minidump::kProcessorArchitectureAmd64);
    for (uint32_t type : {0u, 1u}) EXPECT_EQ(dump.Bytes(type), "Default") << type;
    EXPECT_EQ(dump.ExceptionCode(), c.code);
    const auto threads = dump.ThreadIds();
    EXPECT_NE(std::find(threads.begin(), threads.end(), dump.ExceptionThread()), threads.end());
    // On a second thread: the main thread is listed too, and is not the one.
    if (std::string(c.mode) == "thread") EXPECT_GE(threads.size(), 2u);
    // Every crash here happens in the program's own code.
    const uint64_t at = dump.ExceptionAddress();
    bool inProgram = false;
    for (const auto& m : dump.Modules())
        inProgram =
            inProgram || (m.name.ends_with(u"crash_victim.exe") && at >= m.base && at < m.base + m.size);
    EXPECT_TRUE(inProgram) << std::hex << at;

    TempDir refused;
    RunCrash(refused.path(), c.mode, "no");
    EXPECT_EQ(ListDumps(refused.path()).size(), c.asks ? 0u : 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Crashes, CrashDumpWinTest,
    ::testing::Values(CrashCase{"null", EXCEPTION_ACCESS_VIOLATION, EXCEPTION_ACCESS_VIOLATION},
                      CrashCase{"divide", EXCEPTION_INT_DIVIDE_BY_ZERO, EXCEPTION_INT_DIVIDE_BY_ZERO},
                      CrashCase{"thread", EXCEPTION_ACCESS_VIOLATION, EXCEPTION_ACCESS_VIOLATION},
                      CrashCase{"overflow", EXCEPTION_STACK_OVERFLOW, EXCEPTION_STACK_OVERFLOW},
                      CrashCase{"pool_overflow", EXCEPTION_STACK_OVERFLOW, EXCEPTION_STACK_OVERFLOW},
                      // abort() and std::terminate end as abort() does, the
                      // dump naming them as a fatal application exit.
                      CrashCase{"abort", 0x40000015, 3}, CrashCase{"terminate", 0x40000015, 3},
                      CrashCase{"pure", 0xC0000025, 3, false}),
    [](const auto& info) { return std::string(info.param.mode); });

TEST(CrashDumpWinTest, ADumpOfTheSameNameIsKeptByteForByte) {
    TempDir folder;
    // Names for every second the run may take.
    const time_t now = std::time(nullptr);
    for (time_t when = now; when < now + 60; ++when)
        folder.WriteFile(ExpectedDumpName(when), ExpectedDumpName(when));
    EXPECT_EQ(RunCrash(folder.path(), "null", "yes"), 0xC0000005);
    const auto dumps = ListDumps(folder.path());
    EXPECT_EQ(dumps.size(), 60u);
    for (const std::string& name : dumps) EXPECT_EQ(folder.ReadFile(name), name);
    EXPECT_NE(ReadWholeFile(folder.Join("log.txt")).find("dump_file == INVALID_HANDLE_VALUE"),
              std::string::npos);
}

// What Wine cannot show of a stack overflow: every thread the program starts
// keeps stack for the handler.
TEST(CrashDumpWinTest, EveryStartedThreadKeepsStackForTheHandler) {
    SetThreadPreparation(PrepareThreadForCrash);
    ULONG kept = 0;
    StartThread([&kept] { SetThreadStackGuarantee(&kept); }).join();
    SetThreadPreparation(nullptr);
    EXPECT_GE(kept, 64u * 1024);
}

// The launcher itself, while its worker tries to fetch the file list: a
// thread that faults at once is a crash of the launcher like any other.
TEST(CrashDumpWinTest, ACrashOfTheLauncherLeavesItsDumpInTheInstallFolder) {
    TempDir root;
    const std::string exe = root.Join("install/QuonLauncher.exe");
    std::filesystem::create_directories(Utf8Path(root.Join("install")));
    std::filesystem::copy_file(BesideTest(L"QuonLauncher.exe"), Utf8Path(exe));
    // The server holds the list back: the launcher's threads are all under
    // way when the crash comes.
    root.WriteFile("server/patch_qa/packserv.txt", "list");
    TestHttpServer server(root.Join("server"));
    server.StallAfter("/patch_qa/packserv.txt", 0);
    ScopedEnv answer("QUON_CRASH_PROMPT_ANSWER", "yes"), ui("QUON_LAUNCHER_UI", "console"),
        host("QUON_PATCH_HOST", "127.0.0.1:" + std::to_string(server.port())), runtime("QUON_RUNTIME_DIR", root.path());
    DWORD faulting = 0;
    EXPECT_EQ(
        RunProgram(Utf8Path(exe), L"QA FromUpdater", root.path(),
                   [&](HANDLE launcher) {
                       WaitUntil([&] { return server.RequestCount("/patch_qa/packserv.txt") > 0; }, 30000);
                       CloseHandle(CreateRemoteThread(launcher, nullptr, 0, nullptr, nullptr, 0, &faulting));
                   }),
        EXCEPTION_ACCESS_VIOLATION);
    const auto dumps = ListDumps(root.Join("install"));
    ASSERT_EQ(dumps.size(), 1u);
    EXPECT_EQ(dumps[0].rfind("QuonLauncher(crashed)_", 0), 0u) << dumps[0];
    const MinidumpReader dump(root.ReadFile("install/" + dumps[0]));
    EXPECT_EQ(dump.ExceptionThread(), faulting);
    EXPECT_GE(dump.ThreadIds().size(), 3u);  // the console's, the worker's and the faulting one
}

}  // namespace
