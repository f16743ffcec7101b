// FtpTransfer's own decisions over a recording session (separators and
// cancelling in a folder walk, how a REST reply is judged), remote paths and
// the listing's time column.
#include "support/test_common.h"

#include "services/ftp/ftp_remote_path.h"
#include "services/ftp/ftp_transfer.h"
#include "os/posix/ftp_list_time.h"

namespace {

struct RecordingSession : FtpSession {
    std::set<std::string> folders{"/"};
    std::vector<std::string> calls, made;
    std::string reply = "350 Restarting.";
    std::function<void()> onCreate;

    bool Connect(const std::string&, uint16_t, const std::string&, const std::string&, bool) override {
        return true;
    }
    void Disconnect() override {}
    void Abort() override {}
    bool EnterFolder(const std::string& path) override { return folders.count(path) > 0; }
    bool MakeFolder(const std::string& path) override {
        made.push_back(path);
        folders.insert(path);
        if (onCreate) onCreate();
        return true;
    }
    FtpFindResult FindFirst(const std::string&, FtpFindData&) override { return FtpFindResult::NoMoreFiles; }
    FtpFindResult FindNext(FtpFindData&) override { return FtpFindResult::NoMoreFiles; }
    void CloseFind() override {}
    bool Command(const std::string& command) override { return calls.push_back(command), true; }
    std::string GetLastResponseInfo() const override { return reply; }
    bool OpenForWrite(const std::string&) override { return false; }
    bool Write(const void*, size_t, size_t&) override { return false; }
    bool CloseRemoteFile() override { return false; }
};

// Folders made parent first, refusals and reconnecting: FtpUploadTest on a real server.
TEST(FtpTransferLogicTest, WalkTakesBackslashesStopsAfterACancelAndRestartIsJudgedByTheReply) {
    TempCurrentFolder cwd;
    auto owned = std::make_unique<RecordingSession>();
    RecordingSession& session = *owned;
    FtpTransfer ftp(std::move(owned));
    ASSERT_TRUE(ftp.Login(L"h", L"u", L"p", 21, true));
    EXPECT_FALSE(ftp.CreateRemoteFolders(L""));
    session.folders.insert("/a");
    ASSERT_TRUE(ftp.CreateRemoteFolders(L"/a//b\\c/"));
    EXPECT_EQ(session.made, (std::vector<std::string>{"/a/b", "/a/b/c"}));
    session.made.clear();
    session.onCreate = [&] { ftp.Close(); };
    EXPECT_FALSE(ftp.CreateRemoteFolders(L"/x/y/z/"));
    EXPECT_EQ(session.made, (std::vector<std::string>{"/x"}));

    ASSERT_TRUE(ftp.Login(L"h", L"u", L"p", 21, true));
    EXPECT_TRUE(ftp.SendRestart(L"/d/f.bin", 5000000000ULL));  // past 32 bits
    EXPECT_EQ(session.calls.back(), "REST 5000000000");
    for (const char* reply : {"502 Command not implemented.", ""}) {
        session.reply = reply;
        EXPECT_FALSE(ftp.SendRestart(L"/d/f.bin", 1)) << reply;
    }
}

TEST(FtpRemotePathTest, SlashRunsCollapseAndFolderParts) {
    using namespace ftp_path;
    EXPECT_EQ(Normalise(L"\\a\\\\b///c//"), L"/a/b/c/");
    EXPECT_EQ(Normalise(L""), L"");
    std::wstring text = L"aXbX";
    ReplaceAll(text, L"X", L"XX");  // a longer replacement is not matched again
    EXPECT_EQ(text, L"aXXbXX");
    for (auto [path, folder] :
         {std::pair{L"/2026127//x.zip", L"/2026127//"}, {L"/x.zip", L"/"}, {L"x.zip", L""}})
        EXPECT_EQ(GetRemoteFolderPart(path), folder);
    for (auto [path, folder] :
         {std::pair{L"/2026127//", L"/2026127"}, {L"/a/b", L"/a"}, {L"/", L"/"}, {L"/x.zip", L"/"}})
        EXPECT_EQ(FolderWithoutSlash(path), folder);
}

TEST(FtpListTimeTest, RecentAndOlderEntries) {
    const time_t now = 1796662800;  // 2026-12-07 17:00 UTC
    EXPECT_EQ(ParseListTime("Dec 07 15:20", now), 1796656800);
    EXPECT_EQ(ParseListTime("Dec 31 10:00", now), 1767175200);  // in the future: last year
    EXPECT_EQ(ParseListTime("Jan 02  2020", now), 1577923200);
    EXPECT_EQ(ParseListTime("yesterday", now), 0);
}

}  // namespace
