// The upload mode writes the dump before it asks, and hands the dump's name
// to the report only after a Yes.
#include <signal.h>
#include <sys/wait.h>

#include "integration/crash/crash_fixture.h"

namespace {

class CrashUploadModeTest : public ::testing::Test {
protected:
    int Crash(const std::string& answer) {
        return RunCrash(folder.path(),
                        {.program = "crash_victim_upload",
                         .mode = "null",
                         .env = {{"QUON_CRASH_REPORT_MODE", "upload"}, {"QUON_CRASH_PROMPT_ANSWER", answer}},
                         .newSession = true});
    }
    TempDir folder;
};

TEST_F(CrashUploadModeTest, YesReportsTheDumpJustWritten) {
    const int status = Crash("yes");
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 128 + SIGSEGV);
    const auto dumps = ListDumps(folder.path());
    ASSERT_EQ(dumps.size(), 1u);
    ASSERT_TRUE(folder.Exists("upload-called.txt"));
    EXPECT_EQ(folder.ReadFile("upload-called.txt"), dumps[0]);
}

TEST_F(CrashUploadModeTest, NoKeepsTheDumpAndSendsNothing) {
    const int status = Crash("no");
    ASSERT_TRUE(WIFSIGNALED(status)) << status;
    EXPECT_EQ(WTERMSIG(status), SIGSEGV);
    EXPECT_EQ(ListDumps(folder.path()).size(), 1u);
    EXPECT_FALSE(folder.Exists("upload-called.txt"));
}

TEST_F(CrashUploadModeTest, APromptThatCannotBeShownDoesNotStopTheReport) {
    // No display, no terminal, no scripted answer.
    const int status = Crash("");
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_TRUE(folder.Exists("upload-called.txt"));
}

}  // namespace
