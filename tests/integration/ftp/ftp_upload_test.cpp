// FtpTransfer against a real FTP server: folder creation, paths as the crash
// report builds them, piece-wise and resumed uploads, names outside ASCII,
// refusals, listings, and a cancel from another thread.

#include "services/ftp/ftp_transfer.h"
#include "util/path_util.h"
#include "ftp_server_fixture.h"
#include "support/system_rules.h"

namespace {

class FtpUploadTest : public ::testing::Test {
protected:
    bool LoginTo(const TestFtpServer& server) { return m_ftp.Login(L"127.0.0.1", L"anonymous", L"", server.port(), true); }
    std::wstring Local(const std::string& name, const std::string& bytes) {
        m_local.WriteFile(name, bytes);
        return text::FromUtf8(m_local.Join(name));
    }

    TempCurrentFolder m_cwd;  // RT_ASSERT writes ./log.txt here
    TempDir m_local;
    FtpTransfer m_ftp;
};

TEST_F(FtpUploadTest, UploadsMakeMissingFoldersParentFirstListingsShowSizesAndBareNamesAreReadBesideTheProgram) {
    struct Case {
        std::wstring remote;
        std::string bytes, arrives;       // arrives: "" when the upload must fail
        std::vector<std::string> made;    // ends of the MKD commands it sends
    };
    const Case cases[] = {
        // An empty folder level creates only the real folder; several pieces, the last one short.
        {L"/2026127//a.zip", Noise(3 * 65536 + 123), "2026127/a.zip", {"/2026127"}},
        {L"/a/b//c/f.bin", "data", "a/b/c/f.bin", {"/a/b", "/a/b/c"}},
        // "/" itself names no file: nothing is created, the store is refused.
        {L"/", "x", "", {}},
        {L"/r.bin", "root file", "r.bin", {}},
        {L"/e/empty.bin", "", "e/empty.bin", {"/e"}},
        {L"/보고서/파일 #1%.bin", "한글", "보고서/파일 #1%.bin", {"/보고서"}},
        // The folder is found again under the same encoding, not made twice.
        {L"/보고서/둘.bin", "둘", "보고서/둘.bin", {}},
    };
    TestFtpServer server;
    server.root().WriteFile("a/keep.txt", "old");
    ASSERT_TRUE(LoginTo(server));
    for (const Case& c : cases) {
        SCOPED_TRACE(text::ToUtf8(c.remote));
        const size_t before = server.Commands("MKD").size();
        EXPECT_EQ(m_ftp.UploadFile(Local("f", c.bytes), c.remote, false), !c.arrives.empty());
        if (!c.arrives.empty()) EXPECT_TRUE(server.root().Exists(c.arrives) && server.root().ReadFile(c.arrives) == c.bytes);
        const auto made = server.Commands("MKD");
        ASSERT_EQ(made.size() - before, c.made.size());
        for (size_t i = 0; i < c.made.size(); ++i) EXPECT_TRUE(made[before + i].ends_with(c.made[i])) << made[before + i];
    }
    EXPECT_EQ(server.root().ReadFile("a/keep.txt"), "old");

    // Listings give sizes and folder flags under full paths.
    server.root().WriteFile("d/one.bin", Noise(70000));
    server.root().WriteFile("d/sub/two.bin", "2");
    std::filesystem::create_directories(server.root().Join("empty"));
    RemoteFileList listing;
    ASSERT_TRUE(m_ftp.ListRemoteFolder(L"/d/", listing));
    ASSERT_EQ(listing.size(), 2u);
    EXPECT_EQ(listing[L"/d/one.bin"].size, 70000u);
    EXPECT_FALSE(listing[L"/d/one.bin"].isDirectory);
    EXPECT_GT(listing[L"/d/one.bin"].lastWriteTime, 0);
    EXPECT_TRUE(listing[L"/d/sub"].isDirectory);
    EXPECT_TRUE(m_ftp.ListRemoteFolder(L"/empty/", listing));
    EXPECT_TRUE(listing.empty());
    EXPECT_FALSE(m_ftp.ListRemoteFolder(L"/missing/", listing));
    uint64_t size = 0;
    EXPECT_TRUE(m_ftp.GetRemoteFileSize(L"/d//one.bin", size));
    EXPECT_EQ(size, 70000u);
    EXPECT_FALSE(m_ftp.GetRemoteFileSize(L"/d/sub", size));

    // A bare local name is read from the executable's folder.
    std::wstring folder;
    GetModuleFolder(folder, true);
    const std::string name = "quon-ftp-bare-" + std::to_string(getpid()) + ".bin";
    const std::string besideExe = NativePath(folder) + "/" + name;
    std::filesystem::copy_file(Local("b", "beside the executable"), besideExe);
    std::filesystem::copy_file(Local("c", "in the current folder"), name);
    const bool ok = m_ftp.UploadFile(text::FromUtf8(name), L"/bare.bin", false);
    unlink(besideExe.c_str());
    ASSERT_TRUE(ok);
    EXPECT_EQ(server.root().ReadFile("bare.bin"), "beside the executable");
}

TEST_F(FtpUploadTest, RefusalsFailWithNothingLeftToReconnectWithOrWithTheServersReply) {
    {
        TestFtpServer server({"--refuse-login"});
        EXPECT_FALSE(LoginTo(server));
        EXPECT_FALSE(m_ftp.IsConnected());
        EXPECT_FALSE(m_ftp.UploadFile(Local("a", "a"), L"/a.bin", false));
        EXPECT_NE(ReadWholeFile("log.txt").find("InternetConnect Failed "), std::string::npos);
        EXPECT_EQ(server.Commands("STOR").size(), 0u);
    }
    int closedPort = 0;
    {
        TestFtpServer gone;
        closedPort = gone.port();
    }
    EXPECT_FALSE(m_ftp.Login(L"127.0.0.1", L"anonymous", L"", closedPort, true));

    TestFtpServer server({"--read-only"});
    ASSERT_TRUE(LoginTo(server));
    for (const wchar_t* remote : {L"/sub/a.bin", L"/a.bin"}) {
        EXPECT_FALSE(m_ftp.UploadFile(Local("a", "a"), remote, false));
        EXPECT_EQ(m_ftp.GetLastServerReply().substr(0, 3), "550");
    }
    EXPECT_FALSE(server.root().Exists("sub"));
    EXPECT_FALSE(server.root().Exists("a.bin"));
}

TEST_F(FtpUploadTest, UploadsContinueOnlyWhereTheRemotePartIsAPrefix) {
    const std::string bytes = Noise(300000);
    std::string sameSize = bytes;
    sameSize[5] ^= 1;  // not compared: equal size means complete
    struct Case {
        const char* what;
        std::vector<std::string> serverFlags;
        std::optional<std::string> remoteBefore;  // none: no remote file
        std::string remoteAfter;
        const char* store;  // how the last STOR ended ("" none, nullptr not checked)
    };
    const Case cases[] = {
        {"same size", {}, sameSize, sameSize, ""},
        {"partial", {}, bytes.substr(0, 100000), bytes, " at 100000"},  // only the tail goes
        {"no REST", {"--no-rest"}, bytes.substr(0, 50000), bytes, " at 0"},
        {"larger", {}, Noise(500000, 99), bytes, nullptr},  // replaced, not appended to
        {"missing", {}, std::nullopt, bytes, " at 0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TestFtpServer server(c.serverFlags);
        if (c.remoteBefore) server.root().WriteFile("r/f.bin", *c.remoteBefore);
        FtpTransfer ftp;
        ASSERT_TRUE(ftp.Login(L"127.0.0.1", L"anonymous", L"", server.port(), true));
        EXPECT_TRUE(ftp.UploadFile(Local("f.bin", bytes), L"/r/f.bin", true));
        EXPECT_TRUE(server.root().ReadFile("r/f.bin") == c.remoteAfter);
        if (c.store && *c.store) EXPECT_TRUE(server.LastCommand("STOR").ends_with(c.store)) << server.LastCommand("STOR");
        if (c.store && !*c.store) EXPECT_EQ(server.Commands("STOR").size(), 0u);
        if (!c.remoteBefore || c.remoteBefore->size() == bytes.size())
            EXPECT_EQ(server.Commands("REST").size(), 0u);
    }
}

TEST_F(FtpUploadTest, CloseFromAnotherThreadStopsTheUploadWithinAPiece) {
    // 64 KiB a second: the 4 MiB file would take a minute.
    TestFtpServer server({"--throttle", "65536"});
    const std::string bytes = Noise(4 << 20);
    ASSERT_TRUE(LoginTo(server));
    std::chrono::steady_clock::time_point closed;
    std::thread canceller([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        closed = std::chrono::steady_clock::now();
        m_ftp.Close();
    });
    const bool ok = m_ftp.UploadFile(Local("big.bin", bytes), L"/big.bin", false);
    const auto ended = std::chrono::steady_clock::now();
    canceller.join();
    EXPECT_FALSE(ok);
    EXPECT_LT(ended - closed, std::chrono::milliseconds(CancelledUploadEndsWithinMs()));
    EXPECT_FALSE(m_ftp.IsConnected());
    EXPECT_LT(server.root().ReadFile("big.bin").size(), bytes.size());
    // A new login makes the object usable again.
    ASSERT_TRUE(LoginTo(server));
    EXPECT_TRUE(m_ftp.UploadFile(Local("small.bin", "small"), L"/small.bin", false));
}

}  // namespace
