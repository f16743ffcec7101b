// The launcher as a player meets it: exit codes, the instance and client
// rules, the hand-over to the updater and back.
#include <fstream>
#include <thread>

#include "launcher_fixture.h"

TEST_F(LauncherProcess, WrongArgumentsShowEntry15AndEndWithAnError) {
    auto run = Start({"QA", "fromupdater"});
    EXPECT_EQ(run->Wait(), 2);
    EXPECT_EQ(run->Output(), Utf8(GetLauncherMessage(15)) + "\n");
    EXPECT_FALSE(std::filesystem::exists(Install("log")));
}

TEST_F(LauncherProcess, SecondLauncherEndsSilentlyWithExitCode1) {
    WritePatchSet(root.Join("server/patch_qa"), {{L"a.dat", {"a"}}});
    server.StallAfter("/patch_qa/packserv.txt", 10, std::chrono::seconds(20));
    auto first = Start({"QA", "FromUpdater"});
    // The first one holds the lock while it waits for the stalled list.
    WaitUntil([&] { return server.RequestCount("/patch_qa/packserv.txt") > 0; }, 5000);
    auto second = Start({"StageEU"});
    EXPECT_EQ(second->Wait(), 1);
    EXPECT_EQ(second->Output(), "");
    first->Kill(SIGKILL);
    first->Wait();
    // The lock died with its holder.
    auto third = Start({"a", "b", "c"});
    EXPECT_EQ(third->Wait(), 2);
}

TEST_F(LauncherProcess, RunningGameClientStopsTheLauncherBeforeItTouchesAnything) {
    const std::string client = root.Join("Vevida2.0.exe");
    std::filesystem::copy_file(ToolBinary("Vevida2.0.exe"), client);
    auto env = Env();
    env["QUON_FAKE_CLIENT_LINGER_MS"] = "10000";
    ChildProcess game({client, "x"}, root.path(), env);
    WaitUntil([&] { return std::filesystem::exists(root.Join("client-ran.txt")); }, 2000);
    auto run = Start({});
    EXPECT_EQ(run->Wait(), 2);
    EXPECT_NE(run->Output().find(Utf8(GetLauncherMessage(16))), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(Install("log")));
    EXPECT_EQ(server.TotalRequests(), 0);
    game.Kill(SIGKILL);
}

TEST_F(LauncherProcess, PlayersStartHandsOverToTheUpdaterWhichBringsTheLauncherBack) {
    WritePatchSet(root.Join("server/patch"), {{L"Data\\a.dat", {"new a"}}, {L"b.dat", {"b"}}});
    std::filesystem::copy_file(ToolBinary("QuonLauncherUpdater.exe"), root.Join("server/patch/QuonLauncherUpdater.exe"));
    std::ofstream(Install("old.dat")) << "obsolete";

    auto run = Start({});
    EXPECT_EQ(run->Wait(), 0) << run->Output();
    // The updater waits for the first launcher to end, then starts
    // "QuonLauncher.exe NOT_USE_ARG1 FromUpdater", which patches and, its input
    // being at its end, closes once ready.
    WaitUntil([&] { return std::filesystem::exists(Install("packclit.lit")); }, 15000);
    WaitUntil([&] { return !std::filesystem::exists(Install("Temp")); }, 15000);
    // The updater's own record is gone: the launcher deleted it as a file
    // the server does not list. The server saw both launchers.
    EXPECT_EQ(server.RequestCount("/patch/QuonLauncherUpdater.exe"), 1);
    EXPECT_EQ(server.RequestCount("/patch/packserv.txt"), 1);
    EXPECT_EQ(ReadWholeFile(Install("Data/a.dat")), "new a");
    EXPECT_EQ(ReadWholeFile(Install("b.dat")), "b");
    EXPECT_FALSE(std::filesystem::exists(Install("old.dat")));
    struct stat st {};
    ASSERT_EQ(stat(Install("QuonLauncherUpdater.exe").c_str(), &st), 0);
    EXPECT_TRUE(st.st_mode & S_IXUSR);
}

TEST_F(LauncherProcess, ReadyLauncherStartsTheClientOnStartCommand) {
    std::string client = ReadWholeFile(ToolBinary("Vevida2.0.exe"));
    WritePatchSet(root.Join("server/patch_stage_eu"), {{L"Vevida2.0.exe", {client, "", "", false, 0755}}});
    auto run = Start({"StageEU", "FromUpdater"}, "help\nstart\n");
    EXPECT_EQ(run->Wait(), 0) << run->Output();
    EXPECT_NE(run->Output().find("commands: start"), std::string::npos);
    EXPECT_NE(run->Output().find(Utf8(GetLauncherMessage(32))), std::string::npos) << run->Output();
    WaitUntil([&] { return std::filesystem::exists(Install("client-ran.txt")); }, 5000);
    const std::string ran = ReadWholeFile(Install("client-ran.txt"));
    EXPECT_NE(ran.find("StageEU"), std::string::npos);
    EXPECT_NE(ran.find(root.Join("install")), std::string::npos);
}

TEST_F(LauncherProcess, InterruptDuringADownloadEndsPromptlyAndLeavesNoPartialFile) {
    WritePatchSet(root.Join("server/patch_qa"), {{L"big.dat", {std::string(1 << 20, 'b')}}});
    server.StallAfter("/patch_qa/big.dat.zip", 1000, std::chrono::seconds(20));
    auto run = Start({"QA", "FromUpdater"});
    WaitUntil([&] { return server.RequestCount("/patch_qa/big.dat.zip") > 0; }, 10000);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const auto start = std::chrono::steady_clock::now();
    run->Kill(SIGINT);
    EXPECT_EQ(run->Wait(5000), 0) << run->Output();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_FALSE(std::filesystem::exists(Install("big.dat")));
    EXPECT_EQ(Leftovers(Install("")), "");
}

TEST_F(LauncherProcess, ClosedInputEndsTheReadyLauncherInsteadOfSpinning) {
    WritePatchSet(root.Join("server/patch_qa"), {{L"a.dat", {"a"}}});
    ChildProcess run({"/bin/sh", "-c", "exec \"$0\" QA FromUpdater <&-", Install("QuonLauncher.exe")}, root.path(),
                     Env());
    EXPECT_EQ(run.Wait(10000), 0) << run.Output();
    EXPECT_EQ(ReadWholeFile(Install("a.dat")), "a");
}
