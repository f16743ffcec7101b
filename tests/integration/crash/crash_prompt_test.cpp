// How the crash prompt reaches the player without the scripted answer: on
// the controlling terminal, or not at all; and the one-dump rule.
#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <thread>

#include "integration/crash/crash_fixture.h"

namespace {

class CrashPromptTest : public ::testing::Test {
protected:
    TempDir folder;
};

// Reads from the terminal's master side until `text` appeared or 20 s passed.
std::string ReadUntil(int master, const std::string& text) {
    std::string seen;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (seen.find(text) == std::string::npos && std::chrono::steady_clock::now() < deadline) {
        char buffer[256];
        const ssize_t n = read(master, buffer, sizeof buffer);
        if (n > 0)
            seen.append(buffer, static_cast<size_t>(n));
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return seen;
}

void AnswerOnTerminal(const std::string& folder, const std::string& answer, int& status,
                      std::string& question) {
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    fcntl(master, F_SETFL, O_NONBLOCK);
    const pid_t pid = StartCrash(folder, {.mode = "null", .newSession = true, .terminal = ptsname(master)});
    question = ReadUntil(master, "[y/n] ");
    (void)!write(master, (answer + "\n").c_str(), answer.size() + 1);
    status = WaitCrash(pid, 30000);
    close(master);
}

TEST_F(CrashPromptTest, TheTerminalIsAskedWhenThereIsNoDisplayAndOnlyYesWritesTheDump) {
    for (const char* answer : {"y", "n"}) {
        SCOPED_TRACE(answer);
        TempDir run;
        int status = 0;
        std::string question;
        AnswerOnTerminal(run.path(), answer, status, question);
        EXPECT_NE(question.find("Notice"), std::string::npos) << question;
        EXPECT_NE(question.find("An error has occurred."), std::string::npos) << question;
        EXPECT_NE(question.find("Do you record error?"), std::string::npos) << question;
        if (answer[0] == 'y') {
            ASSERT_TRUE(WIFEXITED(status)) << status;
            EXPECT_EQ(ListDumps(run.path()).size(), 1u);
        } else {
            ASSERT_TRUE(WIFSIGNALED(status)) << status;
            EXPECT_EQ(WTERMSIG(status), SIGSEGV);
            EXPECT_TRUE(ListDumps(run.path()).empty());
        }
    }
}

TEST_F(CrashPromptTest, WithoutDisplayAndTerminalNothingIsWritten) {
    const int status = RunCrash(folder.path(), {.mode = "null", .newSession = true});
    ASSERT_TRUE(WIFSIGNALED(status)) << status;
    EXPECT_EQ(WTERMSIG(status), SIGSEGV);
    EXPECT_TRUE(ListDumps(folder.path()).empty());
}

TEST_F(CrashPromptTest, ASignalSentFromOutsideIsACrashToo) {
    const pid_t pid =
        StartCrash(folder.path(), {.mode = "wait", .env = {{"QUON_CRASH_PROMPT_ANSWER", "no"}}});
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    kill(pid, SIGBUS);
    const int status = WaitCrash(pid, 30000);
    // Answered No: the sent signal still ends the process by its default action.
    ASSERT_TRUE(WIFSIGNALED(status)) << status;
    EXPECT_EQ(WTERMSIG(status), SIGBUS);
}

TEST_F(CrashPromptTest, AProgramWhoseFileWasReplacedStillGetsItsDump) {
    // A self-update replaces the running launcher's file.
    const std::string copy = folder.Join("victim");
    std::filesystem::copy_file(CrashProgramPath("crash_victim"), copy);
    const pid_t pid = StartCrash(
        folder.path(), {.program = copy, .mode = "wait", .env = {{"QUON_CRASH_PROMPT_ANSWER", "yes"}}});
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    std::filesystem::remove(copy);
    kill(pid, SIGSEGV);
    const int status = WaitCrash(pid, 30000);
    ASSERT_TRUE(WIFEXITED(status)) << status;
    const auto dumps = ListDumps(folder.path());
    ASSERT_EQ(dumps.size(), 1u);
    EXPECT_EQ(dumps[0].rfind("victim(crashed)_", 0), 0u) << dumps[0];
}

TEST_F(CrashPromptTest, ASecondCrashInTheSameSecondLeavesTheFirstDumpAlone) {
    // Two crashes land in one second nearly always; try again when they did not.
    for (int attempt = 0; attempt < 5; ++attempt) {
        TempDir run;
        const CrashRun yes{.mode = "null", .env = {{"QUON_CRASH_PROMPT_ANSWER", "yes"}}};
        const time_t start = std::time(nullptr);
        ASSERT_TRUE(WIFEXITED(RunCrash(run.path(), yes)));
        auto dumps = ListDumps(run.path());
        ASSERT_EQ(dumps.size(), 1u);
        const std::string first = run.ReadFile(dumps[0]);
        const int second = RunCrash(run.path(), {.mode = "divide", .env = yes.env});
        if (std::time(nullptr) != start) continue;

        EXPECT_EQ(ListDumps(run.path()), dumps);
        EXPECT_EQ(run.ReadFile(dumps[0]), first);
        // The second dump could not be created: its crash was not handled.
        ASSERT_TRUE(WIFSIGNALED(second)) << second;
        EXPECT_EQ(WTERMSIG(second), SIGFPE);
        EXPECT_NE(run.ReadFile("log.txt").find("dump_file == INVALID_HANDLE_VALUE"), std::string::npos);
        return;
    }
    FAIL() << "no two crashes within one second in five attempts";
}

}  // namespace
