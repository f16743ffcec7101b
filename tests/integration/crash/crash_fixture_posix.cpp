// The crash programs on Linux: a crash ends the process by its signal, or
// after a dump with the status a shell shows for it; lldb reads the dumps.
#include <sys/wait.h>

#include "integration/crash/crash_fixture.h"

namespace {

struct CrashKind {
    int signal;
    std::vector<const char*> functions;     // in the crashed thread's backtrace
    std::vector<const char*> otherThreads;  // in the backtrace of the other threads
};

const std::map<std::string, CrashKind>& Kinds() {
    static const std::map<std::string, CrashKind> kinds = {
        {"null", {SIGSEGV, {"WriteThroughNull", "NullWriteTwoFramesDeep", "main"}, {}}},
        {"abort", {SIGABRT, {"abort", "CallAbort", "main"}, {}}},
        {"divide", {SIGFPE, {"DivideByZero", "main"}, {}}},
        {"overflow", {SIGSEGV, {"RecurseForever"}, {}}},
        {"pool_overflow", {SIGSEGV, {"RecurseForever"}, {"BusyMainLoop"}}},
        {"thread", {SIGSEGV, {"WriteThroughNull", "CrashInWorker"}, {"BusyMainLoop"}}},
        {"pure", {SIGABRT, {"__cxa_pure_virtual", "CallHook", "PureVirtualCall"}, {}}},
        {"terminate", {SIGABRT, {"std::terminate", "ThrowUncaught"}, {}}},
    };
    return kinds;
}

// "lldb --batch --core <dump> <exe> -o 'thread list' -o 'bt all'" output.
std::string ReadDumpWithLldb(const std::string& dump, const std::string& exe) {
    ChildProcess lldb({"/usr/bin/lldb", "--batch", "--core", dump, exe, "-o", "thread list", "-o", "bt all"},
                      "/");
    return lldb.Wait(60000) < 0 ? "lldb timed out" : lldb.Output();
}

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

}  // namespace

std::string CrashProgramPath(const std::string& program) {
    return std::string(QUON_BIN_DIR) + "/" + program;
}

std::string Ending(ChildProcess& run) {
    if (run.Wait(120000) < 0) return "running";
    const int status = run.RawStatus();
    return WIFEXITED(status) ? "exit " + std::to_string(WEXITSTATUS(status))
                             : "signal " + std::to_string(WTERMSIG(status));
}

// The pure-virtual call's handler lets the signal end the process even after its dump.
std::string CrashEnding(const std::string& mode, bool dumped) {
    const int signal = Kinds().at(mode).signal;
    return dumped && mode != "pure" ? "exit " + std::to_string(128 + signal)
                                    : "signal " + std::to_string(signal);
}

std::string CannotHandle(const std::string&) {
    return "";
}

bool PromptCanBeWithheld() {
    return true;
}

// lldb unwinds the dump to the crash's stop reason and functions, and lists
// every thread, each with a backtrace that reaches its own code.
void ExpectDumpOfCrash(const std::string& mode, const std::string& folder, const std::string& dump) {
    const CrashKind& kind = Kinds().at(mode);
    const std::string lldb = ReadDumpWithLldb(dump, CrashProgramPath("crash_victim"));
    EXPECT_NE(lldb.find("stop reason = signal SIG" + std::string(sigabbrev_np(kind.signal))),
              std::string::npos)
        << lldb;
    const std::string crashed = ThreadBacktrace(lldb, "* thread #");
    for (const char* function : kind.functions)
        EXPECT_NE(crashed.find(function), std::string::npos) << function << "\n" << lldb;
    EXPECT_EQ(std::to_string(CountListedThreads(lldb)), ReadWholeFile(folder + "/threads.txt")) << lldb;
    for (const char* function : kind.otherThreads) {
        const std::string other = ThreadBacktrace(lldb, "  thread #");
        EXPECT_NE(other.find(function), std::string::npos) << function << "\n" << lldb;
    }
}

uint32_t CrashFromOutside(ChildProcess& launcher) {
    launcher.Kill(SIGSEGV);
    return 0;
}

// lldb opens it with the worker's thread as well as the main one.
void ExpectDumpOfLauncher(const std::string& dump, const std::string& exe, uint32_t) {
    const std::string lldb = ReadDumpWithLldb(dump, exe);
    for (const char* text : {"stop reason = signal SIGSEGV", "LauncherThreadProc", "main"})
        EXPECT_NE(lldb.find(text), std::string::npos) << lldb;
}
