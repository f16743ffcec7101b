// A program that crashes in the way its argument names, with the crash
// handler installed as the launcher installs it. The crash tests run it.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <thread>

#include "services/crash/exception_handler.h"
#include "launcher/checksum_pool.h"

static ExceptionHandler g_exceptionHandler;

namespace {
std::atomic<bool> g_busy{true};
volatile bool g_deeper = true;

// Leaves the number of threads in "threads.txt", for the test to compare
// with the dump (a sanitizer runtime may add threads of its own).
void NoteThreadCount() {
    std::error_code none;  // no such folder (Windows): 0
    std::ofstream("threads.txt") << std::distance(std::filesystem::directory_iterator("/proc/self/task", none), {});
}

__attribute__((noinline)) void WriteThroughNull(int* target) {
    *static_cast<volatile int*>(target) = 42;
}
__attribute__((noinline)) void NullWriteTwoFramesDeep() {
    WriteThroughNull(nullptr);
}

__attribute__((noinline)) void CallAbort() {
    abort();
}

__attribute__((noinline)) int DivideByZero(int divisor) {
    volatile int by = divisor;
    return 100 / by;
}

__attribute__((noinline)) int RecurseForever(int depth) {
    volatile char frame[256];
    frame[depth % sizeof frame] = static_cast<char>(depth);
    return g_deeper ? RecurseForever(depth + 1) + frame[0] : 0;
}

__attribute__((noinline)) void CrashInWorker() {
    ExceptionHandler::PrepareCurrentThread();
    NoteThreadCount();
    WriteThroughNull(nullptr);
}
__attribute__((noinline)) void BusyMainLoop() {
    volatile unsigned long spins = 0;
    while (g_busy.load()) spins = spins + 1;
}

// A helper thread of the launcher's checksum pool runs out of stack.
__attribute__((noinline)) void OverflowOnPoolThread() {
    const std::thread::id mainThread = std::this_thread::get_id();
    ChecksumPool pool(
        2,
        [mainThread](size_t) {
            if (std::this_thread::get_id() != mainThread) {
                NoteThreadCount();
                RecurseForever(0);
            }
            return std::wstring(L"/nonexistent");
        },
        2);
    BusyMainLoop();
}

struct Base {
    Base() { CallHook(); }
    virtual ~Base() = default;
    virtual void Hook() = 0;
    __attribute__((noinline)) void CallHook() { Hook(); }
};
struct Derived : Base {
    void Hook() override {}
};
__attribute__((noinline)) void PureVirtualCall() {
    Derived derived;
}

__attribute__((noinline)) void ThrowUncaught() {
    throw std::runtime_error("nobody catches this");
}
}  // namespace

int main(int argc, char** argv) {
    int status = 0;
    if (ExceptionHandler::RunHelperIfRequested(status)) return status;
    ExceptionHandler::SetMessage(L"Notice", L"An error has occurred.\nDo you record error?");
    const char* mode = argc > 1 ? argv[1] : "";
    if (strcmp(mode, "thread") != 0 && strcmp(mode, "pool_overflow") != 0) NoteThreadCount();
    if (!strcmp(mode, "null")) NullWriteTwoFramesDeep();
    if (!strcmp(mode, "abort")) CallAbort();
    if (!strcmp(mode, "divide")) return DivideByZero(0);
    if (!strcmp(mode, "overflow")) return RecurseForever(0);
    if (!strcmp(mode, "thread")) {
        std::thread worker(CrashInWorker);
        BusyMainLoop();
        worker.join();
    }
    if (!strcmp(mode, "pool_overflow")) OverflowOnPoolThread();
    if (!strcmp(mode, "pure")) PureVirtualCall();
    if (!strcmp(mode, "terminate")) ThrowUncaught();
    while (!strcmp(mode, "wait")) std::this_thread::sleep_for(std::chrono::hours(1));
    fprintf(stderr, "no crash for '%s'\n", mode);
    return 3;
}
