// Gathers a crashed process's snapshot from its helper: every thread is
// stopped with ptrace while its registers and stack are read.
#include <dirent.h>
#include <fcntl.h>
#include <sys/ptrace.h>
#include <sys/user.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <set>

#include "util/text_util.h"
#include "services/crash/minidump_source.h"
#include "services/crash/posix/minidump_maps.h"

namespace {
constexpr size_t kStackLimit = 512 * 1024;

std::set<pid_t> ListThreads(pid_t process) {
    std::set<pid_t> threads;
    DIR* dir = opendir(("/proc/" + std::to_string(process) + "/task").c_str());
    if (!dir) return threads;
    while (dirent* entry = readdir(dir)) {
        if (entry->d_name[0] != '.') threads.insert(static_cast<pid_t>(atoi(entry->d_name)));
    }
    closedir(dir);
    return threads;
}

bool Stop(pid_t thread) {
    if (ptrace(PTRACE_SEIZE, thread, nullptr, nullptr) != 0) return false;
    if (ptrace(PTRACE_INTERRUPT, thread, nullptr, nullptr) != 0) {
        ptrace(PTRACE_DETACH, thread, nullptr, nullptr);
        return false;
    }
    int status = 0;
    return waitpid(thread, &status, __WALL) == thread;
}

// Every thread, including ones started while the first were being stopped.
std::vector<pid_t> StopAllThreads(pid_t process) {
    std::set<pid_t> stopped, tried;
    for (int round = 0; round < 10; ++round) {
        bool fresh = false;
        for (pid_t thread : ListThreads(process)) {
            if (!tried.insert(thread).second) continue;
            fresh = true;
            if (Stop(thread)) stopped.insert(thread);
        }
        if (!fresh) break;
    }
    return {stopped.begin(), stopped.end()};
}

bool ReadRegisters(pid_t thread, Amd64Registers& regs) {
    user_regs_struct r{};
    if (ptrace(PTRACE_GETREGS, thread, nullptr, &r) != 0) return false;
    regs.rax = r.rax, regs.rbx = r.rbx, regs.rcx = r.rcx, regs.rdx = r.rdx;
    regs.rsi = r.rsi, regs.rdi = r.rdi, regs.rbp = r.rbp, regs.rsp = r.rsp;
    regs.r8 = r.r8, regs.r9 = r.r9, regs.r10 = r.r10, regs.r11 = r.r11;
    regs.r12 = r.r12, regs.r13 = r.r13, regs.r14 = r.r14, regs.r15 = r.r15;
    regs.rip = r.rip;
    regs.eflags = static_cast<uint32_t>(r.eflags);
    regs.cs = static_cast<uint16_t>(r.cs), regs.ds = static_cast<uint16_t>(r.ds);
    regs.es = static_cast<uint16_t>(r.es), regs.fs = static_cast<uint16_t>(r.fs);
    regs.gs = static_cast<uint16_t>(r.gs), regs.ss = static_cast<uint16_t>(r.ss);
    user_fpregs_struct fp{};
    static_assert(sizeof fp == minidump::kFxSaveSize);
    regs.hasFxSave = ptrace(PTRACE_GETFPREGS, thread, nullptr, &fp) == 0;
    if (regs.hasFxSave) memcpy(regs.fxsave.data(), &fp, sizeof fp);
    return true;
}

void AddRawStreams(pid_t process, ProcessSnapshot& snapshot) {
    const std::string proc = "/proc/" + std::to_string(process) + "/";
    const std::pair<uint32_t, std::string> files[] = {
        {minidump::kLinuxCpuInfo, "/proc/cpuinfo"},      {minidump::kLinuxProcStatus, proc + "status"},
        {minidump::kLinuxLsbRelease, "/etc/os-release"}, {minidump::kLinuxCmdLine, proc + "cmdline"},
        {minidump::kLinuxAuxv, proc + "auxv"},           {minidump::kLinuxMaps, proc + "maps"},
    };
    for (const auto& [type, path] : files) snapshot.rawStreams.emplace_back(type, ReadProcFile(path));
}
}  // namespace

std::wstring ProcessExecutablePath(pid_t process) {
    char path[PATH_MAX];
    const ssize_t n = readlink(("/proc/" + std::to_string(process) + "/exe").c_str(), path, sizeof path - 1);
    if (n <= 0) return std::wstring();
    std::string_view link(path, static_cast<size_t>(n));
    // A file replaced while it runs (a self-update) keeps its name.
    constexpr std::string_view kDeleted = " (deleted)";
    if (link.size() > kDeleted.size() && link.substr(link.size() - kDeleted.size()) == kDeleted)
        link.remove_suffix(kDeleted.size());
    return text::FromUtf8(link);
}

bool CaptureProcessSnapshot(pid_t process, pid_t crashedThread, const Amd64Registers* crashedRegisters,
                            ProcessSnapshot& snapshot) {
    const std::vector<pid_t> threads = StopAllThreads(process);
    const int mem = open(("/proc/" + std::to_string(process) + "/mem").c_str(), O_RDONLY | O_CLOEXEC);
    if (!threads.empty() && mem >= 0) {
        const auto maps = ReadMaps(process);
        for (pid_t thread : threads) {
            Amd64Registers regs;
            if (thread == crashedThread && crashedRegisters) {
                regs = *crashedRegisters;  // as at the crash, not waiting in the handler
            } else if (!ReadRegisters(thread, regs)) {
                continue;
            }
            SnapshotThread entry;
            entry.threadId = static_cast<uint32_t>(thread);
            entry.context = BuildMinidumpContext(regs);
            entry.stack = ReadStack(mem, maps, regs.rsp, kStackLimit);
            snapshot.threads.push_back(std::move(entry));
        }
        snapshot.modules = ListModules(mem, maps);
        snapshot.system = ReadSystemFacts();
        AddRawStreams(process, snapshot);
    }
    if (mem >= 0) close(mem);
    for (pid_t thread : threads) ptrace(PTRACE_DETACH, thread, nullptr, nullptr);
    return !snapshot.threads.empty();
}
