#pragma once
// Shared by the benchmark programs: the cache folder for data made once,
// random file contents, child processes timed with their resource usage, and
// the medians that the ratio lines report. Header-only because every
// bench/*.cpp becomes a program of its own.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

extern char** environ;

namespace bench {

namespace fs = std::filesystem;

// Data made once and reused by later runs (QUON_BENCH_CACHE overrides).
inline fs::path CacheFolder() {
    const char* set = getenv("QUON_BENCH_CACHE");
    fs::path folder = set && *set ? fs::path(set) : fs::path("/tmp/quon-bench-cache");
    fs::create_directories(folder);
    return folder;
}

// A fresh scratch folder for this process's throw-away trees; the process id
// keeps two benchmark runs at the same time apart. QUON_BENCH_SCRATCH moves
// them (e.g. to /dev/shm, to take the file system out of a comparison).
inline fs::path ScratchFolder(const std::string& name) {
    const char* set = getenv("QUON_BENCH_SCRATCH");
    const fs::path base = set && *set ? fs::path(set) : CacheFolder() / "scratch";
    fs::path folder = base / (name + "-" + std::to_string(getpid()));
    std::error_code ignored;
    fs::remove_all(folder, ignored);
    fs::create_directories(folder);
    return folder;
}

// The folder this program was started from (build-bench/bin).
inline fs::path ProgramFolder() {
    return fs::canonical("/proc/self/exe").parent_path();
}

inline double Seconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

inline double Median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Incompressible, reproducible bytes: zip and MD5 do their real work on it.
class RandomBytes {
public:
    explicit RandomBytes(uint64_t seed) : m_state(seed * 0x9E3779B97F4A7C15ull + 1) {}
    void Fill(char* out, size_t size) {
        for (size_t i = 0; i < size; i += 8) {
            m_state ^= m_state << 13;
            m_state ^= m_state >> 7;
            m_state ^= m_state << 17;
            const uint64_t v = m_state;
            std::copy_n(reinterpret_cast<const char*>(&v), std::min<size_t>(8, size - i), out + i);
        }
    }

private:
    uint64_t m_state;
};

// Writes `size` random bytes to `path`, creating its folders.
inline bool WriteRandomFile(const fs::path& path, uint64_t size, uint64_t seed) {
    fs::create_directories(path.parent_path());
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) return false;
    RandomBytes random(seed);
    std::vector<char> block(1 << 20);
    for (uint64_t done = 0; done < size;) {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(block.size(), size - done));
        random.Fill(block.data(), n);
        if (fwrite(block.data(), 1, n, f) != n) break;
        done += n;
    }
    return fclose(f) == 0;
}

// Reads every file below `folder` once, so that both sides of a comparison
// start from the page cache.
inline void WarmPageCache(const fs::path& folder) {
    std::vector<char> buffer(1 << 20);
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (!entry.is_regular_file()) continue;
        int fd = open(entry.path().c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) continue;
        while (read(fd, buffer.data(), buffer.size()) > 0) {
        }
        close(fd);
    }
}

struct ChildResult {
    int status = -1;         // exit status, 128 + signal when killed, -1 when not started
    double wallSeconds = 0;  // from fork to reaping
    double cpuSeconds = 0;   // user + system of the child and its reaped children
    long maxRssKiB = 0;      // largest resident set of the child or one of its children
};

// The rounds of a side-by-side benchmark: medians of each side, the launcher's
// largest resident set.
struct RoundTimes {
    std::vector<double> oursWall, oursCpu, peerWall, peerCpu;
    long oursRssKiB = 0;

    void Add(const ChildResult& ours, const ChildResult& peer) {
        oursWall.push_back(ours.wallSeconds);
        oursCpu.push_back(ours.cpuSeconds);
        peerWall.push_back(peer.wallSeconds);
        peerCpu.push_back(peer.cpuSeconds);
        oursRssKiB = std::max(oursRssKiB, ours.maxRssKiB);
    }
};

// Runs `argv` in `folder` with `env` added to this process's environment,
// standard input from /dev/null, standard output and error to `logPath`.
inline ChildResult RunChild(const std::vector<std::string>& argv, const fs::path& folder,
                            const std::map<std::string, std::string>& env, const fs::path& logPath) {
    ChildResult result;
    std::vector<std::string> environment;
    for (char** e = environ; *e; ++e) {
        std::string entry = *e;
        if (!env.count(entry.substr(0, entry.find('=')))) environment.push_back(entry);
    }
    for (const auto& [name, value] : env) environment.push_back(name + "=" + value);
    std::vector<char*> args, envp;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    for (const auto& e : environment) envp.push_back(const_cast<char*>(e.c_str()));
    args.push_back(nullptr);
    envp.push_back(nullptr);

    fflush(stdout);
    fflush(stderr);
    const double start = Seconds();
    pid_t pid = fork();
    if (pid < 0) return result;
    if (pid == 0) {
        int in = open("/dev/null", O_RDONLY);
        int out = open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (in < 0 || out < 0 || chdir(folder.c_str()) != 0) _exit(126);
        dup2(in, 0);
        dup2(out, 1);
        dup2(out, 2);
        execve(args[0], args.data(), envp.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    while (wait4(pid, &status, 0, &usage) < 0) {
        if (errno != EINTR) return result;
    }
    result.wallSeconds = Seconds() - start;
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    result.cpuSeconds = usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec +
                        usage.ru_stime.tv_usec / 1e6;
    result.maxRssKiB = usage.ru_maxrss;
    return result;
}

// A shell command line, for peers that are pipelines.
inline ChildResult RunShell(const std::string& command, const fs::path& folder, const fs::path& logPath) {
    return RunChild({"/bin/sh", "-c", command}, folder, {}, logPath);
}

inline std::string ReadText(const fs::path& path, size_t limit = 4096) {
    std::string text;
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) return text;
    text.resize(limit);
    text.resize(fread(text.data(), 1, limit, f));
    fclose(f);
    return text;
}

// A marker that records what a cached data set was made with, so a change of
// its parameters makes it again instead of measuring stale data.
inline bool CacheIsValid(const fs::path& marker, const std::string& recipe) {
    return fs::exists(marker) && ReadText(marker) == recipe;
}

inline void MarkCache(const fs::path& marker, const std::string& recipe) {
    FILE* f = fopen(marker.c_str(), "wb");
    if (!f) return;
    fwrite(recipe.data(), 1, recipe.size(), f);
    fclose(f);
}

// Held while a cached data set is checked or made, so that a second
// benchmark run started meanwhile waits instead of making it too.
class CacheLock {
public:
    explicit CacheLock(const std::string& name) {
        m_fd = open((CacheFolder() / (name + ".lock")).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (m_fd >= 0) flock(m_fd, LOCK_EX);
    }
    ~CacheLock() {
        if (m_fd >= 0) close(m_fd);
    }
    CacheLock(const CacheLock&) = delete;
    CacheLock& operator=(const CacheLock&) = delete;

private:
    int m_fd = -1;
};

inline std::string ShellQuote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

}  // namespace bench
