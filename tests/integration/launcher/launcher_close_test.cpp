// Closing the real launcher while its worker is busy: hashing a large file,
// unpacking a large archive, or waiting for the player to answer a box at a
// terminal. Each ends within 2 s and leaves no half-written file.
#include <fcntl.h>
#include <minizip/zip.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <thread>
#include <vector>

#include "launcher_fixture.h"

namespace {
using Clock = std::chrono::steady_clock;
constexpr auto kCloseLimit = std::chrono::seconds(2);

// Bytes the process has read so far (/proc/<pid>/io, rchar).
long long BytesRead(pid_t pid) {
    std::ifstream io("/proc/" + std::to_string(pid) + "/io");
    std::string key;
    long long value = 0;
    while (io >> key >> value) {
        if (key == "rchar:") return value;
    }
    return 0;
}

// An archive of one item of `mebibytes` MiB of zeros. Compressing gigabytes
// would cost the test seconds, so one MiB is compressed once (flushed so that
// every copy stands alone) and its output repeated as the raw item.
void WriteZerosZip(const std::string& path, const std::string& name, unsigned mebibytes) {
    const std::vector<Bytef> zeros(1 << 20, 0);
    z_stream stream{};
    ASSERT_EQ(deflateInit2(&stream, 9, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY), Z_OK);
    auto compress = [&](int flush) {
        std::vector<Bytef> out(1 << 16);
        stream.next_in = const_cast<Bytef*>(zeros.data());
        stream.avail_in = flush == Z_FINISH ? 0 : static_cast<uInt>(zeros.size());
        stream.next_out = out.data();
        stream.avail_out = static_cast<uInt>(out.size());
        deflate(&stream, flush);
        out.resize(out.size() - stream.avail_out);
        return out;
    };
    const std::vector<Bytef> first = compress(Z_FULL_FLUSH), unit = compress(Z_FULL_FLUSH);
    ASSERT_EQ(compress(Z_FULL_FLUSH), unit);  // each further MiB compresses alike
    const std::vector<Bytef> tail = compress(Z_FINISH);
    deflateEnd(&stream);
    const uLong unitCrc = crc32(0, zeros.data(), static_cast<uInt>(zeros.size()));
    uLong crc = unitCrc;
    for (unsigned i = 1; i < mebibytes; ++i) crc = crc32_combine(crc, unitCrc, zeros.size());

    zipFile zip = zipOpen64(path.c_str(), APPEND_STATUS_CREATE);
    ASSERT_NE(zip, nullptr);
    zip_fileinfo info{};
    ASSERT_EQ(zipOpenNewFileInZip2_64(zip, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED, 9, 1, 1),
              ZIP_OK);
    zipWriteInFileInZip(zip, first.data(), static_cast<unsigned>(first.size()));
    for (unsigned i = 1; i < mebibytes; ++i) zipWriteInFileInZip(zip, unit.data(), static_cast<unsigned>(unit.size()));
    zipWriteInFileInZip(zip, tail.data(), static_cast<unsigned>(tail.size()));
    zipCloseFileInZipRaw64(zip, static_cast<ZPOS64_T>(mebibytes) << 20, crc);
    zipClose(zip, nullptr);
}

// The launcher on a pseudo-terminal, as a player at a console meets it: its
// boxes wait for Enter.
class TerminalLauncher {
public:
    TerminalLauncher(const std::vector<std::string>& argv, const std::string& folder,
                     const std::map<std::string, std::string>& env) {
        int slave = -1;
        if (openpty(&m_master, &slave, nullptr, nullptr, nullptr) != 0) return;
        m_pid = fork();
        if (m_pid == 0) {
            setsid();
            ioctl(slave, TIOCSCTTY, 0);
            for (int fd = 0; fd < 3; ++fd) dup2(slave, fd);
            close(slave);
            close(m_master);
            for (const auto& [name, value] : env) setenv(name.c_str(), value.c_str(), 1);
            std::vector<char*> args;
            for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
            args.push_back(nullptr);
            if (chdir(folder.c_str()) == 0) execv(args[0], args.data());
            _exit(127);
        }
        close(slave);
    }
    ~TerminalLauncher() {
        if (m_pid > 0 && m_status < 0) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
        if (m_master >= 0) close(m_master);
    }
    pid_t pid() const { return m_pid; }
    // Reads what the launcher wrote until `text` shows up or `limit` passes.
    bool WaitForText(const std::string& text, std::chrono::milliseconds limit) {
        const auto end = Clock::now() + limit;
        while (m_output.find(text) == std::string::npos) {
            if (Clock::now() > end) return false;
            Pump(10);
        }
        return true;
    }
    int Wait(std::chrono::milliseconds limit) {
        const auto end = Clock::now() + limit;
        int status = 0;
        while (waitpid(m_pid, &status, WNOHANG) != m_pid) {
            if (Clock::now() > end) return -1;
            Pump(5);  // a full terminal buffer would hold the launcher up
        }
        m_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        return m_status;
    }
    const std::string& Output() const { return m_output; }

private:
    void Pump(int timeoutMs) {
        pollfd fd{m_master, POLLIN, 0};
        if (poll(&fd, 1, timeoutMs) <= 0) return;
        char buf[4096];
        const ssize_t n = read(m_master, buf, sizeof(buf));
        if (n > 0) m_output.append(buf, static_cast<size_t>(n));
    }

