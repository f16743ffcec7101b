// Aborts by the callback and stalled servers: both end the transfer quickly,
// leave nothing behind and let the next download work.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

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
    EXPECT_LT(elapsed, 0.8) << "the callback was not asked while the server was silent";
    EXPECT_LT(SecondsSince(abortedAt), 0.05);
    EXPECT_TRUE(LocalEntries().empty());
    // The silent phase was reported as data without new bytes.
    EXPECT_GE(m_callback.CountStatus(5), 3);
    EXPECT_EQ(m_callback.reports.back().progress, 1000u);
}

TEST_F(DownloaderTest, AbortBeforeConnectingSendsNoRequest) {
    m_served.WriteFile("a.zip", "a");
    m_callback.answer = [](const ProgressReport&) { return E_ABORT; };
    EXPECT_EQ(Fetch("a.zip", "a.zip"), E_ABORT);
    EXPECT_EQ(m_callback.reports.size(), 1u);
    EXPECT_EQ(m_callback.reports.front().status, 1u);
    EXPECT_EQ(m_server.TotalRequests(), 0);
    EXPECT_TRUE(LocalEntries().empty());
}

TEST_F(DownloaderTest, AbortAtEndOfDataKeepsOldTarget) {
    m_served.WriteFile("a.zip", "new");
    m_local.WriteFile("a.zip", "old");
    m_callback.answer = [](const ProgressReport& r) { return r.status == 6 ? E_ABORT : S_OK; };
    EXPECT_EQ(Fetch("a.zip", "a.zip"), E_ABORT);
    EXPECT_EQ(m_local.ReadFile("a.zip"), "old");
    EXPECT_EQ(LocalEntries(), std::vector<std::string>{"a.zip"});
}

TEST_F(DownloaderTest, StalledServerTimesOut) {
    m_served.WriteFile("stall.zip", RandomBytes(64 * 1024));
    m_server.StallAfter("/stall.zip", 1000);
    auto start = Clock::now();
    EXPECT_EQ(Fetch("stall.zip", "stall.zip"), INET_E_CONNECTION_TIMEOUT);
    double elapsed = SecondsSince(start);
    EXPECT_GE(elapsed, 0.9);
    EXPECT_LT(elapsed, 1.6);
    EXPECT_TRUE(LocalEntries().empty());
}

TEST_F(DownloaderTest, SlowServerThatKeepsSendingIsNoStall) {
    // Longer in total than the 1-second limit, with shorter gaps.
    m_served.WriteFile("slow.zip", RandomBytes(64 * 1024));
    m_server.SetSlowBody("/slow.zip", 8 * 1024, std::chrono::milliseconds(150));
    EXPECT_EQ(Fetch("slow.zip", "slow.zip"), S_OK);
    EXPECT_EQ(m_local.ReadFile("slow.zip"), m_served.ReadFile("slow.zip"));
}

TEST_F(DownloaderTest, ServerThatNeverAnswersTimesOut) {
    // A listening socket that is never accepted: the connection is made by
    // the kernel, the request is sent, and no byte ever comes back.
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ASSERT_EQ(listen(fd, 4), 0);
    socklen_t len = sizeof addr;
    getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    std::wstring url = L"http://127.0.0.1:" + std::to_wstring(ntohs(addr.sin_port)) + L"/packserv.txt";

    auto start = Clock::now();
    EXPECT_EQ(m_downloader->DownloadToFile(url, Target("packserv.txt"), &m_callback),
              INET_E_CONNECTION_TIMEOUT);
    EXPECT_LT(SecondsSince(start), 1.6);
    close(fd);
    EXPECT_TRUE(LocalEntries().empty());
    EXPECT_EQ(m_callback.CountStatus(4), 0);
    EXPECT_GE(m_callback.CountStatus(2), 3) << "the callback is asked while waiting for the server";
}

}  // namespace
