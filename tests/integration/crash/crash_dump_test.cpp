// Each kind of crash answered Yes: the dump under its exact name, read back
// by lldb with the crash's stop reason and functions.
#include <sys/wait.h>

#include "support/test_common.h"

#include "integration/crash/crash_fixture.h"

namespace {

struct CrashCase {
    const char* mode;
    int signal;
    const char* stopReason;
    std::vector<const char*> functions;     // in the crashed thread's backtrace
    std::vector<const char*> otherThreads;  // in the backtrace of the other threads
    bool asks = true;                       // the pure-virtual call writes its dump without asking
};

void PrintTo(const CrashCase& c, std::ostream* os) {
    *os << c.mode;
}

class CrashDumpTest : public ::testing::TestWithParam<CrashCase> {
protected:
    TempDir folder;
};

// The text of one thread's backtrace in lldb's "bt all" output.
std::string ThreadBacktrace(const std::string& lldb, const std::string& marker) {
    const size_t bt = lldb.find("(lldb) bt all");
    const size_t start = lldb.find(marker, bt == std::string::npos ? 0 : bt);
    if (start == std::string::npos) return "";
    const size_t end = lldb.find("thread #", start + marker.size());
    return lldb.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

size_t CountListedThreads(const std::string& lldb) {
    const size_t list = lldb.find("(lldb) thread list");
    const size_t end = lldb.find("(lldb) bt all");
    size_t count = 0;
    for (size_t at = list; (at = lldb.find("thread #", at + 1)) < end;) ++count;
    return count;
}

TEST_P(CrashDumpTest, YesWritesADumpThatLldbUnwindsToTheCrashingFunctions) {
    const CrashCase& c = GetParam();
    const time_t before = std::time(nullptr);
    const int status = RunCrash(folder.path(), c.mode, "yes");
    const time_t after = std::time(nullptr);

    // Handled: the process ends quietly, with the status a shell shows for the signal.
    ASSERT_EQ(c.asks ? WIFEXITED(status) : WIFSIGNALED(status), true) << status;
    EXPECT_EQ(c.asks ? WEXITSTATUS(status) : WTERMSIG(status), c.asks ? 128 + c.signal : c.signal);
    const auto dumps = ListDumps(folder.path());
    ASSERT_EQ(dumps.size(), 1u);
    // Named after the second of the crash, which may be any second of the run.
    bool named = false;
    for (time_t when = before; when <= after; ++when)
        named = named || dumps[0] == ExpectedDumpName("crash_victim", when);
    EXPECT_TRUE(named) << dumps[0];

    const std::string lldb = ReadDumpWithLldb(folder.Join(dumps[0]), CrashProgramPath("crash_victim"));
    EXPECT_NE(lldb.find("stop reason = " + std::string(c.stopReason)), std::string::npos) << lldb;
    const std::string crashed = ThreadBacktrace(lldb, "* thread #");
    for (const char* function : c.functions)
        EXPECT_NE(crashed.find(function), std::string::npos) << function << "\n" << lldb;
    // Every thread is listed, each with a backtrace that reaches its own code.
    EXPECT_EQ(std::to_string(CountListedThreads(lldb)), folder.ReadFile("threads.txt")) << lldb;
    for (const char* function : c.otherThreads) {
        const std::string other = ThreadBacktrace(lldb, "  thread #");
        EXPECT_NE(other.find(function), std::string::npos) << function << "\n" << lldb;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Crashes, CrashDumpTest,
    ::testing::Values(
        CrashCase{
            "null", SIGSEGV, "signal SIGSEGV", {"WriteThroughNull", "NullWriteTwoFramesDeep", "main"}, {}},
        CrashCase{"abort", SIGABRT, "signal SIGABRT", {"abort", "CallAbort", "main"}, {}},
        CrashCase{"divide", SIGFPE, "signal SIGFPE", {"DivideByZero", "main"}, {}},
        CrashCase{"overflow", SIGSEGV, "signal SIGSEGV", {"RecurseForever"}, {}},
        CrashCase{"pool_overflow", SIGSEGV, "signal SIGSEGV", {"RecurseForever"}, {"BusyMainLoop"}},
        CrashCase{
            "thread", SIGSEGV, "signal SIGSEGV", {"WriteThroughNull", "CrashInWorker"}, {"BusyMainLoop"}},
        CrashCase{"pure",
                  SIGABRT,
                  "signal SIGABRT",
                  {"__cxa_pure_virtual", "CallHook", "PureVirtualCall"},
                  {},
                  false},
        CrashCase{"terminate", SIGABRT, "signal SIGABRT", {"std::terminate", "ThrowUncaught"}, {}}),
    [](const auto& info) { return std::string(info.param.mode); });

}  // namespace
