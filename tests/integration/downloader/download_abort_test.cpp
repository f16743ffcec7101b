// Aborts by the callback and stalled servers: both end the transfer quickly,
// leave nothing behind and let the next download work.
#include <cstdlib>

#include "downloader_fixture.h"

namespace {

using Clock = std::chrono::steady_clock;

TEST_F(DownloaderTest, AbortMidBodyStopsAtOnce) {
    m_served.WriteFile("big.zip", RandomBytes(1 << 20));
    m_local.WriteFile("big.zip", "old");
    m_server.SetSlowBody("/big.zip", 16 * 1024, std::chrono::milliseconds(20));
    Clock::time_point abortedAt{};
    m_callback.answer = [&](const ProgressReport& r) {
        if (r.status == 5 && r.progress >= 64 * 1024) {
            abortedAt = Clock::now();
            return E_ABORT;
        }
        return S_OK;
    };
    EXPECT_EQ(Fetch("big.zip", "big.zip"), E_ABORT);
    ASSERT_NE(abortedAt, Clock::time_point{});
    EXPECT_LT(SecondsSince(abortedAt), 0.3);
    EXPECT_EQ(m_callback.stopResult, E_ABORT);
    EXPECT_EQ(m_callback.reports.back().status, 5u) << "no report after the abort";
    EXPECT_EQ(m_local.ReadFile("big.zip"), "old");
    EXPECT_EQ(LocalEntries(), std::vector<std::string>{"big.zip"});
}

TEST_F(DownloaderTest, AbortWhileServerStalls) {
    m_served.WriteFile("stall.zip", RandomBytes(64 * 1024));
    m_server.StallAfter("/stall.zip", 1000);
    // The limit of this fixture is 1 s; the abort must win well before it.
    const auto abortFrom = Clock::now() + std::chrono::milliseconds(300);
    Clock::time_point abortedAt{};
    m_callback.answer = [&](const ProgressReport& r) {
        if (Clock::now() >= abortFrom) {
            abortedAt = Clock::now();
            return E_ABORT;
        }
        return S_OK;
    };
    auto start = Clock::now();
    EXPECT_EQ(Fetch("stall.zip", "stall.zip"), E_ABORT);
    double elapsed = SecondsSince(start);
    EXPECT_LT(elapsed, 0.95) << "the callback was not asked while the server was silent";
    EXPECT_LT(SecondsSince(abortedAt), 0.5);
    EXPECT_TRUE(LocalEntries().empty());
    // The silent phase was reported as data without new bytes.
    EXPECT_GE(m_callback.CountStatus(5), 3);
    EXPECT_EQ(m_callback.reports.back().progress, 1000u);
}

TEST_F(DownloaderTest, AbortBeforeConnectingOrAtEndOfDataKeepsOldTarget) {
    m_served.WriteFile("a.zip", "new");
    m_local.WriteFile("a.zip", "old");
    for (uint32_t abortAt : {1u, 6u}) {
        m_callback = RecordingCallback();
        m_callback.answer = [abortAt](const ProgressReport& r) {
            return r.status == abortAt ? E_ABORT : S_OK;
        };
        EXPECT_EQ(Fetch("a.zip", "a.zip"), E_ABORT);
        EXPECT_EQ(m_callback.reports.back().status, abortAt);
        EXPECT_EQ(m_local.ReadFile("a.zip"), "old");
        EXPECT_EQ(LocalEntries(), std::vector<std::string>{"a.zip"});
        // Only the abort at the end of the data had sent a request.
        EXPECT_EQ(m_server.TotalRequests(), abortAt == 1 ? 0 : 1);
    }
}

TEST_F(DownloaderTest, SlowServerThatKeepsSendingIsNoStall) {
    // Longer in total than the 1-second limit, with shorter gaps.
    m_served.WriteFile("slow.zip", RandomBytes(64 * 1024));
    m_server.SetSlowBody("/slow.zip", 8 * 1024, std::chrono::milliseconds(150));
    EXPECT_EQ(Fetch("slow.zip", "slow.zip"), S_OK);
    EXPECT_EQ(m_local.ReadFile("slow.zip"), m_served.ReadFile("slow.zip"));
}

TEST_F(DownloaderTest, ServerThatNeverAnswersTimesOut) {
    // The connection is made by the kernel, the request is sent, and no byte ever comes back.
    const SilentPort silent(true);
    const std::wstring url = text::FromUtf8(silent.Url("/packserv.txt"));
    auto start = Clock::now();
    EXPECT_EQ(m_downloader->DownloadToFile(url, Target("packserv.txt"), &m_callback),
              INET_E_CONNECTION_TIMEOUT);
    EXPECT_LT(SecondsSince(start), 1.6);
    EXPECT_TRUE(LocalEntries().empty());
    EXPECT_EQ(m_callback.CountStatus(4), 0);
    EXPECT_GE(m_callback.CountStatus(2), 3) << "the callback is asked while waiting for the server";
}

// The stall limit of the launcher's own downloader is Create()'s argument.
TEST(UrlDownloaderCreate, StalledServerTimesOutAfterTheLimitItWasGiven) {
    TempDir served, local;
    served.WriteFile("stall.bin", RandomBytes(4096));
    TestHttpServer server(served.path());
    server.StallAfter("/stall.bin", 100);
    auto downloader = UrlDownloader::Create(1);

    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(
        downloader->DownloadToFile(server.BaseUrlW() + L"stall.bin", local.wpath() + L"/s.bin", nullptr),
        INET_E_CONNECTION_TIMEOUT);
    double elapsed = SecondsSince(start);
    EXPECT_GE(elapsed, 0.9);
    EXPECT_LT(elapsed, 3.0);  // loose: sanitizer builds on a busy machine
    EXPECT_TRUE(std::filesystem::is_empty(local.path())) << "no target and no temporary";
}

}  // namespace
