// FtpTransfer's own decisions over a recording session: separators and
// cancelling in a folder walk, how a REST reply and a reconnect are judged.
#include <gtest/gtest.h>

#include <functional>
#include <set>

#include "services/ftp/ftp_transfer.h"
#include "support/temp_current_folder.h"

namespace {

struct RecordingSession : FtpSession {
    std::set<std::string> folders{"/"};
    std::vector<std::string> calls;
    std::string reply = "350 Restarting.";
    bool connectOk = true;
    std::function<void()> onCreate;

    bool Connect(const std::string&, uint16_t, const std::string&, const std::string&,
                 bool passive) override {
        calls.push_back(passive ? "connect passive" : "connect active");
        return connectOk;
    }
    void Disconnect() override { calls.push_back("disconnect"); }
    void Abort() override {}
    bool EnterFolder(const std::string& path) override {
        calls.push_back("cd " + path);
        return folders.count(path) > 0;
    }
    bool MakeFolder(const std::string& path) override {
        calls.push_back("mkdir " + path);
        folders.insert(path);
        if (onCreate) onCreate();
        return true;
    }
    FtpFindResult FindFirst(const std::string&, FtpFindData&) override { return FtpFindResult::NoMoreFiles; }
    FtpFindResult FindNext(FtpFindData&) override { return FtpFindResult::NoMoreFiles; }
    void CloseFind() override {}
    bool Command(const std::string& command) override {
        calls.push_back(command);
        return true;
    }
    std::string GetLastResponseInfo() const override { return reply; }
    bool OpenForWrite(const std::string&) override { return false; }
    bool Write(const void*, size_t, size_t&) override { return false; }
    bool CloseRemoteFile() override { return false; }

    std::vector<std::string> Made() const {
        std::vector<std::string> made;
        for (const auto& c : calls) {
            if (c.rfind("mkdir ", 0) == 0) made.push_back(c.substr(6));
        }
        return made;
    }
};

class FtpTransferLogicTest : public ::testing::Test {
protected:
    FtpTransferLogicTest() {
        auto session = std::make_unique<RecordingSession>();
        m_session = session.get();
        m_ftp = std::make_unique<FtpTransfer>(std::move(session));
    }
    TempCurrentFolder m_cwd;
    RecordingSession* m_session;
    std::unique_ptr<FtpTransfer> m_ftp;
};

TEST_F(FtpTransferLogicTest, WalkTakesBackslashesAsSeparatorsAndStopsAfterACancel) {
    ASSERT_TRUE(m_ftp->Login(L"h", L"u", L"p", 21, true));
    EXPECT_EQ(m_session->calls.front(), "connect passive");
    EXPECT_FALSE(m_ftp->CreateRemoteFolders(L""));
    m_session->folders.insert("/a");
    ASSERT_TRUE(m_ftp->CreateRemoteFolders(L"/a//b\\c/"));
    EXPECT_EQ(m_session->Made(), (std::vector<std::string>{"/a/b", "/a/b/c"}));
    m_session->calls.clear();
    m_session->onCreate = [this] { m_ftp->Close(); };
    EXPECT_FALSE(m_ftp->CreateRemoteFolders(L"/x/y/z/"));
    EXPECT_EQ(m_session->Made(), (std::vector<std::string>{"/x"}));
}

TEST_F(FtpTransferLogicTest, RestartIsJudgedByTheReplysFirstDigit) {
    ASSERT_TRUE(m_ftp->Login(L"h", L"u", L"p", 21, true));
    EXPECT_TRUE(m_ftp->SendRestart(L"/d/f.bin", 5000000000ULL));
    EXPECT_EQ(m_session->calls.back(), "REST 5000000000");
    m_session->reply = "502 Command not implemented.";
    EXPECT_FALSE(m_ftp->SendRestart(L"/d/f.bin", 1));
    m_session->reply = "";
    EXPECT_FALSE(m_ftp->SendRestart(L"/d/f.bin", 1));
}

TEST_F(FtpTransferLogicTest, ReconnectNeedsEveryStoredValue) {
    ASSERT_TRUE(m_ftp->Login(L"h", L"anonymous", L"", 21, true));
    m_ftp->Close();
    EXPECT_FALSE(m_ftp->Reconnect());  // an empty password cannot be sent again
    m_session->connectOk = false;
    EXPECT_FALSE(m_ftp->Login(L"h", L"u", L"p", 21, true));
    EXPECT_FALSE(m_ftp->IsConnected());
    EXPECT_NE(TempCurrentFolder::Read("log.txt").find("InternetConnect Failed "), std::string::npos);
    m_session->connectOk = true;
    EXPECT_TRUE(m_ftp->Reconnect());
}

}  // namespace
