// The crashed process's side: only async-signal-safe calls from the moment of
// the crash. It records the crash, starts the helper (this executable again,
// in helper mode), lets it trace this process, waits for its answer and ends.
#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>

#include "services/crash/crash_hooks.h"
#include "services/crash/posix/crash_request.h"
#include "os/thread_start.h"

extern char** environ;

namespace {
constexpr int kCrashSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};
constexpr size_t kAltStackSize = 64 * 1024;
constexpr size_t kMaxEnvironment = 1024;

struct sigaction g_previousActions[std::size(kCrashSignals)];  // kept, never called
std::terminate_handler g_previousTerminate = nullptr;          // kept, never called
std::atomic<bool> g_installed{false};
std::atomic<pid_t> g_handlingThread{0};
// The running executable even when its file was replaced (self-update).
char g_selfPath[] = "/proc/self/exe";
alignas(16) char g_firstThreadStack[kAltStackSize];

// Static storage: the handler may run on a small or overflowed stack.
CrashRequest g_request;
char g_helperVariable[64];
char* g_helperEnvironment[kMaxEnvironment];

pid_t CurrentThreadId() {
    return static_cast<pid_t>(syscall(SYS_gettid));
}

void SetAltStack(void* base, size_t size) {
    stack_t stack{};
    stack.ss_sp = base;
    stack.ss_size = size;
    sigaltstack(&stack, nullptr);
}

// "<name>=<number>" without stdio.
void FormatVariable(char* out, size_t size, const char* name, int number) {
    size_t n = 0;
    while (*name && n + 1 < size) out[n++] = *name++;
    if (n + 1 < size) out[n++] = '=';
    char digits[16];
    size_t d = 0;
    do {
        digits[d++] = static_cast<char>('0' + number % 10);
        number /= 10;
    } while (number > 0 && d < sizeof digits);
    while (d > 0 && n + 1 < size) out[n++] = digits[--d];
    out[n] = '\0';
}

bool StartsWithVariable(const char* entry, const char* name) {
    const size_t length = strlen(name);
    return strncmp(entry, name, length) == 0 && entry[length] == '=';
}

void BuildHelperEnvironment(int fd) {
    FormatVariable(g_helperVariable, sizeof g_helperVariable, kCrashHelperVariable, fd);
    size_t n = 0;
    for (char** entry = environ; entry && *entry && n + 2 < kMaxEnvironment; ++entry) {
        if (!StartsWithVariable(*entry, kCrashHelperVariable)) g_helperEnvironment[n++] = *entry;
    }
    g_helperEnvironment[n++] = g_helperVariable;
    g_helperEnvironment[n] = nullptr;
}

