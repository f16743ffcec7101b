// A body cut off by the server is continued by the next attempt at the same
// file with a Range request, when the server offers ranges and still holds
// the same version; otherwise the file is fetched whole again.
#include "downloader_fixture.h"

namespace {

using Ranges = TestHttpServer::Ranges;
constexpr size_t kArchiveSize = 1 << 20;
const char* const kDate = "Mon, 07 Dec 2026 10:00:00 GMT";

class ResumeTest : public DownloaderTest {
protected:
    // Serves a new version of archive.zip whose answers break off after `dropAfter`.
    void Serve(const std::string& body, Ranges ranges, const char* etag, size_t dropAfter) {
        m_served.WriteFile("archive.zip", body);
        m_server.SetRanges("/archive.zip", ranges);
        m_server.SetValidators("/archive.zip", etag, kDate);
        m_server.DropAfter("/archive.zip", dropAfter);
    }
};

TEST_F(ResumeTest, EveryAttemptContinuesWhereTheLastBrokeOff) {
    // A weak ETag may not be used for ranges: Last-Modified stands in.
    for (const auto& [etag, ifRange] : {std::pair{"\"v1\"", "\"v1\""}, {"W/\"v1\"", kDate}}) {
        SCOPED_TRACE(etag);
        const std::string body = Noise(kArchiveSize, 11);
        const size_t sentBefore = m_server.BytesSent("/archive.zip");
        Serve(body, Ranges::kHonoured, etag, 200 * 1024);
        // Attempts as the launcher makes them (without its pauses).
        uint32_t last = 0;
        HRESULT hr = E_FAIL;
        for (int attempt = 0; attempt < 11 && hr != S_OK; ++attempt) {
            // Between attempts nothing torn carries the target's name.
            EXPECT_FALSE(m_local.Exists("archive.zip"));
            m_callback = RecordingCallback();
            hr = Fetch("archive.zip", "archive.zip");
            // The bytes on disk count as received: over all attempts the data
            // counts never go back, and each is out of the whole archive.
            for (const auto& r : m_callback.reports) {
                if (r.status < BINDSTATUS_BEGINDOWNLOADDATA || r.status > BINDSTATUS_ENDDOWNLOADDATA) continue;
                EXPECT_GE(r.progress, last);
                EXPECT_EQ(r.progressMax, kArchiveSize);
                last = r.progress;
            }
        }
        ASSERT_EQ(hr, S_OK);
        EXPECT_EQ(last, kArchiveSize);
        EXPECT_TRUE(m_local.ReadFile("archive.zip") == body);
        EXPECT_EQ(LocalEntries(), "archive.zip");
        EXPECT_LT(m_server.BytesSent("/archive.zip") - sentBefore, kArchiveSize * 12 / 10);
        EXPECT_EQ(m_server.LastRequestHeader("/archive.zip", "Range"), "bytes=" + std::to_string(5 * 200 * 1024) + "-");
        EXPECT_EQ(m_server.LastRequestHeader("/archive.zip", "If-Range"), ifRange);
        std::filesystem::remove(m_local.Join("archive.zip"));
    }
}

TEST_F(ResumeTest, ARangeAnsweredWholeOrAnotherVersionIsFetchedWhole) {
    // A server that only advertises ranges answers with the whole body; one
    // that honours If-Range answers the new version whole; one that ignores
    // it sends a range of the new version, which the client must not splice
    // onto the old bytes. A new version that is empty brings no body byte at
    // all: the old bytes must not pass for it.
    struct Case {
        Ranges ranges;
        size_t newSize;
    };
    const Case cases[] = {{Ranges::kAdvertised, kArchiveSize},
                          {Ranges::kHonoured, kArchiveSize + 5000},
                          {Ranges::kIgnoreIfRange, kArchiveSize + 5000},
                          {Ranges::kHonoured, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << static_cast<int>(c.ranges) << " " << c.newSize);
        Serve(Noise(kArchiveSize, 13), c.ranges, "\"v1\"", 300 * 1024);
        EXPECT_EQ(Fetch("archive.zip", "archive.zip"), INET_E_DATA_NOT_AVAILABLE);
        EXPECT_TRUE(LocalEntries() != "" && !m_local.Exists("archive.zip")) << "kept for the next attempt";
        const std::string newer = Noise(c.newSize, 14);
        m_served.WriteFile("archive.zip", newer);
        m_server.SetValidators("/archive.zip", "\"v2\"", "Tue, 08 Dec 2026 10:00:00 GMT");
        m_server.ClearFaults();
        m_callback = RecordingCallback();
        ASSERT_EQ(Fetch("archive.zip", "archive.zip"), S_OK);
        if (c.ranges == Ranges::kAdvertised)
            EXPECT_EQ(m_server.LastRequestHeader("/archive.zip", "Range"), "bytes=307200-");
        EXPECT_TRUE(m_local.ReadFile("archive.zip") == newer);
        EXPECT_EQ(LocalEntries(), "archive.zip");
        EXPECT_EQ(m_callback.reports.back().progress, c.newSize);
        std::filesystem::remove(m_local.Join("archive.zip"));
    }
}

TEST_F(ResumeTest, BrokenBodyIsKeptOnlyForTheNextAttemptAtTheSameFile) {
    // Without a validator there is nothing to continue safely.
    Serve(Noise(kArchiveSize, 15), Ranges::kNone, "", 300 * 1024);
    m_server.SetValidators("/archive.zip", "", "");
    EXPECT_EQ(Fetch("archive.zip", "archive.zip"), INET_E_DATA_NOT_AVAILABLE);
    EXPECT_EQ(LocalEntries(), "");
    m_server.SetRanges("/archive.zip", Ranges::kHonoured);
    m_server.SetValidators("/archive.zip", "\"v1\"", "");
    m_served.WriteFile("other.zip", "other");
    // Another file next: the broken body goes.
    EXPECT_EQ(Fetch("archive.zip", "archive.zip"), INET_E_DATA_NOT_AVAILABLE);
    EXPECT_TRUE(LocalEntries() != "" && !m_local.Exists("archive.zip"));
    EXPECT_EQ(Fetch("other.zip", "other.zip"), S_OK);
    EXPECT_EQ(LocalEntries(), "other.zip");
    // An abort (the player quits) leaves nothing behind either.
    EXPECT_EQ(Fetch("archive.zip", "archive.zip"), INET_E_DATA_NOT_AVAILABLE);
    m_callback.answer = [](const ProgressReport&) { return E_ABORT; };
    EXPECT_EQ(Fetch("archive.zip", "archive.zip"), E_ABORT);
    EXPECT_EQ(LocalEntries(), "other.zip");
    // Nor does a downloader that goes with a broken body kept.
    m_callback = RecordingCallback();
    EXPECT_EQ(Fetch("archive.zip", "archive.zip"), INET_E_DATA_NOT_AVAILABLE);
    EXPECT_EQ(m_server.LastRequestHeader("/archive.zip", "Range"), "");
    m_downloader.reset();
    EXPECT_EQ(LocalEntries(), "other.zip");
}

}  // namespace
