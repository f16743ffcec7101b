// Where the launcher reads, writes and deletes on disk: only inside its
// install folder, whatever the working folder, links, leftovers or lack of
// room it meets.

#include "support/links.h"
#include "support/small_volume.h"

#include "launcher_fixture.h"

namespace stdfs = std::filesystem;

// A log folder linked elsewhere is replaced, not emptied; the client starts
// in the install folder with the launcher's argument.
TEST_F(LauncherProcess, StartedFromAnotherFolderKeepsEveryFileInTheInstallFolder) {
    root.WriteFile("elsewhere/precious.txt", "mine");
    root.WriteFile("elsewhere/sub/deep.txt", "mine too");
    MakeFolderLink(root.Join("elsewhere"), Install("log"));  // none under Wine: the working folder alone
    // Installed already: nothing is patched, so nothing else makes the
    // install folder current.
    const std::string defaults =
        "{\"GameOptionVersion\": \"2\", \"GameOptionDefault\": {\"ScreenWidth\": \"1280\"}}";
    Publish({{L"DefaultOption.json", {defaults}},
             {L"Vevida2.0.exe", {ReadWholeFile(ToolBinary("Vevida2.0.exe"))}}});
    std::ofstream(Install("DefaultOption.json")) << defaults;
    stdfs::copy_file(ToolBinary("Vevida2.0.exe"), Install("Vevida2.0.exe"));
    // The working folder is the test's root, not the install folder. Opening
    // the video options loads (and here creates) the option file.
    auto run = Start({"QA", "FromUpdater"}, "options\ncancel\nstart\n");
    EXPECT_EQ(run->Wait(), 0) << run->Output();
    EXPECT_NE(run->Output().find(Utf8(GetLauncherMessage(32))), std::string::npos) << run->Output();
    ASSERT_TRUE(WaitUntil([&] { return stdfs::exists(Install("client-ran.txt")); })) << run->Output();
    const std::string ran = ReadWholeFile(Install("client-ran.txt"));
    EXPECT_EQ(ran.find("QA\n"), 0u) << ran;
    EXPECT_NE(ran.find(root.Join("install")), std::string::npos) << ran;
    EXPECT_TRUE(stdfs::is_regular_file(Install("Config/Option.json"))) << run->Output();
    EXPECT_EQ(server.RequestCount("/patch_qa/DefaultOption.json.zip"), 0);
    for (const char* name : {"Config", "log", "Temp", "log.txt", "packclit.lit"}) {
        EXPECT_FALSE(stdfs::exists(root.Join(name))) << name;
    }
    EXPECT_EQ(ReadWholeFile(root.Join("elsewhere/precious.txt")), "mine");
    EXPECT_EQ(ReadWholeFile(root.Join("elsewhere/sub/deep.txt")), "mine too");
    EXPECT_FALSE(stdfs::is_symlink(Install("log")));
    EXPECT_TRUE(stdfs::is_regular_file(Install("log/LauncherLog.txt")));
    EXPECT_FALSE(stdfs::exists(root.Join("elsewhere/LauncherLog.txt")));
}

TEST_F(LauncherProcess, TempThatCannotBeAFolderIsReportedAsSuchBeforeAnyDownload) {
    Publish({{L"a.dat", {"a"}}});
    std::ofstream(Install("Temp")) << "a file in the way";
    stdfs::create_directories(root.Join("elsewhere"));
    for (bool link : {false, true}) {
        // A link would write the downloads elsewhere.
        if (link && (stdfs::remove(Install("Temp")), !MakeFolderLink(root.Join("elsewhere"), Install("Temp")))) break;
        auto run = Start({"QA", "FromUpdater"});
        EXPECT_EQ(run->Wait(), 2);
        // Entry 4 and no download failure or entry 5 after it; the status
        // line may come before or after the box.
        EXPECT_NE(run->Output().find(Utf8(GetLauncherMessage(4))), std::string::npos) << run->Output();
        EXPECT_EQ(run->Output().find("Failed to"), std::string::npos) << run->Output();
        EXPECT_EQ(server.TotalRequests(), 0);
        EXPECT_TRUE(stdfs::is_empty(root.Join("elsewhere")));
    }
}

