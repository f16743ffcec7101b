// The launcher itself: a crash while its worker runs leaves a dump under the
// launcher's name that lldb opens with both threads.
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "integration/crash/crash_fixture.h"
#include "support/child_process.h"

namespace {

TEST(LauncherCrashTest, ACrashWhilePatchingLeavesADumpOfEveryThread) {
    TempDir root;
    std::filesystem::create_directories(root.Join("install"));
    std::filesystem::create_directories(root.Join("runtime"));
    const std::string exe = root.Join("install/QuonLauncher.exe");
    std::filesystem::copy_file(LauncherBinary(), exe);
    // Nothing listens on the patch port: the worker keeps trying to fetch
    // the file list while the crash comes.
    const pid_t pid = StartCrash(root.Join("install"), {.program = exe,
                                                        .args = {"QA", "FromUpdater"},
                                                        .env = {{"QUON_PATCH_HOST", "127.0.0.1:9"},
                                                                {"QUON_RUNTIME_DIR", root.Join("runtime")},
                                                                {"QUON_LAUNCHER_UI", "console"},
                                                                {"QUON_CRASH_PROMPT_ANSWER", "yes"}},
                                                        .newSession = true});
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const auto crash = std::chrono::steady_clock::now();
    kill(pid, SIGSEGV);
    const int status = WaitCrash(pid, 30000);
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - crash)
            .count();
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 128 + SIGSEGV);

    const auto dumps = ListDumps(root.Join("install"));
    ASSERT_EQ(dumps.size(), 1u);
    EXPECT_EQ(dumps[0].rfind("QuonLauncher(crashed)_", 0), 0u) << dumps[0];
    const auto size = std::filesystem::file_size(root.Join("install/" + dumps[0]));
    RecordProperty("dump_ms", std::to_string(ms));
    RecordProperty("dump_kib", std::to_string(size / 1024));
    std::printf("launcher crash: dump written and process ended in %lld ms, %llu KiB\n",
                static_cast<long long>(ms), static_cast<unsigned long long>(size / 1024));

    const std::string lldb = ReadDumpWithLldb(root.Join("install/" + dumps[0]), exe);
    EXPECT_NE(lldb.find("stop reason = signal SIGSEGV"), std::string::npos) << lldb;
    EXPECT_NE(lldb.find("LauncherThreadProc"), std::string::npos) << lldb;
    EXPECT_NE(lldb.find("main"), std::string::npos) << lldb;
}

}  // namespace
