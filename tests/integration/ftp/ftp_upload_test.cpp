// FtpTransfer against a real FTP server: folder creation, paths as the crash
// report builds them, piece-wise upload, names outside ASCII, refusals.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>

#include "services/ftp/ftp_transfer.h"
#include "util/path_util.h"
#include "util/text_util.h"
#include "ftp_server_fixture.h"
#include "support/temp_current_folder.h"

namespace {

class FtpUploadTest : public ::testing::Test {
protected:
    bool LoginTo(TestFtpServer& server) {
        return m_ftp.Login(L"127.0.0.1", L"anonymous", L"", server.port(), true);
    }
    std::wstring Local(const std::string& name, const std::string& bytes) {
        m_local.WriteFile(name, bytes);
        return text::FromUtf8(m_local.Join(name));
    }

    TempCurrentFolder m_cwd;  // RT_ASSERT writes ./log.txt here
    TempDir m_local;
    FtpTransfer m_ftp;
};

TEST_F(FtpUploadTest, EmptyFolderLevelCreatesOnlyTheRealFolderAndUploadsThere) {
    TestFtpServer server;
    ASSERT_TRUE(LoginTo(server));
    const std::string bytes = PatternBytes(3 * 65536 + 123);  // several pieces, the last one short
    ASSERT_TRUE(m_ftp.UploadFile(Local("a.zip", bytes), L"/2026127//a.zip", false));
    EXPECT_EQ(server.root().ReadFile("2026127/a.zip"), bytes);
    EXPECT_EQ(server.CountCommands("MKD"), 1u);
}

TEST_F(FtpUploadTest, NestedFoldersAreCreatedParentFirstAndExistingOnesAreKept) {
    TestFtpServer server;
    server.root().WriteFile("a/keep.txt", "old");
    ASSERT_TRUE(LoginTo(server));
    ASSERT_TRUE(m_ftp.UploadFile(Local("f.bin", "data"), L"/a/b//c/f.bin", false));
    EXPECT_EQ(server.root().ReadFile("a/b/c/f.bin"), "data");
    EXPECT_EQ(server.root().ReadFile("a/keep.txt"), "old");
    std::vector<std::string> made;
    for (const auto& c : server.Commands()) {
        if (c.rfind("MKD ", 0) == 0) made.push_back(c.substr(c.size() - 4));
    }
    EXPECT_EQ(made, (std::vector<std::string>{"/a/b", "/b/c"}));
}

TEST_F(FtpUploadTest, RootPathSkipsFolderCreationAndFilesBelowTheRootArrive) {
    TestFtpServer server;
    ASSERT_TRUE(LoginTo(server));
    // "/" itself names no file: nothing is created, the store is refused.
    EXPECT_FALSE(m_ftp.UploadFile(Local("r.bin", "x"), L"/", false));
    EXPECT_EQ(server.CountCommands("MKD"), 0u);
    ASSERT_TRUE(m_ftp.UploadFile(Local("r.bin", "root file"), L"/r.bin", false));
    EXPECT_EQ(server.root().ReadFile("r.bin"), "root file");
    EXPECT_EQ(server.CountCommands("MKD"), 0u);
}

TEST_F(FtpUploadTest, EmptyFileAndNamesOutsideAsciiArrive) {
    TestFtpServer server;
    ASSERT_TRUE(LoginTo(server));
    ASSERT_TRUE(m_ftp.UploadFile(Local("empty", ""), L"/e/empty.bin", false));
    EXPECT_TRUE(server.root().Exists("e/empty.bin"));
    EXPECT_EQ(server.root().ReadFile("e/empty.bin"), "");
    ASSERT_TRUE(m_ftp.UploadFile(Local("k", "한글"), L"/보고서/파일 #1%.bin", false));
    EXPECT_EQ(server.root().ReadFile("보고서/파일 #1%.bin"), "한글");
    // The folder is found again under the same encoding, not made twice.
    ASSERT_TRUE(m_ftp.UploadFile(Local("k2", "둘"), L"/보고서/둘.bin", false));
    EXPECT_EQ(server.root().ReadFile("보고서/둘.bin"), "둘");
    EXPECT_EQ(server.CountCommands("MKD"), 2u);  // "/e" and "/보고서"
}

TEST_F(FtpUploadTest, BareLocalNameIsReadFromTheExecutablesFolder) {
    TestFtpServer server;
    ASSERT_TRUE(LoginTo(server));
    std::wstring folder;
    GetModuleFolder(folder, true);
    const std::string name = "quon-ftp-bare-" + std::to_string(getpid()) + ".bin";
    const std::string besideExe = NativePath(folder) + "/" + name;
    FILE* f = fopen(besideExe.c_str(), "wb");
    ASSERT_TRUE(f);
    fputs("beside the executable", f);
    fclose(f);
    // The current folder holds another file of that name.
    FILE* g = fopen(name.c_str(), "wb");
    fputs("in the current folder", g);
    fclose(g);
    const bool ok = m_ftp.UploadFile(text::FromUtf8(name), L"/bare.bin", false);
    unlink(besideExe.c_str());
    ASSERT_TRUE(ok);
    EXPECT_EQ(server.root().ReadFile("bare.bin"), "beside the executable");
}

TEST_F(FtpUploadTest, RefusedLoginOrClosedPortFailsAndLeavesNothingToReconnectWith) {
    TestFtpServer server({"--refuse-login"});
    EXPECT_FALSE(LoginTo(server));
    EXPECT_FALSE(m_ftp.IsConnected());
    EXPECT_FALSE(m_ftp.UploadFile(Local("a", "a"), L"/a.bin", false));
    const std::string log = TempCurrentFolder::Read("log.txt");
    EXPECT_NE(log.find("InternetConnect Failed "), std::string::npos);
    EXPECT_EQ(server.CountCommands("STOR"), 0u);
    int closedPort = 0;
    {
        TestFtpServer gone;
        closedPort = gone.port();
    }
    EXPECT_FALSE(m_ftp.Login(L"127.0.0.1", L"anonymous", L"", closedPort, true));
}

TEST_F(FtpUploadTest, RefusedFolderOrStoreFailsWithTheServersReply) {
    TestFtpServer server({"--read-only"});
    ASSERT_TRUE(LoginTo(server));
    EXPECT_FALSE(m_ftp.UploadFile(Local("a", "a"), L"/sub/a.bin", false));
    EXPECT_EQ(m_ftp.GetLastServerReply().substr(0, 3), "550");
    EXPECT_FALSE(server.root().Exists("sub"));
    EXPECT_FALSE(m_ftp.UploadFile(Local("a", "a"), L"/a.bin", false));
    EXPECT_EQ(m_ftp.GetLastServerReply().substr(0, 3), "550");
    EXPECT_FALSE(server.root().Exists("a.bin"));
}

TEST_F(FtpUploadTest, ListingGivesSizesAndFolderFlagsUnderFullPaths) {
    TestFtpServer server;
    server.root().WriteFile("d/one.bin", PatternBytes(70000));
    server.root().WriteFile("d/sub/two.bin", "2");
    server.root().WriteFile("empty/.keep-nothing", "");
    unlink(server.root().Join("empty/.keep-nothing").c_str());
    ASSERT_TRUE(LoginTo(server));
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
}

}  // namespace
