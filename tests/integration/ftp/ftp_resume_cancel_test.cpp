// Resuming partial uploads with REST, and cancelling a transfer from another
// thread, against a real FTP server.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "common/ftp/ftp_transfer.h"
#include "common/text_util.h"
#include "ftp_server_fixture.h"
#include "support/temp_current_folder.h"

namespace {

class FtpResumeTest : public ::testing::Test {
protected:
    void Upload(TestFtpServer& server, const std::string& local, const std::string& remoteBefore) {
        m_local.WriteFile("f.bin", local);
        server.root().WriteFile("r/f.bin", remoteBefore);
        ASSERT_TRUE(m_ftp.Login(L"127.0.0.1", L"anonymous", L"", server.port(), true));
        m_result = m_ftp.UploadFile(text::FromUtf8(m_local.Join("f.bin")), L"/r/f.bin", true);
    }

    TempCurrentFolder m_cwd;
    TempDir m_local;
    FtpTransfer m_ftp;
    bool m_result = false;
};

TEST_F(FtpResumeTest, RemoteFileOfTheSameSizeIsNotSentAgain) {
    TestFtpServer server;
    const std::string bytes = PatternBytes(100000);
    std::string remote = bytes;
    remote[5] ^= 1;  // not compared: equal size means complete
    Upload(server, bytes, remote);
    EXPECT_TRUE(m_result);
    EXPECT_EQ(server.CountCommands("STOR"), 0u);
    EXPECT_EQ(server.CountCommands("REST"), 0u);
    EXPECT_EQ(server.root().ReadFile("r/f.bin"), remote);
}

TEST_F(FtpResumeTest, PartialUploadContinuesWhereTheServerStopped) {
    TestFtpServer server;
    const std::string bytes = PatternBytes(300000);
    std::string head = bytes.substr(0, 100000);
    Upload(server, bytes, head);
    EXPECT_TRUE(m_result);
    EXPECT_EQ(server.root().ReadFile("r/f.bin"), bytes);
    // Only the tail went over the wire.
    EXPECT_TRUE(server.LastCommand("STOR").ends_with(" at 100000")) << server.LastCommand("STOR");
}

TEST_F(FtpResumeTest, ServerWithoutRestartGetsTheWholeFile) {
    TestFtpServer server({"--no-rest"});
    const std::string bytes = PatternBytes(200000);
    Upload(server, bytes, bytes.substr(0, 50000));
    EXPECT_TRUE(m_result);
    EXPECT_EQ(server.root().ReadFile("r/f.bin"), bytes);
    EXPECT_TRUE(server.LastCommand("STOR").ends_with(" at 0")) << server.LastCommand("STOR");
}

TEST_F(FtpResumeTest, LargerRemoteFileIsReplacedNotAppendedTo) {
    TestFtpServer server;
    const std::string bytes = PatternBytes(1000);
    Upload(server, bytes, PatternBytes(5000, 99));
    EXPECT_TRUE(m_result);
    EXPECT_EQ(server.root().ReadFile("r/f.bin"), bytes);
}

TEST_F(FtpResumeTest, MissingRemoteFileIsUploadedFromTheStart) {
    TestFtpServer server;
    const std::string bytes = PatternBytes(70000);
    m_local.WriteFile("f.bin", bytes);
    ASSERT_TRUE(m_ftp.Login(L"127.0.0.1", L"anonymous", L"", server.port(), true));
    EXPECT_TRUE(m_ftp.UploadFile(text::FromUtf8(m_local.Join("f.bin")), L"/new/f.bin", true));
    EXPECT_EQ(server.root().ReadFile("new/f.bin"), bytes);
    EXPECT_EQ(server.CountCommands("REST"), 0u);
}

TEST(FtpCancelTest, CloseFromAnotherThreadStopsTheUploadWithinAPiece) {
    TempCurrentFolder cwd;
    TempDir local;
    // 64 KiB a second: the 4 MiB file would take a minute.
    TestFtpServer server({"--throttle", "65536"});
    const std::string bytes = PatternBytes(4 << 20);
    local.WriteFile("big.bin", bytes);
    FtpTransfer ftp;
    ASSERT_TRUE(ftp.Login(L"127.0.0.1", L"anonymous", L"", server.port(), true));
    std::thread canceller([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        ftp.Close();
    });
    const auto start = std::chrono::steady_clock::now();
    const bool ok = ftp.UploadFile(text::FromUtf8(local.Join("big.bin")), L"/big.bin", false);
    const auto took = std::chrono::steady_clock::now() - start;
    canceller.join();
    EXPECT_FALSE(ok);
    EXPECT_LT(took, std::chrono::seconds(5));
    EXPECT_FALSE(ftp.IsConnected());
    EXPECT_LT(server.root().ReadFile("big.bin").size(), bytes.size());
    // A new login makes the object usable again.
    ASSERT_TRUE(ftp.Login(L"127.0.0.1", L"anonymous", L"", server.port(), true));
    local.WriteFile("small.bin", "small");
    EXPECT_TRUE(ftp.UploadFile(text::FromUtf8(local.Join("small.bin")), L"/small.bin", false));
}

}  // namespace
