// The launcher dialog in process: the state machine with a scripted
// downloader (retries and their reports, a deferred error box), counters to
// bar widths and the download progress arithmetic, the messages' wide
// formatting and the launcher log's bytes.
#include "support/test_common.h"

#include "launcher/game_launcher_dlg.h"
#include "launcher/launcher_messages.h"
#include "launcher/status_text.h"
#include "support/recording_view.h"
#include "support/test_platform.h"

namespace {
class LauncherDlg : public ::testing::Test {
protected:
    LauncherDlg() {
        platform.m_scripted = true;
        Make();
    }
    // A dialog of the install folder `dir`, its launcher log emptied.
    void Make(std::vector<std::wstring> args = {L"QuonLauncher.exe"}) {
        args[0] = dir.wpath() + L"/QuonLauncher.exe";
        dlg = std::make_unique<CGameLauncherDlg>(platform, view, args);
        dlg->ResetLauncherLog();
    }
    std::wstring Log() { return ReadUtf16File(dir.Join("log/LauncherLog.txt")); }
    std::string LogBytes() { return dir.ReadFile("log/LauncherLog.txt"); }
    int32_t TotalWidth(uint32_t recv, uint32_t size) {
        dlg->m_dwTotalRecv = recv;
        dlg->m_dwTotalSize = size;
        dlg->RefreshProgress();
        const RECT bar = dlg->GetTotalBar();
        return bar.right - bar.left;
    }

    TempDir dir;
    TestPlatform platform{dir.wpath() + L"/QuonLauncher.exe"};
    RecordingView view;
    ScriptedDownloader& downloads = platform.m_scriptedDownloader;
    std::unique_ptr<CGameLauncherDlg> dlg;
};
using StateMachine = LauncherDlg;
using Progress = LauncherDlg;
using LauncherLogTest = LauncherDlg;
}  // namespace

TEST_F(StateMachine, UpdaterThatCannotStartIsReportedByLsError) {
    platform.m_startResult = 2;
    Make({L"QuonLauncher.exe", L"QA"});
    dlg->SetState(STATE_RUN_UPDATER);
    dlg->ProcessState();
    EXPECT_EQ(dlg->GetState(), STATE_ERROR);
    EXPECT_TRUE(view.Boxes().empty());  // deferred
    EXPECT_EQ(platform.Starts()[0].parameters, L"QA");
    dlg->ProcessState();
    EXPECT_EQ(dlg->GetState(), STATE_END);
    const std::wstring expected =
        L"File execute failed(QuonLauncherUpdater.exe) - The specified file was not found.";
    ASSERT_EQ(view.Boxes().size(), 1u);
    EXPECT_EQ(view.Boxes()[0], expected);
    EXPECT_EQ(view.LastCaption(), L"QuonLauncher.exe");
    EXPECT_EQ(view.LastStyle(), MB_SYSTEMMODAL);
    EXPECT_NE(Log().find(L"Function :[CGameLauncherDlg::Ls_Error] Message :[" + expected + L"]"),
              std::wstring::npos);
}

TEST_F(StateMachine, DownloadsRetryTenTimesButNotOnAFullDisk) {
    // Ten failures then success is a success.
    for (int i = 0; i < 10; ++i) downloads.Push(INET_E_CANNOT_CONNECT);
    EXPECT_TRUE(dlg->URLDownload(L"http://x/f", dir.wpath() + L"/f", nullptr));
    EXPECT_EQ(downloads.m_calls, 11);
    EXPECT_EQ(downloads.m_cacheDeletes, 1);
    EXPECT_EQ(platform.m_sleptMs, 10000u);
    EXPECT_TRUE(view.Boxes().empty());
    // Eleven show entry 14 once, with the path and the code in hex.
    downloads.m_calls = 0;
    downloads.m_default = INET_E_RESOURCE_NOT_FOUND;
    const std::wstring target = dir.wpath() + L"/Temp/packserv.txt";
    EXPECT_FALSE(dlg->URLDownload(L"http://x/packserv.txt", target, nullptr));
    EXPECT_EQ(downloads.m_calls, 11);
    const std::wstring expected = text::FormatW(GetLauncherMessage(14), target.c_str(), 0x800c0005u);
    EXPECT_EQ(view.Boxes(), std::vector<std::wstring>{expected});
    EXPECT_EQ(dlg->GetPendingError(), expected);
    EXPECT_NE(Log().find(L"Function :[CGameLauncherDlg::URLDownload]"), std::wstring::npos);
    // A full disk stops at once with entry 13.
    downloads.m_calls = 0;
    downloads.Push(E_OUTOFMEMORY);
    EXPECT_FALSE(dlg->URLDownload(L"http://x/a", L"/inst/Temp/a.zip", nullptr));
    EXPECT_EQ(downloads.m_calls, 1);
    EXPECT_EQ(view.Boxes().back(), text::FormatW(GetLauncherMessage(13), L"/inst/Temp/a.zip"));
}