    int m_master = -1;
    pid_t m_pid = -1;
    int m_status = -1;
    std::string m_output;
};
}  // namespace

TEST_F(LauncherProcess, CloseDuringTheChecksumOfALargeFileEndsWithinTwoSeconds) {
    WritePatchSet(root.Join("server/patch_qa"), {{L"a.dat", {"a"}}});
    // No client list: the install is hashed, a sparse 64 GiB file first.
    std::ofstream(Install("big.dat")).close();
    ASSERT_EQ(truncate(Install("big.dat").c_str(), 64ll << 30), 0);
    auto run = Start({"QA", "FromUpdater"});
    WaitUntil([&] { return BytesRead(run->pid()) >= (200 << 20); }, 10000);
    ASSERT_GE(BytesRead(run->pid()), 200 << 20) << run->Output();
    const auto start = Clock::now();
    run->Kill(SIGINT);
    EXPECT_EQ(run->Wait(10000), 0) << run->Output();
    EXPECT_LT(Clock::now() - start, kCloseLimit);
    EXPECT_FALSE(std::filesystem::exists(Install("packclit.lit")));  // no half list
    EXPECT_EQ(Leftovers(Install("")), "");
}

TEST_F(LauncherProcess, CloseDuringAnUnzipEndsWithinTwoSecondsAndLeavesNoTornFile) {
    // The checksum in the list does not matter: the run is closed before it.
    WritePatchSet(root.Join("server/patch_qa"), {{L"big.dat", {"x", "", std::string(32, '0')}}});
    WriteZerosZip(root.Join("server/patch_qa/big.dat.zip"), "big.dat", 3 << 10);
    std::ofstream(Install("big.dat")) << "old";
    auto run = Start({"QA", "FromUpdater"});
    bool unpacking = false;
    for (int i = 0; i < 4000 && !unpacking; ++i) {
        for (const auto& entry : std::filesystem::directory_iterator(Install(""))) {
            unpacking |= entry.path().filename().string().starts_with("big.dat.qtmp-");
        }
        if (!unpacking) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    ASSERT_TRUE(unpacking) << run->Output();
    const auto start = Clock::now();
    run->Kill(SIGINT);
    EXPECT_EQ(run->Wait(30000), 0) << run->Output();
    EXPECT_LT(Clock::now() - start, kCloseLimit);
    // The old file was removed before unpacking; no part of the new one stays.
    EXPECT_FALSE(std::filesystem::exists(Install("big.dat")));
    EXPECT_EQ(Leftovers(Install("")), "");
}

TEST_F(LauncherProcess, CloseWhileABoxWaitsForEnterAtATerminalEndsWithinTwoSeconds) {
    // A checksum the unpacked file cannot match: the worker shows entry 1.
    WritePatchSet(root.Join("server/patch_qa"), {{L"a.dat", {"a", "", std::string(32, 'f')}}});
    TerminalLauncher run({Install("QuonLauncher.exe"), "QA", "FromUpdater"}, root.path(), Env());
    ASSERT_TRUE(run.WaitForText("[press Enter]", std::chrono::seconds(20))) << run.Output();
    EXPECT_NE(run.Output().find(Utf8(GetLauncherMessage(1)).substr(0, 40)), std::string::npos) << run.Output();
    const auto start = Clock::now();
    kill(run.pid(), SIGTERM);
    EXPECT_EQ(run.Wait(std::chrono::seconds(10)), 2) << run.Output();
    EXPECT_LT(Clock::now() - start, kCloseLimit);
    EXPECT_EQ(Leftovers(Install("")), "");
}
