// Resuming partial uploads with REST, and cancelling a transfer from another
// thread, against a real FTP server.
#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <thread>

#include "services/ftp/ftp_transfer.h"
#include "util/text_util.h"
#include "ftp_server_fixture.h"
#include "support/temp_current_folder.h"

namespace {

TEST(FtpResumeTest, UploadsContinueOnlyWhereTheRemotePartIsAPrefix) {
    const std::string bytes = PatternBytes(300000);
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
        {"larger", {}, PatternBytes(500000, 99), bytes, nullptr},  // replaced, not appended to
        {"missing", {}, std::nullopt, bytes, " at 0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempCurrentFolder cwd;
        TempDir local;
        TestFtpServer server(c.serverFlags);
        local.WriteFile("f.bin", bytes);
        if (c.remoteBefore) server.root().WriteFile("r/f.bin", *c.remoteBefore);
        FtpTransfer ftp;
        ASSERT_TRUE(ftp.Login(L"127.0.0.1", L"anonymous", L"", server.port(), true));
        EXPECT_TRUE(ftp.UploadFile(text::FromUtf8(local.Join("f.bin")), L"/r/f.bin", true));
        EXPECT_TRUE(server.root().ReadFile("r/f.bin") == c.remoteAfter);
        if (c.store && !*c.store) EXPECT_EQ(server.CountCommands("STOR"), 0u);
        if (c.store && *c.store)
            EXPECT_TRUE(server.LastCommand("STOR").ends_with(c.store)) << server.LastCommand("STOR");
        if (!c.remoteBefore || c.remoteBefore->size() == bytes.size())
            EXPECT_EQ(server.CountCommands("REST"), 0u);
    }
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