bool WriteAll(int fd, const void* data, size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = write(fd, p, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// Starts the helper and returns its answer; kCrashNotHandled when it could
// not start or ended without one.
char AskHelper() {
    int ends[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) return kCrashNotHandled;
    BuildHelperEnvironment(ends[1]);
    const pid_t helper = _Fork();
    if (helper == 0) {
        fcntl(ends[1], F_SETFD, 0);
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        char* argv[] = {g_selfPath, nullptr};
        execve(g_selfPath, argv, g_helperEnvironment);
        _exit(127);
    }
    close(ends[1]);
    char answer = kCrashNotHandled;
    if (helper > 0) {
        // Where Yama restricts ptrace, only a named tracer may read us. The
        // helper waits for the request, which is sent only after this.
        prctl(PR_SET_PTRACER, helper, 0, 0, 0);
        if (WriteAll(ends[0], &g_request, sizeof g_request)) {
            char reply = 0;
            ssize_t n;
            while ((n = read(ends[0], &reply, 1)) < 0 && errno == EINTR) {
            }
            if (n == 1) answer = reply;
        }
        while (waitpid(helper, nullptr, 0) < 0 && errno == EINTR) {
        }
    }
    close(ends[0]);
    return answer;
}

void FillRequest(CrashKind kind, int signal, const siginfo_t* info, const ucontext_t* context) {
    g_request.magic = kCrashRequestMagic;
    g_request.kind = kind;
    g_request.process = getpid();
    g_request.thread = CurrentThreadId();
    g_request.signal = signal;
    g_request.reportMode = ExceptionHandler::GetReportMode();
    memcpy(g_request.gregs, context->uc_mcontext.gregs, sizeof g_request.gregs);
    g_request.hasFxSave = context->uc_mcontext.fpregs != nullptr;
    if (g_request.hasFxSave) memcpy(g_request.fxsave, context->uc_mcontext.fpregs, sizeof g_request.fxsave);
    const bool fault = info && info->si_code > 0 && signal != SIGABRT;
    g_request.faultAddress = fault ? reinterpret_cast<uint64_t>(info->si_addr)
                                   : static_cast<uint64_t>(context->uc_mcontext.gregs[REG_RIP]);
    memcpy(&g_request.prompt, &CurrentCrashPromptTexts(), sizeof g_request.prompt);
}

void RestoreDefault(int signal) {
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigaction(signal, &action, nullptr);
}

// One crash is reported per process. False when another thread reports
// already (this one then waits for the end); a crash inside the report
// itself ends the process by the signal's default action.
bool TakeCrash(int signal) {
    const pid_t self = CurrentThreadId();
    pid_t expected = 0;
    if (g_handlingThread.compare_exchange_strong(expected, self)) return true;
    if (expected == self) {
        RestoreDefault(signal);
        syscall(SYS_tgkill, getpid(), self, signal);
        return false;
    }
    for (;;) pause();
}

// The handler for all five signals.
void OnCrashSignal(int signal, siginfo_t* info, void* context) {
    if (!TakeCrash(signal)) return;
    FillRequest(CrashKind::kSignal, signal, info, static_cast<ucontext_t*>(context));
    // After a dump the process ends quietly, with the status a shell shows
    // for the signal; otherwise the signal's default action follows (for a
    // fault when the instruction runs again, for a sent signal on return).
    if (AskHelper() == kCrashHandled) _exit(128 + signal);
    RestoreDefault(signal);
    syscall(SYS_tgkill, getpid(), CurrentThreadId(), signal);
}

// Outside a signal handler: the crash as if SIGABRT had hit here.
char ReportFromHere(CrashKind kind) {
    if (!TakeCrash(SIGABRT)) return kCrashNotHandled;
    ucontext_t context;
    getcontext(&context);
    FillRequest(kind, SIGABRT, nullptr, &context);
    return AskHelper();
}

[[noreturn]] void AbortQuietly() {
    RestoreDefault(SIGABRT);
    abort();
}

[[noreturn]] void OnTerminate() {
    if (ReportFromHere(CrashKind::kTerminate) == kCrashHandled) _exit(128 + SIGABRT);
    AbortQuietly();
}

// Frees a thread's alternate stack when the thread ends.
struct ThreadAltStack {
    void* base = nullptr;
    ~ThreadAltStack() {
        if (!base) return;
        stack_t off{};
        off.ss_flags = SS_DISABLE;
        sigaltstack(&off, nullptr);
        munmap(base, kAltStackSize);
    }
};
thread_local ThreadAltStack t_altStack;
}  // namespace

// The pure-virtual-call hook: the dump is written without asking, then the
// process aborts. Before the hooks are installed it behaves as the runtime's.
extern "C" [[noreturn]] void __cxa_pure_virtual() {
    if (!g_installed.load()) {
        static const char message[] = "pure virtual method called\n";
        (void)!write(STDERR_FILENO, message, sizeof message - 1);
        std::terminate();
    }
    ReportFromHere(CrashKind::kPureCall);
    AbortQuietly();
}

void InstallCrashHooks() {
    SetAltStack(g_firstThreadStack, sizeof g_firstThreadStack);
    struct sigaction action {};
    action.sa_sigaction = OnCrashSignal;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    for (size_t i = 0; i < std::size(kCrashSignals); ++i)
        sigaction(kCrashSignals[i], &action, &g_previousActions[i]);
    g_previousTerminate = std::set_terminate(OnTerminate);
    // Every thread the program starts from now on gets its own stack for the handler.
    SetThreadPreparation(PrepareThreadForCrash);
    g_installed.store(true);
}

void PrepareThreadForCrash() {
    if (t_altStack.base) return;
    void* base = mmap(nullptr, kAltStackSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (base == MAP_FAILED) return;
    t_altStack.base = base;
    SetAltStack(base, kAltStackSize);
}
