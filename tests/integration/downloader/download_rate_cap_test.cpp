// The process-wide bandwidth cap on real transfers: a capped download takes
// at least its size over the rate, two at once share the one cap, and a
// transfer held back by the cap still stops at once when aborted.
#include <thread>

#include "downloader_fixture.h"
#include "os/rate_cap.h"

namespace {

class RateCapTest : public DownloaderTest {
protected:
    ~RateCapTest() override { SetMaxReceiveRate(m_rateBefore); }
    const uint64_t m_rateBefore = MaxReceiveRate();
};

constexpr uint64_t kRate = 512 * 1024;

TEST_F(RateCapTest, CappedDownloadTakesAtLeastSizeOverRate) {
    const std::string body = RandomBytes(kRate);
    m_served.WriteFile("capped.zip", body);
    SetMaxReceiveRate(kRate);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(Fetch("capped.zip", "capped.zip"), S_OK);
    const double seconds = SecondsSince(start);
    EXPECT_GE(seconds, 0.9 * static_cast<double>(body.size()) / kRate);
    EXPECT_TRUE(m_local.ReadFile("capped.zip") == body);
    // Held back for about a second with a 1 s stall limit: the waiting is no
    // silence of the server, and the reports keep coming.
    EXPECT_GE(m_callback.CountStatus(BINDSTATUS_DOWNLOADINGDATA), 5);
}

TEST_F(RateCapTest, TwoConcurrentDownloadsShareTheCap) {
    const std::string first = RandomBytes(kRate / 2, 1), second = RandomBytes(kRate / 2, 2);
    m_served.WriteFile("a.zip", first);
    m_served.WriteFile("b.zip", second);
    SetMaxReceiveRate(kRate);
    auto other = CreateCurlUrlDownloader({15, 1});
    HRESULT otherResult = E_FAIL;
    const auto start = std::chrono::steady_clock::now();
    std::thread parallel(
        [&] { otherResult = other->DownloadToFile(Url("b.zip"), Target("b.zip"), nullptr); });
    const HRESULT result = Fetch("a.zip", "a.zip");
    parallel.join();
    const double seconds = SecondsSince(start);
    ASSERT_EQ(result, S_OK);
    ASSERT_EQ(otherResult, S_OK);
    EXPECT_GE(seconds, 0.9 * static_cast<double>(first.size() + second.size()) / kRate);
    EXPECT_TRUE(m_local.ReadFile("a.zip") == first);
    EXPECT_TRUE(m_local.ReadFile("b.zip") == second);
}

TEST_F(RateCapTest, AbortIsSeenWhileTheCapHoldsTheBodyBack) {
    m_served.WriteFile("slow.zip", RandomBytes(256 * 1024));
    // One receive buffer alone takes seconds at this rate.
    SetMaxReceiveRate(4 * 1024);
    const auto start = std::chrono::steady_clock::now();
    m_callback.answer = [start](const ProgressReport&) { return SecondsSince(start) > 0.3 ? E_ABORT : S_OK; };
    EXPECT_EQ(Fetch("slow.zip", "slow.zip"), E_ABORT);
    EXPECT_LT(SecondsSince(start), 1.0);
    EXPECT_TRUE(LocalEntries().empty());
}

}  // namespace
