// The launcher as a player meets it: exit codes, the instance and client
// rules, the console, the hand-over to the updater and back, and a close
// while it is busy (a run killed part-way: launcher_kill_test.cpp).
#include <minizip/zip.h>

#include "launcher_fixture.h"

namespace {
using Clock = std::chrono::steady_clock;

// An archive of one item of `mebibytes` MiB of zeros. Compressing gigabytes
// would cost the test seconds, so one MiB is compressed once (flushed so that
// every copy stands alone) and its output repeated as the raw item.
void WriteZerosZip(const std::string& path, const std::string& name, unsigned mebibytes) {
    const std::vector<Bytef> zeros(1 << 20, 0);
    z_stream stream{};
    deflateInit2(&stream, 9, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
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
    const std::vector<Bytef> first = compress(Z_FULL_FLUSH), unit = compress(Z_FULL_FLUSH), tail = compress(Z_FINISH);
    deflateEnd(&stream);
    const uLong unitCrc = crc32(0, zeros.data(), static_cast<uInt>(zeros.size()));
    uLong crc = unitCrc;
    for (unsigned i = 1; i < mebibytes; ++i) crc = crc32_combine(crc, unitCrc, zeros.size());
    zipFile zip = zipOpen64(path.c_str(), APPEND_STATUS_CREATE);
    zip_fileinfo info{};
    zipOpenNewFileInZip2_64(zip, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED, 9, 1, 1);
    zipWriteInFileInZip(zip, first.data(), static_cast<unsigned>(first.size()));
    for (unsigned i = 1; i < mebibytes; ++i) zipWriteInFileInZip(zip, unit.data(), static_cast<unsigned>(unit.size()));
    zipWriteInFileInZip(zip, tail.data(), static_cast<unsigned>(tail.size()));
    zipCloseFileInZipRaw64(zip, static_cast<ZPOS64_T>(mebibytes) << 20, crc);
    zipClose(zip, nullptr);
}
}  // namespace

TEST_F(LauncherProcess, RefusedStartsEndAtOnceWithTheirCodes) {
    auto wrong = Start({"QA", "fromupdater"});
    EXPECT_EQ(wrong->Wait(), 2);
    EXPECT_EQ(wrong->Output(), Utf8(GetLauncherMessage(15)) + "\n");

    const std::string client = root.Join("Vevida2.0.exe");
    std::filesystem::copy_file(ToolBinary("Vevida2.0.exe"), client);
    auto env = Env();
    env["QUON_FAKE_CLIENT_LINGER_MS"] = "10000";
    auto game = std::make_unique<ChildProcess>(std::vector<std::string>{client, "x"}, root.path(), env);
    ASSERT_TRUE(WaitUntil([&] { return std::filesystem::exists(root.Join("client-ran.txt")); }));
    auto blocked = Start({});
    EXPECT_EQ(blocked->Wait(), 2);
    EXPECT_NE(blocked->Output().find(Utf8(GetLauncherMessage(16))), std::string::npos);
    EXPECT_EQ(server.TotalRequests(), 0);
    EXPECT_FALSE(std::filesystem::exists(Install("log")));
    game.reset();

    // The first holds the lock while it waits for the stalled list.
    Publish({{L"a.dat", {"a"}}});
    server.StallAfter("/patch_qa/packserv.txt", 10, std::chrono::seconds(20));
    auto first = Start({"QA", "FromUpdater"});
    ASSERT_TRUE(WaitUntil([&] { return server.RequestCount("/patch_qa/packserv.txt") > 0; }));
    auto second = Start({"StageEU"});
    EXPECT_EQ(second->Wait(), 1);
    EXPECT_EQ(second->Output(), "");
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
    EXPECT_EQ(server.RequestCount("/patch/QuonLauncherUpdater.exe"), 1);
    EXPECT_EQ(server.RequestCount("/patch/packserv.txt"), 1);
    EXPECT_EQ(ReadWholeFile(Install("Data/a.dat")), "new a");
    EXPECT_EQ(ReadWholeFile(Install("b.dat")), "b");
    EXPECT_FALSE(std::filesystem::exists(Install("old.dat")));
    struct stat st {};
    ASSERT_EQ(stat(Install("QuonLauncherUpdater.exe").c_str(), &st), 0);
    EXPECT_TRUE(st.st_mode & S_IXUSR);
}

TEST_F(LauncherProcess, EveryLineOfOneWriteAtATerminalIsHandledWithoutWaitingForMore) {
    if (!ChildProcess::TerminalsAvailable()) GTEST_SKIP() << "no terminal for a child here";
    Publish({{L"a.dat", {"a"}}});
    auto run = Start({"QA", "FromUpdater"}, "", {.terminal = true});
    ASSERT_TRUE(run->WaitForOutput(Utf8(GetLauncherMessage(32)))) << run->Output();
    // The dialog's answers and the close come with the command, in one write;
    // the terminal stays open afterwards.
    run->Write("options\nmode 2\ncancel\nhelp\nclose\n");
    EXPECT_EQ(run->Wait(5000), 0) << run->Output();
    const std::string output = run->Output();
    const size_t dialog = output.find("Video option"), cancelled = output.find("Cancelled: nothing saved.");
    ASSERT_NE(cancelled, std::string::npos) << output;
    EXPECT_NE(output.find("Window", dialog), std::string::npos);
    EXPECT_LT(dialog, cancelled);
    EXPECT_LT(cancelled, output.find("commands: start"));
}

TEST_F(LauncherProcess, TheEndOfInputClosesTheReadyLauncherAfterTheLastUnterminatedLine) {
    Publish({{L"a.dat", {"a"}}});
    // An empty client list: the first pass fetches without scanning; only the
    // repair, the last command, rebuilds the list from the disk.
    root.WriteFile("install/packclit.lit", "\xFF\xFE");
    root.WriteFile("install/old/obsolete.dat", "obsolete");
    auto run = Start({"QA", "FromUpdater"}, "help\nrepair");
    EXPECT_EQ(run->Wait(60000), 0) << run->Output();
    EXPECT_NE(run->Output().find("commands: start"), std::string::npos) << run->Output();
    EXPECT_EQ(ReadWholeFile(Install("a.dat")), "a");
    EXPECT_FALSE(std::filesystem::exists(Install("old/obsolete.dat")));

    // A closed input, not only one at its end.
    auto closed = Start({"QA", "FromUpdater"}, "", {.closedInput = true});
    EXPECT_EQ(closed->Wait(10000), 0) << closed->Output();
}

// A close (Ctrl+C, or a terminal's TERM) while the worker waits in each of its
// blocking steps ends the process within 2 s and leaves no half-written file.
TEST_F(LauncherProcess, ACloseInEveryBlockingStepEndsWithinTwoSecondsAndLeavesNoTornFile) {
    if (!ChildProcess::ClosesAvailable()) GTEST_SKIP() << "no console to send a close on";
    struct Case {
        const char* step;
        std::function<void()> prepare;
        std::function<bool(ChildProcess&)> busy;
        std::function<void()> check;
        bool terminal = false;
    };
    std::map<std::wstring, PatchFile> files;
    const Case cases[] = {
        {"download",
         [&] {
             Publish({{L"big.dat", {std::string(1 << 20, 'b')}}});
             server.StallAfter("/patch_qa/big.dat.zip", 1000, std::chrono::seconds(20));
         },
         [&](ChildProcess&) { return server.BytesSent("/patch_qa/big.dat.zip") >= 1000; },
         [&] { EXPECT_FALSE(std::filesystem::exists(Install("big.dat"))); }},
        {"fetch ahead",
         [&] {
             for (int i = 0; i < 8; ++i) files[L"f" + std::to_wstring(i) + L".dat"] = {Noise(256 << 10, i)};
             Publish(files);
             server.SetSlowBody("/patch_qa/f1.dat.zip", 16 << 10, std::chrono::milliseconds(50));
             for (int i = 2; i < 8; ++i) server.StallAfter("/patch_qa/f" + std::to_string(i) + ".dat.zip", 100 << 10);
         },
         [&](ChildProcess&) {
             return server.RequestCount("/patch_qa/f5.dat.zip") > 0 &&
                    std::filesystem::exists(Install("Temp/.prefetch"));
         },
         [&] {
             // Every file is the old one or the whole new one.
             for (const auto& [name, file] : files) {
                 const std::string path = Install(text::ToUtf8(name));
                 if (std::filesystem::exists(path)) EXPECT_TRUE(ReadWholeFile(path) == file.content) << path;
             }
             EXPECT_FALSE(std::filesystem::exists(Install("f5.dat")));
         }},
        {"checksum",
         [&] {
             // No client list: the install is hashed, sparse files on several threads.
             Publish({{L"a.dat", {"a"}}});
             for (int i = 0; i < 4; ++i) {
                 std::ofstream(Utf8Path(Install("big" + std::to_string(i)))).close();
                 std::filesystem::resize_file(Utf8Path(Install("big" + std::to_string(i))), 16ull << 30);
             }
         },
         [&](ChildProcess& run) { return run.BytesRead() >= (200 << 20); },
         [&] { EXPECT_FALSE(std::filesystem::exists(Install("packclit.lit"))); }},
        {"unzip",
         [&] {
             // The checksum in the list does not matter: the run is closed before it.
             Publish({{L"big.dat", {"x", "", std::string(32, '0')}}});
             WriteZerosZip(root.Join("server/patch_qa/big.dat.zip"), "big.dat", 3 << 10);
             std::ofstream(Install("big.dat")) << "old";
         },
         [&](ChildProcess&) { return FolderNames(Install("")).find("big.dat.qtmp-") != std::string::npos; },
         // The old file was removed before unpacking; no part of the new one stays.
         [&] { EXPECT_FALSE(std::filesystem::exists(Install("big.dat"))); }},
        {"box at a terminal",
         // A checksum the unpacked file cannot match: the worker shows entry 1.
         [&] { Publish({{L"a.dat", {"a", "", std::string(32, 'f')}}}); },
         [&](ChildProcess& run) { return run.Output().find("[press Enter]") != std::string::npos; },
         [] {},
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.step);
        if (c.terminal && !ChildProcess::TerminalsAvailable()) continue;
        for (const auto& entry : std::filesystem::directory_iterator(Install("")))
            if (entry.path().filename() != "QuonLauncher.exe") std::filesystem::remove_all(entry.path());
        std::filesystem::remove_all(root.Join("server/patch_qa"));
        server.ClearFaults();
        c.prepare();
        auto run = Start({"QA", "FromUpdater"}, "", {.terminal = c.terminal});
        ASSERT_TRUE(WaitUntil([&] { return c.busy(*run); }, 20000)) << run->Output();
        if (c.terminal) EXPECT_NE(run->Output().find(Utf8(GetLauncherMessage(1)).substr(0, 40)), std::string::npos);
        const auto start = Clock::now();
        run->Kill(c.terminal ? SIGTERM : SIGINT);
        EXPECT_EQ(run->Wait(30000), c.terminal ? 2 : 0) << run->Output();
        EXPECT_LT(Clock::now() - start, std::chrono::seconds(2));
        EXPECT_EQ(Leftovers(Install("")), "");
        c.check();
    }
}
