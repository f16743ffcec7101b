// Each kind of crash answered by script: Yes leaves one dump under its exact
// name that shows the crash, No leaves none; a dump of the same name that
// is there already is kept; and the launcher itself leaves its dump in its
// install folder.
#include "integration/crash/crash_fixture.h"

namespace {

class CrashDumpTest : public ::testing::TestWithParam<std::string> {
protected:
    TempDir folder;
};

TEST_P(CrashDumpTest, YesWritesOneDumpOfTheCrashUnderItsNameAndNoWritesNone) {
    const std::string mode = GetParam();
    if (const std::string why = CannotHandle(mode); !why.empty()) GTEST_SKIP() << why;
    const time_t before = std::time(nullptr);
    EXPECT_EQ(RunCrash(folder.path(), mode, "yes"), CrashEnding(mode, true));
    const time_t after = std::time(nullptr);
    const auto dumps = ListDumps(folder.path());
    ASSERT_EQ(dumps.size(), 1u);
    // Named after the second of the crash, which may be any second of the run.
    bool named = false;
    for (time_t when = before; when <= after; ++when)
        named = named || dumps[0] == ExpectedDumpName("crash_victim", when);
    EXPECT_TRUE(named) << dumps[0];
    ExpectDumpOfCrash(mode, folder.path(), folder.Join(dumps[0]));

    // The pure-virtual call writes its dump without asking.
    TempDir refused;
    EXPECT_EQ(RunCrash(refused.path(), mode, "no"), CrashEnding(mode, mode == "pure"));
    EXPECT_EQ(ListDumps(refused.path()).size(), mode == "pure" ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(Crashes, CrashDumpTest,
                         ::testing::Values("null", "abort", "divide", "overflow", "pool_overflow", "thread",
                                           "pure", "terminate"),
                         [](const auto& info) { return info.param; });

// The dump cannot be created: the crash is not handled, and nothing that
// is there is touched.
TEST(CrashDumpTest, ADumpOfTheSameNameIsKeptByteForByte) {
    TempDir folder;
    // Names for every second the run may take.
    const time_t now = std::time(nullptr);
    for (time_t when = now; when < now + 60; ++when)
        folder.WriteFile(ExpectedDumpName("crash_victim", when), ExpectedDumpName("crash_victim", when));
    EXPECT_EQ(RunCrash(folder.path(), "null", "yes"), CrashEnding("null", false));
    const auto dumps = ListDumps(folder.path());
    EXPECT_EQ(dumps.size(), 60u);
    for (const std::string& name : dumps) EXPECT_EQ(folder.ReadFile(name), name);
    EXPECT_NE(folder.ReadFile("log.txt").find("dump_file == INVALID_HANDLE_VALUE"), std::string::npos);
}

// The launcher itself, while its worker waits for the file list: a crash
// from outside is a crash of the launcher like any other.
TEST(CrashDumpTest, ACrashOfTheLauncherLeavesItsDumpInTheInstallFolder) {
    TempDir root;
    const std::string exe = root.Join("install/QuonLauncher.exe");
    std::filesystem::create_directories(Utf8Path(root.Join("install")));
    std::filesystem::copy_file(Utf8Path(LauncherBinary()), Utf8Path(exe));
    // The server holds the list back: the launcher's threads are all under
    // way when the crash comes.
    root.WriteFile("server/patch_qa/packserv.txt", "list");
    TestHttpServer server(root.Join("server"));
    server.StallAfter("/patch_qa/packserv.txt", 0);
    auto run = StartCrash(root.Join("install"), {"QA", "FromUpdater"},
                          {{"QUON_PATCH_HOST", "127.0.0.1:" + std::to_string(server.port())},
                           {"QUON_RUNTIME_DIR", root.path()},
                           {"QUON_LAUNCHER_UI", "console"},
                           {"QUON_CRASH_PROMPT_ANSWER", "yes"}},
                          {.newSession = true}, exe);
    ASSERT_TRUE(WaitUntil([&] { return server.RequestCount("/patch_qa/packserv.txt") > 0; }, 30000))
        << run->Output();
    const uint32_t thread = CrashFromOutside(*run);
    // It ends as a write through null does.
    EXPECT_EQ(Ending(*run), CrashEnding("null", true));
    const auto dumps = ListDumps(root.Join("install"));
    ASSERT_EQ(dumps.size(), 1u);
    EXPECT_EQ(dumps[0].rfind("QuonLauncher(crashed)_", 0), 0u) << dumps[0];
    ExpectDumpOfLauncher(root.Join("install/" + dumps[0]), exe, thread);
}

}  // namespace
