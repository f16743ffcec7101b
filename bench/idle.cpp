// What a ready launcher costs while the player does nothing: the real
// launcher with the console front-end, patched from a loopback server until
// it is ready, its input held open so that it stays ready. Over a few seconds
// of idling it samples the CPU time of all its threads and their context
// switches; `sleep` sampled the same way is the peer (the floor).
#include <dirent.h>
#include <signal.h>

#include <cstdio>
#include <string>
#include <thread>

#include "support/patch_bench.h"
#include "support/static_http_server.h"

namespace {

using namespace bench;

constexpr double kSampleSeconds = 5.0;
constexpr const char* kReadyText = "Everything for starting the game is ready.";

struct Usage {
    double cpuSeconds = 0;  // every thread, from the scheduler's nanosecond clock
    long switches = 0;      // voluntary + nonvoluntary, every thread
};

// Per thread: /proc/<pid>/task/<tid>/schedstat holds the time on the CPU in
// ns; status holds the two switch counts (the process's own status file only
// counts its main thread).
Usage Sample(pid_t pid) {
    Usage usage;
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    DIR* dir = opendir(tasks.c_str());
    if (!dir) return usage;
    while (dirent* e = readdir(dir)) {
        if (e->d_name[0] == '.') continue;
        const std::string task = tasks + "/" + e->d_name;
        unsigned long long ns = 0;
        if (FILE* f = fopen((task + "/schedstat").c_str(), "r")) {
            if (fscanf(f, "%llu", &ns) == 1) usage.cpuSeconds += ns / 1e9;
            fclose(f);
        }
        const std::string status = ReadText(task + "/status", 1 << 16);
        for (const char* key : {"voluntary_ctxt_switches:", "nonvoluntary_ctxt_switches:"}) {
            const size_t at = status.find(std::string("\n") + key);
            if (at != std::string::npos) usage.switches += std::stol(status.substr(at + 1 + strlen(key)));
        }
    }
    closedir(dir);
    return usage;
}

struct Rate {
    double cpuPercent = 0;
    double switchesPerSecond = 0;
};

Rate Measure(pid_t pid) {
    const Usage before = Sample(pid);
    const double start = Seconds();
    std::this_thread::sleep_for(std::chrono::duration<double>(kSampleSeconds));
    const Usage after = Sample(pid);
    const double elapsed = Seconds() - start;
    return {100.0 * (after.cpuSeconds - before.cpuSeconds) / elapsed,
            (after.switches - before.switches) / elapsed};
}

// Starts `argv` in `folder` with its input from a pipe this process keeps
// open (a console launcher reads the end of its input as "close"); output
// goes to `log`. Returns the child and the pipe's writing end.
pid_t StartHeld(const std::vector<std::string>& argv, const fs::path& folder,
                const std::map<std::string, std::string>& env, const fs::path& log, int& input) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return -1;
    fflush(stdout);
    pid_t pid = fork();
    if (pid == 0) {
        int out = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (out < 0 || chdir(folder.c_str()) != 0) _exit(126);
        dup2(fds[0], 0);
        dup2(out, 1);
        dup2(out, 2);
        for (const auto& [name, value] : env) setenv(name.c_str(), value.c_str(), 1);
        std::vector<char*> args;
        for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    close(fds[0]);
    input = fds[1];
    return pid;
}

int WaitExit(pid_t pid, double timeoutSeconds) {
    const double end = Seconds() + timeoutSeconds;
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) != pid) {
        if (Seconds() > end) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace

int main() {
    CacheLock exclusive("measure");
    const fs::path scratch = ScratchFolder("idle");
    const fs::path build = scratch / "build", server = scratch / "server", install = scratch / "install";
    const fs::path log = scratch / "launcher.log";
    if (!WriteRandomFile(build / "Data" / "a.dat", 64 * 1024, 1) || !PublishPatchSet(build, server, log) ||
        !PlaceLauncher(install)) {
        fprintf(stderr, "bench_idle: cannot make the patch set or the install\n");
        return 1;
    }
    StaticHttpServer http(server.string());
    if (http.port() == 0) {
        fprintf(stderr, "bench_idle: the server did not start\n");
        return 1;
    }

    int input = -1;
    const pid_t launcher = StartHeld({(install / "QuonLauncher.exe").string(), "QA", "FromUpdater"}, install,
                                     {{"QUON_PATCH_HOST", "127.0.0.1:" + std::to_string(http.port())},
                                      {"QUON_LAUNCHER_UI", "console"},
                                      {"QUON_RUNTIME_DIR", (scratch / "runtime").string()},
                                      {"DISPLAY", ""}},
                                     log, input);
    fs::create_directories(scratch / "runtime");
    bool ready = false;
    for (int i = 0; i < 3000 && !ready; ++i) {
        ready = ReadText(log, 1 << 16).find(kReadyText) != std::string::npos;
        if (!ready) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (!ready) {
        fprintf(stderr, "bench_idle: the launcher did not become ready: %s\n", ReadText(log).c_str());
        kill(launcher, SIGKILL);
        waitpid(launcher, nullptr, 0);
        RemoveTree(scratch);
        return 1;
    }
    // Let the download's progress timer run out first.
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    const Rate ours = Measure(launcher);

    int peerInput = -1;
    const pid_t sleeper = StartHeld({"/bin/sleep", "60"}, scratch, {}, scratch / "sleep.log", peerInput);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const Rate peer = Measure(sleeper);
    kill(sleeper, SIGKILL);
    waitpid(sleeper, nullptr, 0);
    close(peerInput);

    // "close" ends the launcher as the player would.
    [[maybe_unused]] ssize_t n = write(input, "close\n", 6);
    const double closeStart = Seconds();
    const int status = WaitExit(launcher, 10);
    const double closeSeconds = Seconds() - closeStart;
    close(input);
    RemoveTree(scratch);

    printf(
        "idle: launcher %.3f%% of one core, %.1f context switches/s; sleep %.3f%%, %.1f/s; "
        "closed in %.3f s (status %d)\n",
        ours.cpuPercent, ours.switchesPerSecond, peer.cpuPercent, peer.switchesPerSecond, closeSeconds,
        status);
    printf(
        "RATIO idle: ready launcher = %.3f%% of one core and %.1f context switches/s over %.0f s "
        "(sleep: %.3f%%, %.1f/s), target <= 0.1%% and < 20/s\n",
        ours.cpuPercent, ours.switchesPerSecond, kSampleSeconds, peer.cpuPercent, peer.switchesPerSecond);
    return status == 0 && ours.cpuPercent <= 0.1 && ours.switchesPerSecond < 20 ? 0 : 1;
}
