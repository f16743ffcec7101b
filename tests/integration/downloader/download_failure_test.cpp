// Failures of the server, the network and the URL: each maps to its code,
// and none leaves a file or a temporary behind or touches an existing target.
#include "downloader_fixture.h"

namespace {

TEST_F(DownloaderTest, HttpErrorStatusesMapAndSaveNoErrorPage) {
    struct Case {
        int status;
        HRESULT expected;
    };
    const Case cases[] = {{404, INET_E_OBJECT_NOT_FOUND},
                          {410, INET_E_OBJECT_NOT_FOUND},
                          {403, INET_E_DOWNLOAD_FAILURE},
                          {500, INET_E_DOWNLOAD_FAILURE},
                          {503, INET_E_DOWNLOAD_FAILURE}};
    m_served.WriteFile("file.zip", "content");
    m_local.WriteFile("file.zip", "old");
    for (const Case& c : cases) {
        m_server.SetStatus("/file.zip", c.status);
        m_callback = RecordingCallback();
        EXPECT_EQ(Fetch("file.zip", "file.zip"), c.expected) << c.status;
        EXPECT_EQ(m_callback.stopResult, c.expected);
        EXPECT_EQ(m_callback.CountStatus(4), 0) << "an error page is no data";
        EXPECT_EQ(m_local.ReadFile("file.zip"), "old") << c.status;
        EXPECT_EQ(LocalEntries(), std::vector<std::string>{"file.zip"});
    }
}

TEST_F(DownloaderTest, RecoversAfterServerFailures) {
    m_served.WriteFile("packserv.md5", "0123");
    m_server.FailNextRequests(2);
    EXPECT_EQ(Fetch("packserv.md5", "packserv.md5"), INET_E_DOWNLOAD_FAILURE);
    EXPECT_EQ(Fetch("packserv.md5", "packserv.md5"), INET_E_DOWNLOAD_FAILURE);
    EXPECT_EQ(Fetch("packserv.md5", "packserv.md5"), S_OK);
    EXPECT_EQ(m_local.ReadFile("packserv.md5"), "0123");
    EXPECT_EQ(m_server.RequestCount("/packserv.md5"), 3);
}

TEST_F(DownloaderTest, DroppedConnectionKeepsOldTarget) {
    m_served.WriteFile("big.zip", RandomBytes(256 * 1024));
    m_local.WriteFile("big.zip", "previous complete file");
    for (size_t dropAt : {100 * 1024, 0}) {
        m_server.DropAfter("/big.zip", dropAt);
        m_callback = RecordingCallback();
        EXPECT_EQ(Fetch("big.zip", "big.zip"), INET_E_DATA_NOT_AVAILABLE) << dropAt;
        EXPECT_EQ(m_local.ReadFile("big.zip"), "previous complete file");
        EXPECT_EQ(LocalEntries(), std::vector<std::string>{"big.zip"});
        EXPECT_EQ(m_callback.stopResult, INET_E_DATA_NOT_AVAILABLE);
        EXPECT_EQ(m_callback.CountStatus(6), 0);
    }

    // The same downloader goes on working after a broken connection.
    m_server.ClearFaults();
    EXPECT_EQ(Fetch("big.zip", "big.zip"), S_OK);
    EXPECT_EQ(m_local.ReadFile("big.zip"), m_served.ReadFile("big.zip"));
}

TEST_F(DownloaderTest, UnknownHostAndRefusedConnection) {
    auto start = std::chrono::steady_clock::now();
    HRESULT hr = m_downloader->DownloadToFile(L"http://patch.quon-test.invalid/packserv.txt",
                                              Target("packserv.txt"), &m_callback);
    EXPECT_EQ(static_cast<uint32_t>(hr), 0x800c0005u);  // INET_E_RESOURCE_NOT_FOUND
    EXPECT_LT(SecondsSince(start), 2.0);
    EXPECT_EQ(m_callback.reports.front().text, L"patch.quon-test.invalid");

    const SilentPort refusing(false);
    m_callback = RecordingCallback();
    EXPECT_EQ(m_downloader->DownloadToFile(text::FromUtf8(refusing.Url("/packserv.txt")),
                                           Target("packserv.txt"), &m_callback),
              INET_E_CANNOT_CONNECT);
    EXPECT_EQ(m_callback.stopCount, 1);
    EXPECT_TRUE(LocalEntries().empty());
}

TEST_F(DownloaderTest, BadUrlsFailBeforeAnyRequest) {
    struct Case {
        std::wstring url;
        HRESULT expected;
    };
    const std::wstring base = m_server.BaseUrlW();
    const Case cases[] = {
        {L"ftp://127.0.0.1/packserv.txt", INET_E_UNKNOWN_PROTOCOL},
        {L"file:///etc/passwd", INET_E_UNKNOWN_PROTOCOL},
        {L"packserv.txt", INET_E_INVALID_URL},
        {L"http://", INET_E_INVALID_URL},
        {L"", INET_E_INVALID_URL},
        {base + L"a\r\nX-Injected: 1", INET_E_INVALID_URL},
        {base + std::wstring(L"a\0b", 3), INET_E_INVALID_URL},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(m_downloader->DownloadToFile(c.url, Target("out"), nullptr), c.expected)
            << text::ToUtf8(c.url);
    }
    EXPECT_EQ(m_server.TotalRequests(), 0);
    EXPECT_TRUE(LocalEntries().empty());
}

}  // namespace