TEST_F(LauncherProcess, LeftoversOfAnInterruptedRunGoAtTheNextStartAndAReadyCloseLeavesNone) {
    Publish({{L"Data\\a.dat", {"a"}}});
    const std::vector<std::string> leftovers = {"Data/a.dat.qtmp-Ab12Cd",     "Temp/packserv.txt",
                                                "Temp/packserv.md5",          "Temp/a.dat.zip.qtmp-x1Y2z3",
                                                "Temp/a.dat.zip.AbCdEf.part", "packclit.lit.qtmp-000000"};
    for (const auto& name : leftovers) root.WriteFile("install/" + name, "left");
    root.WriteFile("install/Data/a.dat.qtmp-not-ours", "a game file");
    root.WriteFile("elsewhere/b.dat.qtmp-Zz9Zz9", "not the launcher's");
    MakeFolderLink(root.Join("elsewhere"), Install("Linked"));

    server.StallAfter("/patch_qa/packserv.txt", 10, std::chrono::seconds(20));
    {
        auto run = Start({"QA", "FromUpdater"});
        ASSERT_TRUE(WaitUntil([&] { return server.RequestCount("/patch_qa/packserv.txt") > 0; }));
        for (const auto& name : leftovers) EXPECT_FALSE(stdfs::exists(Install(name))) << name;
        run->Kill(SIGKILL);
        run->Wait();
    }
    EXPECT_EQ(ReadWholeFile(Install("Data/a.dat.qtmp-not-ours")), "a game file");
    EXPECT_EQ(ReadWholeFile(root.Join("elsewhere/b.dat.qtmp-Zz9Zz9")), "not the launcher's");

    // Nothing to fetch: ready with the server list still in Temp, and closed
    // at once by the end of the input.
    server.ClearFaults();
    std::ofstream(Install("Data/a.dat")) << "a";
    stdfs::remove(Install("Data/a.dat.qtmp-not-ours"));
    auto run = Start({"QA", "FromUpdater"});
    EXPECT_EQ(run->Wait(), 0) << run->Output();
    EXPECT_FALSE(stdfs::exists(Install("Temp")));
    EXPECT_EQ(Leftovers(Install("")), "");
}

TEST_F(LauncherProcess, FullDiskIsReportedAndLosesNothing) {
    // Room for the launcher itself and about a megabyte more; needs root.
    const std::string small = root.Join("small");
    stdfs::create_directories(small);
    const SmallVolume volume(small, std::to_string((stdfs::file_size(LauncherBinary()) >> 10) + 1024) + "k");
    if (!volume.mounted()) GTEST_SKIP() << "mounting a tmpfs needs root";
    stdfs::copy_file(LauncherBinary(), small + "/QuonLauncher.exe");
    std::ofstream(small + "/keep.dat") << "installed";
    // An archive that fits but whose content does not: entry 12 with LC_9999.
    Publish({{L"keep.dat", {"installed"}}, {L"big.dat", {std::string(3 << 20, '\0')}}});
    auto run = Start({"QA", "FromUpdater"}, "", {}, small + "/QuonLauncher.exe");
    EXPECT_EQ(run->Wait(), 2);
    const std::string told = "Not enough disk volume.\nFailed to unzip.\nErrorCode : L_14\nCODE : LC_9999";
    EXPECT_NE(run->Output().find(told), std::string::npos) << run->Output();
    EXPECT_EQ(ReadWholeFile(small + "/keep.dat"), "installed");
    EXPECT_FALSE(stdfs::exists(small + "/big.dat"));
    EXPECT_EQ(Leftovers(small), "");
}
