// A body cut off by the server is continued by the next attempt at the same
// file with a Range request, when the server offers ranges and still holds
// the same version; otherwise the file is fetched whole again.
#include "downloader_fixture.h"

namespace {

using Ranges = TestHttpServer::Ranges;
constexpr size_t kArchiveSize = 1 << 20;
constexpr size_t kDropAfter = 200 * 1024;
const char* const kDate = "Mon, 07 Dec 2026 10:00:00 GMT";

class ResumeTest : public DownloaderTest {
protected:
    // Attempts as the launcher makes them (without its pauses): up to 11,
    // until one succeeds. Each attempt's reports are kept apart.
    HRESULT FetchWithRetries(const std::string& path, int& attempts) {
        HRESULT hr = E_FAIL;
        for (attempts = 1; attempts <= 11; ++attempts) {
            m_callback = RecordingCallback();
            hr = Fetch(path, "archive.zip");
            m_attemptReports.push_back(m_callback.reports);
            if (hr == S_OK) break;
            // Between attempts nothing torn carries the target's name.
            EXPECT_FALSE(m_local.Exists("archive.zip"));
        }
        return hr;
    }
    std::string Temporaries() const {
        std::string names;
        for (const auto& name : LocalEntries()) {
            if (name != "archive.zip") names += name + " ";
        }
        return names;
    }

    std::vector<std::vector<ProgressReport>> m_attemptReports;
};

TEST_F(ResumeTest, EveryAttemptContinuesWhereTheLastBrokeOff) {
    struct Case {
        const char* etag;
        const char* ifRange;  // what the client must send back
    };
    // A weak ETag may not be used for ranges: Last-Modified stands in.
    const Case cases[] = {{"\"v1\"", "\"v1\""}, {"W/\"v1\"", kDate}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.etag);
        const std::string body = RandomBytes(kArchiveSize, 11);
        m_served.WriteFile("archive.zip", body);
        const size_t sentBefore = m_server.BytesSent("/archive.zip");
        const int requestsBefore = m_server.RequestCount("/archive.zip");
        m_server.SetRanges("/archive.zip", Ranges::kHonoured);
        m_server.SetValidators("/archive.zip", c.etag, kDate);
        m_server.DropAfter("/archive.zip", kDropAfter);
        m_attemptReports.clear();

        int attempts = 0;
        ASSERT_EQ(FetchWithRetries("archive.zip", attempts), S_OK);
        EXPECT_EQ(attempts, static_cast<int>((kArchiveSize + kDropAfter - 1) / kDropAfter));
        EXPECT_TRUE(m_local.ReadFile("archive.zip") == body);
        EXPECT_EQ(Temporaries(), "");
        const size_t sent = m_server.BytesSent("/archive.zip") - sentBefore;
        EXPECT_LT(sent, kArchiveSize * 12 / 10);
        std::cout << "[ figures  ] " << sent << " bytes sent for an archive of " << kArchiveSize << " in "
                  << attempts << " attempts\n";
        EXPECT_EQ(m_server.RequestCount("/archive.zip") - requestsBefore, attempts);
        EXPECT_EQ(m_server.LastRequestHeader("/archive.zip", "Range"),
                  "bytes=" + std::to_string((attempts - 1) * kDropAfter) + "-");
        EXPECT_EQ(m_server.LastRequestHeader("/archive.zip", "If-Range"), c.ifRange);

        // The bytes on disk count as received: over all attempts the data
        // counts never go back, and each is out of the whole archive.
        uint32_t last = 0;
        for (const auto& reports : m_attemptReports) {
            for (const auto& r : reports) {
                if (r.status < BINDSTATUS_BEGINDOWNLOADDATA || r.status > BINDSTATUS_ENDDOWNLOADDATA)
                    continue;
                EXPECT_GE(r.progress, last);
                EXPECT_EQ(r.progressMax, kArchiveSize);
                last = r.progress;
            }
        }
        EXPECT_EQ(last, kArchiveSize);
        std::filesystem::remove(m_local.Join("archive.zip"));
    }
}

