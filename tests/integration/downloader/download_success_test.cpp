// Downloads that succeed: the bytes, the progress reports, replacement of an
// existing file, the request headers, redirects and URL encoding.
#include <sys/stat.h>

#include <thread>

#include "downloader_fixture.h"

namespace {

TEST_F(DownloaderTest, CopiesBytesAndReportsProgressInOrder) {
    const std::string body = RandomBytes(1 << 20);
    m_served.WriteFile("data/big.bin", body);
    // Spread the body over about half a second so that the data reports are
    // spaced by the rate limit rather than by the server.
    m_server.SetSlowBody("/data/big.bin", 64 * 1024, std::chrono::milliseconds(30));

    auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(Fetch("data/big.bin", "big.bin"), S_OK);
    double elapsed = SecondsSince(start);

    EXPECT_EQ(m_local.ReadFile("big.bin"), body);
    EXPECT_EQ(LocalEntries(), std::vector<std::string>{"big.bin"});
    EXPECT_EQ(m_callback.startCount, 1);
    EXPECT_EQ(m_callback.stopCount, 1);
    EXPECT_EQ(m_callback.stopResult, S_OK);
    EXPECT_EQ(m_callback.StatusSequence(), (std::vector<uint32_t>{1, 2, 4, 5, 6}));
    EXPECT_EQ(m_callback.reports.front().text, L"127.0.0.1");

    uint32_t last = 0;
    for (const auto& r : m_callback.reports) {
        EXPECT_GE(r.progress, last) << "progress went back";
        last = r.progress;
        if (r.status >= 4) {
            EXPECT_EQ(r.progressMax, body.size());
        }
    }
    EXPECT_EQ(m_callback.reports.back().status, 6u);
    EXPECT_EQ(m_callback.reports.back().progress, body.size());
    EXPECT_EQ(m_callback.reports[m_callback.reports.size() - 2].progress, body.size());
    int dataReports = m_callback.CountStatus(5);
    EXPECT_GE(dataReports, 3);
    // At most ten a second, plus the first and the last.
    EXPECT_LE(dataReports, static_cast<int>(elapsed * 10) + 3);
}

TEST_F(DownloaderTest, ReplacesExistingTargetWithUsualMode) {
    m_served.WriteFile("list.txt", "new list\n");
    m_local.WriteFile("list.txt", "an older and longer list\n");
    chmod(m_local.Join("list.txt").c_str(), 0444);

    ASSERT_EQ(Fetch("list.txt", "list.txt"), S_OK);
    EXPECT_EQ(m_local.ReadFile("list.txt"), "new list\n");
    EXPECT_EQ(LocalEntries(), std::vector<std::string>{"list.txt"});
    struct stat st {};
    ASSERT_EQ(stat(m_local.Join("list.txt").c_str(), &st), 0);
    // Not the 0600 of a temporary file: others may read what was fetched.
    EXPECT_EQ(st.st_mode & 0644, 0644u);
}

TEST_F(DownloaderTest, EncodesSpacesAndNonAsciiInUrlWithoutCallbackToABackslashTarget) {
    m_served.WriteFile(
        "Data/Map One/\xC3\xBC"
        "ber.pak.zip",
        "zipbytes");
    std::filesystem::create_directories(m_local.Join("sub"));
    const std::wstring url = m_server.BaseUrlW() + L"Data/Map One/\u00FCber.pak.zip";
    ASSERT_EQ(m_downloader->DownloadToFile(url, m_local.wpath() + L"\\sub\\u.zip", nullptr), S_OK);
    EXPECT_EQ(m_local.ReadFile("sub/u.zip"), "zipbytes");
}

TEST_F(DownloaderTest, FollowsRedirectsUpToFive) {
    m_served.WriteFile("new/updater.exe", "program");
    m_server.SetRedirect("/updater.exe", "/new/updater.exe");
    ASSERT_EQ(Fetch("updater.exe", "updater.exe"), S_OK);
    EXPECT_EQ(m_local.ReadFile("updater.exe"), "program");
    EXPECT_EQ(m_callback.CountStatus(3), 1);

    m_server.SetRedirect("/loop", "/loop");
    EXPECT_EQ(Fetch("loop", "loop"), INET_E_REDIRECT_FAILED);
    EXPECT_EQ(m_server.RequestCount("/loop"), 6);
    EXPECT_FALSE(m_local.Exists("loop"));
}

TEST_F(DownloaderTest, ManySmallFilesInARowEachFetchedFreshWithNoCacheHeaders) {
    for (int i = 0; i < 50; ++i) m_served.WriteFile("f" + std::to_string(i), std::string(i, 'x'));
    for (int i = 0; i <= 50; ++i) {
        const std::string name = "f" + std::to_string(i % 50);  // the first one twice
        m_downloader->DeleteUrlCacheEntry(Url(name));
        ASSERT_EQ(Fetch(name, name), S_OK) << name;
        ASSERT_EQ(m_local.ReadFile(name), std::string(i % 50, 'x'));
        EXPECT_EQ(m_server.LastRequestHeader("/" + name, "Cache-Control"), "no-cache");
        EXPECT_EQ(m_server.LastRequestHeader("/" + name, "Pragma"), "no-cache");
    }
    EXPECT_EQ(m_server.RequestCount("/f0"), 2);
    EXPECT_EQ(LocalEntries().size(), 50u);  // the empty body "f0" too
    EXPECT_EQ(m_callback.reports.back().status, BINDSTATUS_ENDDOWNLOADDATA);
}

TEST_F(DownloaderTest, ConnectionClosedByServerWhileIdleIsReopened) {
    m_served.WriteFile("a.bin", "first");
    ASSERT_EQ(Fetch("a.bin", "a.bin"), S_OK);
    // The server drops idle kept-alive connections after one second.
    std::this_thread::sleep_for(std::chrono::milliseconds(1200));
    m_served.WriteFile("a.bin", "second");
    ASSERT_EQ(Fetch("a.bin", "a.bin"), S_OK);
    EXPECT_EQ(m_local.ReadFile("a.bin"), "second");
}

}  // namespace
