// The downloader against a real loopback server: the bytes and the
// progress reports, well-formed requests, every failure mapped to its code
// without touching what is on disk, aborts that stop at once, the stall
// limit and the bandwidth cap.
#include "downloader_fixture.h"
#include "support/small_volume.h"

namespace {
using Clock = std::chrono::steady_clock;

TEST_F(DownloaderTest, CopiesBytesOverAnOlderTargetAndReportsProgressInOrder) {
    const std::string body = Noise(1 << 20);
    m_served.WriteFile("data/big.bin", body);
    m_local.WriteFile("big.bin", "an older file");
    namespace fs = std::filesystem;
    fs::permissions(m_local.Join("big.bin"), fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    // Spread the body over more than the 1 s stall limit, so that the data
    // reports are spaced by the rate limit rather than by the server, and a
    // server that keeps sending is seen to be no stall.
    m_server.SetSlowBody("/data/big.bin", 64 * 1024, std::chrono::milliseconds(70));
    auto start = Clock::now();
    ASSERT_EQ(Fetch("data/big.bin", "big.bin"), S_OK);
    double elapsed = SecondsSince(start);
    EXPECT_TRUE(m_local.ReadFile("big.bin") == body);
    EXPECT_EQ(LocalEntries(), "big.bin");
    // Not the 0600 of a temporary file: others may read what was fetched.
    const fs::perms shared = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::others_read;
    EXPECT_EQ(fs::status(m_local.Join("big.bin")).permissions() & shared, shared);

    EXPECT_EQ(m_callback.startCount, 1);
    EXPECT_EQ(m_callback.stopCount, 1);
    EXPECT_EQ(m_callback.stopResult, S_OK);
    EXPECT_EQ(m_callback.StatusSequence(), (std::vector<uint32_t>{1, 2, 4, 5, 6}));
    EXPECT_EQ(m_callback.reports.front().text, L"127.0.0.1");
    uint32_t last = 0;
    for (const auto& r : m_callback.reports) {
        EXPECT_GE(r.progress, last) << "progress went back";
        last = r.progress;
        if (r.status >= 4) EXPECT_EQ(r.progressMax, body.size());
    }
    EXPECT_EQ(m_callback.reports.back().progress, body.size());
    EXPECT_EQ(m_callback.reports[m_callback.reports.size() - 2].progress, body.size());
    // At most ten data reports a second, plus the first and the last.
    EXPECT_GE(m_callback.CountStatus(5), 3);
    EXPECT_LE(m_callback.CountStatus(5), static_cast<int>(elapsed * 10) + 3);
}

TEST_F(DownloaderTest, RequestsAreEncodedFreshAndFollowUpToFiveRedirects) {
    m_served.WriteFile("Data/Map One/\xC3\xBC" "ber.pak.zip", "zipbytes");
    std::filesystem::create_directories(m_local.Join("sub"));
    const std::wstring url = text::FromUtf8(m_server.BaseUrl()) + L"Data/Map One/\u00FCber.pak.zip";
    ASSERT_EQ(m_downloader->DownloadToFile(url, m_local.wpath() + L"\\sub\\u.zip", nullptr), S_OK);
    EXPECT_EQ(m_local.ReadFile("sub/u.zip"), "zipbytes");

    m_served.WriteFile("new/updater.exe", "program");
    m_server.SetRedirect("/updater.exe", "/new/updater.exe");
    ASSERT_EQ(Fetch("updater.exe", "updater.exe"), S_OK);
    EXPECT_EQ(m_local.ReadFile("updater.exe"), "program");
    EXPECT_EQ(m_callback.CountStatus(3), 1);
    m_server.SetRedirect("/loop", "/loop");
    EXPECT_EQ(Fetch("loop", "loop"), INET_E_REDIRECT_FAILED);
    EXPECT_EQ(m_server.RequestCount("/loop"), 6);
    EXPECT_FALSE(m_local.Exists("loop"));

    // Many small files in a row, the first one twice, each fetched afresh.
    for (int i = 0; i <= 50; ++i) {
        const std::string name = "f" + std::to_string(i % 50);
        m_served.WriteFile(name, std::string(i % 50, 'x'));
        m_downloader->DeleteUrlCacheEntry(Url(name));
        ASSERT_EQ(Fetch(name, name), S_OK) << name;
        ASSERT_EQ(m_local.ReadFile(name), std::string(i % 50, 'x'));
        EXPECT_EQ(m_server.LastRequestHeader("/" + name, "Cache-Control"), "no-cache");
        EXPECT_EQ(m_server.LastRequestHeader("/" + name, "Pragma"), "no-cache");
    }
    EXPECT_EQ(m_server.RequestCount("/f0"), 2);
    EXPECT_TRUE(m_local.Exists("f0"));  // the empty body too
    EXPECT_EQ(m_callback.reports.back().status, BINDSTATUS_ENDDOWNLOADDATA);

    // The server drops idle kept-alive connections after one second: reopened.
    std::this_thread::sleep_for(std::chrono::milliseconds(1200));
    m_served.WriteFile("f1", "second");
    ASSERT_EQ(Fetch("f1", "f1"), S_OK);
    EXPECT_EQ(m_local.ReadFile("f1"), "second");
}

TEST_F(DownloaderTest, EveryFailureHasItsCodeAndLeavesTheTargetFolderAsItWas) {
    struct Failure {
        const char* what;
        std::wstring url;
        std::string target;
        HRESULT code;
        std::function<void()> set = [] {};
        bool network = true;   // a request goes out (else: none, found before the network)
        bool data = false;     // some of the body arrives
        double seconds = 5;
    };
    m_served.WriteFile("file.zip", Noise(256 * 1024));
    m_local.WriteFile("file.zip", "old");
    m_local.WriteFile("plain", "a regular file");
    std::filesystem::create_directories(m_local.Join("folder"));
    // Small file systems of their own; need root.
    const SmallVolume small(m_local.Join("folder"), "64k");
    std::filesystem::create_directories(m_local.Join("ro"));
    const SmallVolume readOnly(m_local.Join("ro"), "64k", true);
    const bool mounted = small.mounted() && readOnly.mounted();
    const SilentPort silent(true), refusing(false);
    const std::wstring base = text::FromUtf8(m_server.BaseUrl()), file = base + L"file.zip";
    auto status = [this](int code) { return [this, code] { m_server.SetStatus("/file.zip", code); }; };
    auto drop = [this](size_t at) { return [this, at] { m_server.DropAfter("/file.zip", at); }; };
    const Failure cases[] = {
        {"404", file, "file.zip", INET_E_OBJECT_NOT_FOUND, status(404)},
        {"410", file, "file.zip", INET_E_OBJECT_NOT_FOUND, status(410)},
        {"403", file, "file.zip", INET_E_DOWNLOAD_FAILURE, status(403)},
        {"500", file, "file.zip", INET_E_DOWNLOAD_FAILURE, status(500)},
        {"dropped", file, "file.zip", INET_E_DATA_NOT_AVAILABLE, drop(100 * 1024), true, true},
        {"dropped at once", file, "file.zip", INET_E_DATA_NOT_AVAILABLE, drop(0), true, true},
        // The stall limit (1 s here) ends a server that goes silent mid-body; loose for sanitizer builds.
        {"stalled", file, "file.zip", INET_E_CONNECTION_TIMEOUT, [this] { m_server.StallAfter("/file.zip", 100); },
         true, true, 3},
        {"unknown host", L"http://patch.quon-test.invalid/f", "f", INET_E_RESOURCE_NOT_FOUND,
         [] {}, true, false, 2},
        {"refused", text::FromUtf8(refusing.Url("/f")), "f", INET_E_CANNOT_CONNECT},
        // The connection is made by the kernel, the request is sent, no byte comes back.
        {"silent", text::FromUtf8(silent.Url("/f")), "f", INET_E_CONNECTION_TIMEOUT, [] {}, true, false, 1.6},
        {"ftp", L"ftp://127.0.0.1/f", "f", INET_E_UNKNOWN_PROTOCOL, [] {}, false},
        {"file", L"file:///etc/passwd", "f", INET_E_UNKNOWN_PROTOCOL, [] {}, false},
        {"relative", L"packserv.txt", "f", INET_E_INVALID_URL, [] {}, false},
        {"no host", L"http://", "f", INET_E_INVALID_URL, [] {}, false},
        {"empty", L"", "f", INET_E_INVALID_URL, [] {}, false},
        {"line break", base + L"a\r\nX-Injected: 1", "f", INET_E_INVALID_URL, [] {}, false},
        {"NUL", base + std::wstring(L"a\0b", 3), "f", INET_E_INVALID_URL, [] {}, false},
        {"missing folder", file, "missing/a.bin", E_FAIL, [] {}, false},
        {"file as folder", file, "plain/a.bin", E_FAIL, [] {}, false},
        {"folder as target", file, "folder", E_FAIL, [] {}, false},
        {"read-only", file, "ro/a.bin", E_ACCESSDENIED, [] {}, false},
        {"full disk", file, "folder/file.zip", E_OUTOFMEMORY, [] {}, true, true, 1},
    };
    for (const Failure& c : cases) {
        SCOPED_TRACE(c.what);
        if (!mounted && (c.code == E_ACCESSDENIED || c.code == E_OUTOFMEMORY)) continue;
        m_server.ClearFaults();
        c.set();
        m_callback = RecordingCallback();
        const auto before = Tree();
        const int requests = m_server.TotalRequests();
        const auto start = Clock::now();
        EXPECT_EQ(m_downloader->DownloadToFile(c.url, Target(c.target), &m_callback), c.code);
        EXPECT_LT(SecondsSince(start), c.seconds);
        if (c.code == INET_E_CONNECTION_TIMEOUT) EXPECT_GE(SecondsSince(start), 0.9);
        EXPECT_EQ(Tree(), before);
        EXPECT_EQ(m_callback.CountStatus(BINDSTATUS_ENDDOWNLOADDATA), 0);
        if (!c.data) EXPECT_EQ(m_callback.CountStatus(BINDSTATUS_BEGINDOWNLOADDATA), 0) << "an error page is no data";
        if (m_callback.stopCount || c.network) EXPECT_EQ(m_callback.stopResult, c.code);
        if (c.network) EXPECT_EQ(m_callback.stopCount, 1);
        if (!c.network) EXPECT_EQ(m_server.TotalRequests(), requests);
        // The callback is asked while waiting for a silent server.
        if (c.code == INET_E_CONNECTION_TIMEOUT && !c.data) EXPECT_GE(m_callback.CountStatus(2), 3);
    }

    // The same downloader goes on working, also where room is left.
    m_server.ClearFaults();
    EXPECT_EQ(Fetch("file.zip", "file.zip"), S_OK);
    EXPECT_EQ(m_local.ReadFile("file.zip"), m_served.ReadFile("file.zip"));
    m_served.WriteFile("small.zip", "fits");
    if (mounted) EXPECT_EQ(Fetch("small.zip", "folder/small.zip"), S_OK);
}

TEST_F(DownloaderTest, AnAbortStopsAtOnceWhateverTheTransferWaitsFor) {
    struct Abort {
        const char* what;
        std::function<void()> set;
        std::function<bool(const ProgressReport&, double seconds)> when;
        bool network = true;
    };
    m_served.WriteFile("a.zip", Noise(256 * 1024));
    const Abort cases[] = {
        {"before connecting", [] {}, [](const ProgressReport& r, double) { return r.status == 1; }, false},
        {"at the end of the data", [] {}, [](const ProgressReport& r, double) { return r.status == 6; }},
        {"mid body",
         [this] { m_server.SetSlowBody("/a.zip", 16 * 1024, std::chrono::milliseconds(20)); },
         [](const ProgressReport& r, double) { return r.status == 5 && r.progress >= 64 * 1024; }},
        // The stall limit of this fixture is 1 s; the abort must win well before it.
        {"stalled server", [this] { m_server.StallAfter("/a.zip", 1000); },
         [](const ProgressReport&, double seconds) { return seconds > 0.3; }},
        // One receive buffer alone takes seconds at this rate.
        {"held back by the cap", [] { SetMaxReceiveRate(4 * 1024); },
         [](const ProgressReport&, double seconds) { return seconds > 0.3; }},
    };
    for (const Abort& c : cases) {
        SCOPED_TRACE(c.what);
        m_server.ClearFaults();
        c.set();
        m_local.WriteFile("a.zip", "old");
        const int requests = m_server.TotalRequests();
        const auto start = Clock::now();
        Clock::time_point abortedAt{};
        size_t reportsAtAbort = 0;
        m_callback = RecordingCallback();
        m_callback.answer = [&](const ProgressReport& r) {
            if (abortedAt == Clock::time_point{} && c.when(r, SecondsSince(start))) {
                abortedAt = Clock::now();
                reportsAtAbort = m_callback.reports.size();
            }
            return abortedAt == Clock::time_point{} ? S_OK : E_ABORT;
        };
        EXPECT_EQ(Fetch("a.zip", "a.zip"), E_ABORT);
        ASSERT_NE(abortedAt, Clock::time_point{});
        EXPECT_LT(SecondsSince(abortedAt), 0.5);
        EXPECT_EQ(m_callback.stopResult, E_ABORT);
        EXPECT_EQ(m_callback.reports.size(), reportsAtAbort) << "no report after the abort";
        EXPECT_EQ(m_local.ReadFile("a.zip"), "old");
        EXPECT_EQ(LocalEntries(), "a.zip");
        if (!c.network) EXPECT_EQ(m_server.TotalRequests(), requests);
    }
}

TEST_F(DownloaderTest, TwoCappedDownloadsShareTheCapAndAreNoStall) {
    constexpr uint64_t kRate = 512 * 1024;
    const std::string first = Noise(kRate / 2, 1), second = Noise(kRate / 2, 2);
    m_served.WriteFile("a.zip", first);
    m_served.WriteFile("b.zip", second);
    SetMaxReceiveRate(kRate);
    auto other = UrlDownloader::Create(1);
    HRESULT otherResult = E_FAIL;
    const auto start = Clock::now();
    std::thread parallel([&] { otherResult = other->DownloadToFile(Url("b.zip"), Target("b.zip"), nullptr); });
    const HRESULT result = Fetch("a.zip", "a.zip");
    parallel.join();
    ASSERT_EQ(result, S_OK);
    ASSERT_EQ(otherResult, S_OK);
    EXPECT_GE(SecondsSince(start), 0.9 * static_cast<double>(first.size() + second.size()) / kRate);
    EXPECT_TRUE(m_local.ReadFile("a.zip") == first);
    EXPECT_TRUE(m_local.ReadFile("b.zip") == second);
    // Held back for about a second with a 1 s stall limit: the waiting is no
    // silence of the server, and the reports keep coming.
    EXPECT_GE(m_callback.CountStatus(BINDSTATUS_DOWNLOADINGDATA), 5);
}

}  // namespace