TEST_F(ResumeTest, ServerAnsweringTheRangeWithTheWholeBodyIsFetchedAnew) {
    const std::string body = RandomBytes(kArchiveSize, 12);
    m_served.WriteFile("archive.zip", body);
    m_server.SetRanges("/archive.zip", Ranges::kAdvertised);
    m_server.SetValidators("/archive.zip", "\"v1\"", "");
    m_server.DropAfter("/archive.zip", 300 * 1024);
    EXPECT_EQ(Fetch("archive.zip", "archive.zip"), INET_E_DATA_NOT_AVAILABLE);
    EXPECT_NE(Temporaries(), "") << "kept for the next attempt";

    m_server.ClearFaults();
    m_callback = RecordingCallback();
    ASSERT_EQ(Fetch("archive.zip", "archive.zip"), S_OK);
    EXPECT_EQ(m_server.LastRequestHeader("/archive.zip", "Range"), "bytes=307200-");
    EXPECT_TRUE(m_local.ReadFile("archive.zip") == body);
    EXPECT_EQ(Temporaries(), "");
    EXPECT_EQ(m_callback.reports.back().progress, kArchiveSize);
}

TEST_F(ResumeTest, AnotherVersionOnTheServerIsFetchedWhole) {
    // A server that honours If-Range answers the new version whole; one that
    // ignores it sends a range of the new version, which the client must
    // not splice onto the old bytes. A new version that is empty brings no
    // body byte at all: the old bytes must not pass for it.
    struct Case {
        Ranges ranges;
        size_t newSize;
        int requests;  // made by the attempt after the change
    };
    const Case cases[] = {{Ranges::kHonoured, kArchiveSize + 5000, 1},
                          {Ranges::kIgnoreIfRange, kArchiveSize + 5000, 2},
                          {Ranges::kHonoured, 0, 2}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.newSize);
        SCOPED_TRACE(static_cast<int>(c.ranges));
        m_served.WriteFile("archive.zip", RandomBytes(kArchiveSize, 13));
        m_server.SetRanges("/archive.zip", c.ranges);
        m_server.SetValidators("/archive.zip", "\"v1\"", kDate);
        m_server.DropAfter("/archive.zip", 300 * 1024);
        EXPECT_EQ(Fetch("archive.zip", "archive.zip"), INET_E_DATA_NOT_AVAILABLE);

        const std::string newer = RandomBytes(c.newSize, 14);
        m_served.WriteFile("archive.zip", newer);
        m_server.SetValidators("/archive.zip", "\"v2\"", "Tue, 08 Dec 2026 10:00:00 GMT");
        m_server.ClearFaults();
        const int requestsBefore = m_server.RequestCount("/archive.zip");
        ASSERT_EQ(Fetch("archive.zip", "archive.zip"), S_OK);
        EXPECT_TRUE(m_local.ReadFile("archive.zip") == newer);
        EXPECT_EQ(Temporaries(), "");
        EXPECT_EQ(m_server.RequestCount("/archive.zip") - requestsBefore, c.requests);
        std::filesystem::remove(m_local.Join("archive.zip"));
    }
}

TEST_F(ResumeTest, BrokenBodyIsKeptOnlyForTheNextAttemptAtTheSameFile) {
    m_served.WriteFile("archive.zip", RandomBytes(kArchiveSize, 15));
    m_served.WriteFile("other.zip", "other");
    m_server.DropAfter("/archive.zip", 300 * 1024);

    // Without a validator there is nothing to continue safely.
    EXPECT_EQ(Fetch("archive.zip", "archive.zip"), INET_E_DATA_NOT_AVAILABLE);
    EXPECT_EQ(Temporaries(), "");
    m_server.SetRanges("/archive.zip", Ranges::kHonoured);
    m_server.SetValidators("/archive.zip", "\"v1\"", "");

    // Another file next: the broken body goes.
    EXPECT_EQ(Fetch("archive.zip", "archive.zip"), INET_E_DATA_NOT_AVAILABLE);
    EXPECT_NE(Temporaries(), "");
    EXPECT_EQ(Fetch("other.zip", "other.zip"), S_OK);
    EXPECT_EQ(LocalEntries(), std::vector<std::string>{"other.zip"});

    // An abort (the player quits) leaves nothing behind either.
    EXPECT_EQ(Fetch("archive.zip", "archive.zip"), INET_E_DATA_NOT_AVAILABLE);
    m_callback = RecordingCallback();
    m_callback.answer = [](const ProgressReport&) { return E_ABORT; };
    EXPECT_EQ(Fetch("archive.zip", "archive.zip"), E_ABORT);
    EXPECT_EQ(LocalEntries(), std::vector<std::string>{"other.zip"});

    // Nor does a downloader that goes with a broken body kept.
    m_callback = RecordingCallback();
    EXPECT_EQ(Fetch("archive.zip", "archive.zip"), INET_E_DATA_NOT_AVAILABLE);
    EXPECT_EQ(m_server.HadRequestHeader("/archive.zip", "Range"), false);
    m_downloader.reset();
    EXPECT_EQ(LocalEntries(), std::vector<std::string>{"other.zip"});
}

}  // namespace
