// The helper's side: a fresh process of the same executable, started by a
// crashed one. It reads the crash, lets the exception handler prompt and
// write the dump (tracing the crashed process), and answers.
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <string>

#include "services/crash/crash_hooks.h"
#include "services/crash/posix/crash_request.h"

namespace {

bool ReadAll(int fd, void* data, size_t size) {
    char* p = static_cast<char*>(data);
    while (size > 0) {
        const ssize_t n = read(fd, p, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

Amd64Registers RegistersOf(const CrashRequest& request) {
    const greg_t* g = request.gregs;
    Amd64Registers regs;
    regs.rax = g[REG_RAX];
    regs.rbx = g[REG_RBX];
    regs.rcx = g[REG_RCX];
    regs.rdx = g[REG_RDX];
    regs.rsi = g[REG_RSI];
    regs.rdi = g[REG_RDI];
    regs.rbp = g[REG_RBP];
    regs.rsp = g[REG_RSP];
    regs.r8 = g[REG_R8];
    regs.r9 = g[REG_R9];
    regs.r10 = g[REG_R10];
    regs.r11 = g[REG_R11];
    regs.r12 = g[REG_R12];
    regs.r13 = g[REG_R13];
    regs.r14 = g[REG_R14];
    regs.r15 = g[REG_R15];
    regs.rip = g[REG_RIP];
    regs.eflags = static_cast<uint32_t>(g[REG_EFL]);
    const auto segments = static_cast<uint64_t>(g[REG_CSGSFS]);
    regs.cs = static_cast<uint16_t>(segments);
    regs.gs = static_cast<uint16_t>(segments >> 16);
    regs.fs = static_cast<uint16_t>(segments >> 32);
    regs.ss = 0x2b;  // the user data segment of x86-64 Linux
    regs.hasFxSave = request.hasFxSave != 0;
    std::copy(std::begin(request.fxsave), std::end(request.fxsave), regs.fxsave.begin());
    return regs;
}

}  // namespace

bool IsCrashHelperProcess() {
    return std::getenv(kCrashHelperVariable) != nullptr;
}

int RunCrashHelper() {
    const int fd = std::atoi(std::getenv(kCrashHelperVariable));
    unsetenv(kCrashHelperVariable);
    CrashRequest request{};
    if (fd <= STDERR_FILENO || !ReadAll(fd, &request, sizeof request) || request.magic != kCrashRequestMagic)
        return 1;
    ExceptionHandler::SetMessage(request.prompt.caption, request.prompt.text);
    ExceptionHandler::SetReportMode(request.reportMode);

    CrashException exception;
    exception.code = static_cast<uint32_t>(request.signal);
    exception.address = request.faultAddress;
    exception.registers = RegistersOf(request);
    bool handled;
    if (request.kind == CrashKind::kPureCall) {
        CrashAssertion assertion;
        handled = ExceptionHandler::WriteMinidumpWithException(request.process, request.thread, &exception,
                                                               &assertion);
    } else {
        handled = ExceptionHandler::HandleException(request.process, request.thread, exception) == 1;
    }
    const char answer = handled ? kCrashHandled : kCrashNotHandled;
    return write(fd, &answer, 1) == 1 ? 0 : 1;
}