TEST_F(Progress, BarWidthsFollowTheCountersOnlyWhileUpdating) {
    dlg->SetState(STATE_UPDATE_FILES);
    // Unsigned, not negative; not clamped; 1/3 in single precision rounds up (162 in double).
    for (auto [recv, size, width] : {std::tuple{0u, 1000u, 0},
                                     {500u, 0u, 0},
                                     {1000u, 1000u, 489},
                                     {1500000000u, 3000000000u, 244},
                                     {2000u, 1000u, 978},
                                     {1u, 3u, 163}})
        EXPECT_EQ(TotalWidth(recv, size), width) << recv << "/" << size;
    EXPECT_EQ(dlg->GetTotalBar().left, 104);
    dlg->m_dwFileRecv = 3;
    dlg->m_dwFileSize = 4;
    dlg->SetState(STATE_COMPARE_LISTS);    // checksum passes move no bar
    EXPECT_EQ(TotalWidth(10, 1000), 163);  // the last width stays
    EXPECT_EQ(dlg->GetFileBar().right - dlg->GetFileBar().left, 0);
    dlg->SetState(STATE_UPDATE_FILES);
    dlg->RefreshProgress();
    EXPECT_EQ(dlg->GetFileBar().right, 104 + 366);
}

TEST_F(Progress, DownloadReportsReplaceAFilesShareOnRetry) {
    dlg->SetState(STATE_UPDATE_FILES);
    dlg->m_dwTotalSize = 5000000;
    EXPECT_EQ(dlg->OnDownloadProgress(1200000, 0, BINDSTATUS_DOWNLOADINGDATA, L""), S_OK);
    EXPECT_EQ(dlg->m_dwTotalRecv.load(), 1200000u);
    EXPECT_TRUE(dlg->m_bTextRefresh.load());  // crossed a whole million
    // The same file fetched again from its start replaces its share.
    dlg->OnDownloadProgress(300000, 0, BINDSTATUS_BEGINDOWNLOADDATA, L"");
    EXPECT_EQ(dlg->m_dwTotalRecv.load(), 300000u);
    dlg->OnDownloadProgress(3000000, 0, BINDSTATUS_ENDDOWNLOADDATA, L"");
    // The next file adds to the total once its last progress is reset.
    dlg->m_dwLastProgress = 0;
    dlg->OnDownloadProgress(500, 0, BINDSTATUS_DOWNLOADINGDATA, L"");
    EXPECT_EQ(dlg->m_dwTotalRecv.load(), 3000500u);
    EXPECT_EQ(dlg->m_dwFileRecv.load(), 500u);
    // Other statuses change no counter; quitting aborts.
    dlg->OnDownloadProgress(99, 0, BINDSTATUS_CONNECTING, L"");
    EXPECT_EQ(dlg->m_dwFileRecv.load(), 500u);
    dlg->SetState(STATE_QUIT);
    EXPECT_EQ(dlg->OnDownloadProgress(600, 0, BINDSTATUS_DOWNLOADINGDATA, L""), E_ABORT);
}

