// Counters to bar widths and the download progress arithmetic.
#include <gtest/gtest.h>

#include "launcher/game_launcher_dlg.h"
#include "launcher/status_text.h"
#include "support/recording_view.h"
#include "support/test_platform.h"

namespace {
class Progress : public ::testing::Test {
protected:
    int32_t TotalWidth(uint32_t recv, uint32_t size) {
        dlg.m_dwTotalRecv = recv;
        dlg.m_dwTotalSize = size;
        dlg.RefreshProgress();
        const RECT bar = dlg.GetTotalBar();
        return bar.right - bar.left;
    }
    TestPlatform platform{L"/inst/QuonLauncher.exe"};
    RecordingView view;
    CGameLauncherDlg dlg{platform, view, {L"/inst/QuonLauncher.exe"}};
};
}  // namespace

TEST_F(Progress, BarWidthsFollowTheCountersOnlyWhileUpdating) {
    dlg.SetState(STATE_UPDATE_FILES);
    // Unsigned, not negative; not clamped; 1/3 in single precision rounds up (162 in double).
    for (auto [recv, size, width] : {std::tuple{0u, 1000u, 0},
                                     {500u, 0u, 0},
                                     {1000u, 1000u, 489},
                                     {1500000000u, 3000000000u, 244},
                                     {2000u, 1000u, 978},
                                     {1u, 3u, 163}})
        EXPECT_EQ(TotalWidth(recv, size), width) << recv << "/" << size;
    EXPECT_EQ(dlg.GetTotalBar().left, 104);
    dlg.m_dwFileRecv = 3;
    dlg.m_dwFileSize = 4;
    dlg.SetState(STATE_COMPARE_LISTS);     // checksum passes move no bar
    EXPECT_EQ(TotalWidth(10, 1000), 163);  // the last width stays
    EXPECT_EQ(dlg.GetFileBar().right - dlg.GetFileBar().left, 0);
    dlg.SetState(STATE_UPDATE_FILES);
    dlg.RefreshProgress();
    EXPECT_EQ(dlg.GetFileBar().right, 104 + 366);
}

TEST_F(Progress, DownloadReportsReplaceAFilesShareOnRetry) {
    dlg.SetState(STATE_UPDATE_FILES);
    dlg.m_dwTotalSize = 5000000;
    EXPECT_EQ(dlg.OnDownloadProgress(1200000, 0, BINDSTATUS_DOWNLOADINGDATA, L""), S_OK);
    EXPECT_EQ(dlg.m_dwTotalRecv.load(), 1200000u);
    EXPECT_TRUE(dlg.m_bTextRefresh.load());  // crossed a whole million
    // The same file fetched again from its start replaces its share.
    dlg.OnDownloadProgress(300000, 0, BINDSTATUS_BEGINDOWNLOADDATA, L"");
    EXPECT_EQ(dlg.m_dwTotalRecv.load(), 300000u);
    dlg.OnDownloadProgress(3000000, 0, BINDSTATUS_ENDDOWNLOADDATA, L"");
    // The next file adds to the total once its last progress is reset.
    dlg.m_dwLastProgress = 0;
    dlg.OnDownloadProgress(500, 0, BINDSTATUS_DOWNLOADINGDATA, L"");
    EXPECT_EQ(dlg.m_dwTotalRecv.load(), 3000500u);
    EXPECT_EQ(dlg.m_dwFileRecv.load(), 500u);
    // Other statuses change no counter; quitting aborts.
    dlg.OnDownloadProgress(99, 0, BINDSTATUS_CONNECTING, L"");
    EXPECT_EQ(dlg.m_dwFileRecv.load(), 500u);
    dlg.SetState(STATE_QUIT);
    EXPECT_EQ(dlg.OnDownloadProgress(600, 0, BINDSTATUS_DOWNLOADINGDATA, L""), E_ABORT);
}

TEST_F(Progress, APatchPast4GiBFillsItsBarSteadilyToTheEnd) {
    for (int i = 0; i < 3; ++i) {
        auto entry = std::make_unique<PackFileInfo>();
        entry->nDownloadSize = 2000000000;
        dlg.m_vecUpdateList.push_back(std::move(entry));
    }
    dlg.SetState(STATE_UPDATE_FILES);
    dlg.m_dwTotalSize = dlg.GetTotalDownloadSize();
    EXPECT_EQ(dlg.m_dwTotalSize.load(), 6000000000u);
    int32_t last = 0;
    for (int file = 0; file < 3; ++file) {
        dlg.m_dwLastProgress = 0;  // as the update pass does before each file
        for (uint32_t got = 0; got <= 2000000000u; got += 250000000u) {
            dlg.OnDownloadProgress(got, 0, BINDSTATUS_DOWNLOADINGDATA, L"");
            const RECT bar = dlg.GetTotalBar();
            EXPECT_GE(bar.right - bar.left, last) << file << " " << got;
            last = bar.right - bar.left;
        }
    }
    EXPECT_EQ(last, 489);
    EXPECT_EQ(ComposeStatusText(dlg.GetStatusSnapshot()).line1, L"6000 MB / Total 6000 MB");
}
