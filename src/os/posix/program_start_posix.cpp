// Starting a program the way the shell's "open" does: detached from us, in its
// own working folder, with one parameter string, and a small number telling
// whether it started.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include "util/path_util.h"
#include "util/text_util.h"
#include "os/posix/windows_program.h"
#include "os/process.h"

namespace {

constexpr int kStarted = 33;

// What the grandchild reports through the pipe when it cannot become the
// program: the step that failed and its errno.
struct StartFailure {
    int step;  // kStepChdir or kStepExec
    int error;
};
constexpr int kStepChdir = 1;
constexpr int kStepExec = 2;

int ResultOf(const StartFailure& failure) {
    if (failure.step == kStepChdir) {
        if (failure.error == ENOENT || failure.error == ENOTDIR) return 3;
        if (failure.error == EACCES || failure.error == EPERM) return 5;
        return 0;
    }
    switch (failure.error) {
        case ENOENT:
            return 2;
        case ENOTDIR:
            return 3;
        case EACCES:
        case EPERM:
            return 5;
        case ENOMEM:
            return 8;
        case ETXTBSY:
            return 26;
        case ENOEXEC:
            return 31;
        default:
            return 0;
    }
}

// Only async-signal-safe calls from here on: the launcher has other threads,
// and after fork() only the calling one exists in the child.
[[noreturn]] void BecomeProgram(const char* folder, const char* file, char* const argv[], int reportFd) {
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    struct sigaction deflt {};
    deflt.sa_handler = SIG_DFL;
    sigemptyset(&deflt.sa_mask);
    for (int sig = 1; sig < NSIG; ++sig) sigaction(sig, &deflt, nullptr);  // fails harmlessly for KILL/STOP

    StartFailure failure{kStepChdir, 0};
    if (chdir(folder) == 0) {
        execv(file, argv);
        failure.step = kStepExec;
    }
    failure.error = errno;
    ssize_t ignored = write(reportFd, &failure, sizeof(failure));
    (void)ignored;
    _exit(127);
}

}  // namespace

int StartProgram(const std::wstring& file, const std::wstring& parameters, const std::wstring& workingFolder,
                 const std::string& windowsRunner, std::wstring* why) {
    // Everything the child needs is prepared before fork().
    const std::string folder = workingFolder.empty() ? std::string(".") : NativePath(workingFolder);
    struct stat st {};
    if (stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return 3;
    std::string program = NativePath(file);
    if (program.empty()) return 2;
    // A bare name lies in the working folder (the child has changed into it);
    // execv would not search PATH anyway, this only makes it explicit.
    if (program.find('/') == std::string::npos) program = "./" + program;
    std::string argument = text::ToUtf8(parameters);  // one string, passed unchanged
    std::string image = program[0] == '/' ? program : folder + "/" + program;
    std::string runner;
    if (IsWindowsProgram(image)) {
        // Wine runs in the working folder too: the image's path must not depend on ours.
        if (char* absolute = realpath(image.c_str(), nullptr)) {
            image = absolute;
            free(absolute);
        }
        runner = FindWindowsRunner(windowsRunner);
        if (runner.empty()) {
            // As if the program were missing: there is nothing that can run it.
            if (why) {
                *why = L"Wine was not found (" + text::FromUtf8(windowsRunner.empty() ? "wine" : windowsRunner) +
                       L"), needed to start " + file;
            }
            return 2;
        }
    }
    char* nativeArgv[] = {program.data(), argument.data(), nullptr};
    char* wineArgv[] = {runner.data(), image.data(), argument.data(), nullptr};
    char* const* argv = runner.empty() ? nativeArgv : wineArgv;
    const std::string& executable = runner.empty() ? program : runner;

    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0) return errno == ENOMEM ? 8 : 0;

    const pid_t middle = fork();
    if (middle < 0) {
        const int err = errno;
        close(report[0]);
        close(report[1]);
        return err == ENOMEM ? 8 : 0;
    }
    if (middle == 0) {
        // The middle process leaves at once, so the program is adopted by init
        // (or the session's subreaper): no zombie for us to reap, and it lives
        // on after we end. setsid: our terminal's signals do not reach it.
        close(report[0]);
        setsid();
        const pid_t program_pid = fork();
        if (program_pid == 0) BecomeProgram(folder.c_str(), executable.c_str(), argv, report[1]);
        if (program_pid < 0) {
            StartFailure failure{kStepExec, errno};
            ssize_t ignored = write(report[1], &failure, sizeof(failure));
            (void)ignored;
        }
        _exit(0);
    }
    close(report[1]);
    int status = 0;
    while (waitpid(middle, &status, 0) < 0 && errno == EINTR) {
    }
    // End of file without a report: execv succeeded and closed the pipe.
    StartFailure failure{};
    size_t got = 0;
    while (got < sizeof(failure)) {
        const ssize_t n = read(report[0], reinterpret_cast<char*>(&failure) + got, sizeof(failure) - got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += static_cast<size_t>(n);
    }
    close(report[0]);
    if (got == 0) return kStarted;
    if (got < sizeof(failure)) return 0;
    return ResultOf(failure);
}

bool MakeExecutable(const std::wstring& path) {
    const std::string native = NativePath(path);
    struct stat st {};
    if (stat(native.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    // Execute wherever reading is allowed, as "chmod +x" does for a file
    // that everybody may read.
    const mode_t mode = (st.st_mode & 07777) | ((st.st_mode & 0444) >> 2);
    return mode == (st.st_mode & 07777) || chmod(native.c_str(), mode) == 0;
}