TEST_F(Progress, APatchPast4GiBFillsItsBarSteadilyToTheEnd) {
    for (int i = 0; i < 3; ++i) {
        auto entry = std::make_unique<PackFileInfo>();
        entry->nDownloadSize = 2000000000;
        dlg->m_vecUpdateList.push_back(std::move(entry));
    }
    dlg->SetState(STATE_UPDATE_FILES);
    dlg->m_dwTotalSize = dlg->GetTotalDownloadSize();
    EXPECT_EQ(dlg->m_dwTotalSize.load(), 6000000000u);
    int32_t last = 0;
    for (int file = 0; file < 3; ++file) {
        dlg->m_dwLastProgress = 0;  // as the update pass does before each file
        for (uint32_t got = 0; got <= 2000000000u; got += 250000000u) {
            dlg->OnDownloadProgress(got, 0, BINDSTATUS_DOWNLOADINGDATA, L"");
            const RECT bar = dlg->GetTotalBar();
            EXPECT_GE(bar.right - bar.left, last) << file << " " << got;
            last = bar.right - bar.left;
        }
    }
    EXPECT_EQ(last, 489);
    EXPECT_EQ(ComposeStatusText(dlg->GetStatusSnapshot()).line1, L"6000 MB / Total 6000 MB");
}

TEST(WideFormat, PercentSIsWideAndHexIsLowerCase) {
    EXPECT_STREQ(GetLauncherMessage(-1), L"");  // out of the table: empty, not a stray read
    EXPECT_STREQ(GetLauncherMessage(1000), L"");
    const std::wstring box = text::FormatW(GetLauncherMessage(14), L"/inst/Temp/packserv.txt", 0x800C0005u);
    EXPECT_NE(box.find(L"File name:/inst/Temp/packserv.txt\nResult:800c0005\n"), std::wstring::npos)
        << text::ToUtf8(box);
    EXPECT_EQ(text::FormatW(L"%s|%-5s|%c|%%", L"\uC54C\uB9BC", L"ab", L'x'), L"\uC54C\uB9BC|ab   |x|%");
    EXPECT_EQ(text::FormatCut(4, L"%s", L"abcdefgh"), L"abcd");
    EXPECT_EQ(text::FormatW(L"%s", std::wstring(5000, L'y').c_str()).size(), 5000u);
}

TEST_F(LauncherLogTest, RecordsAreUtf16WithOneMarkCrLfVerbatimAndCutTo1023Characters) {
    EXPECT_EQ(LogBytes(), "");
    dlg->WriteLauncherLog(L"a %s %d\nb", L"F::g", 12, L"x.cpp");
    const std::string first =
        "\xFF\xFE" +
        text::EncodeUtf16LE(L"cpp :[x.cpp] Line :[12] Function :[F::g] Message :[a %s %d\r\nb]\r\n");
    EXPECT_EQ(LogBytes(), first);
    dlg->WriteLauncherLog(L"second", L"F", 1, L"y.cpp");
    EXPECT_EQ(LogBytes(),
              first + text::EncodeUtf16LE(L"cpp :[y.cpp] Line :[1] Function :[F] Message :[second]\r\n"));
    dlg->ResetLauncherLog();
    dlg->WriteLauncherLog(std::wstring(2000, L'm'), L"F", 1, L"z.cpp");
    const std::wstring text = text::DecodeUtf16LE(LogBytes().substr(2));
    EXPECT_EQ(text.size(), 1023u);
    EXPECT_NE(text.back(), L'\n');
}

TEST_F(LauncherLogTest, TwoThreadsLoggingKeepEveryRecordWhole) {
    auto writer = [&](const wchar_t* who) {
        for (int i = 0; i < 200; ++i) dlg->WriteLauncherLog(std::wstring(100, who[0]), who, i, L"t.cpp");
    };
    std::thread a(writer, L"A"), b(writer, L"B");
    a.join();
    b.join();
    const std::string bytes = LogBytes();
    ASSERT_EQ(bytes.substr(0, 2), "\xFF\xFE");
    const std::wstring text = text::DecodeUtf16LE(bytes.substr(2));
    EXPECT_EQ(text.find(L'\uFEFF'), std::wstring::npos);  // one mark only
    size_t records = 0;
    for (size_t pos = 0; (pos = text.find(L"]\r\n", pos)) != std::wstring::npos; pos += 3) ++records;
    EXPECT_EQ(records, 400u);
    EXPECT_EQ(text.find(L"AB"), std::wstring::npos);
    EXPECT_EQ(text.find(L"BA"), std::wstring::npos);
}
