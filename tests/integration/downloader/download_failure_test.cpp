// Failures of the server, the network and the URL: each maps to its code,
// and none leaves a file or a temporary behind or touches an existing target.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "downloader_fixture.h"

namespace {

// A loopback port that nothing listens on.
int ClosedPort() {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    socklen_t len = sizeof addr;
    getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    close(fd);
    return ntohs(addr.sin_port);
}

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

TEST_F(DownloaderTest, MissingFileOnServerIsNotFound) {
    EXPECT_EQ(Fetch("nothing/here.zip", "here.zip"), INET_E_OBJECT_NOT_FOUND);
    EXPECT_TRUE(LocalEntries().empty());
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
    m_server.DropAfter("/big.zip", 100 * 1024);
    EXPECT_EQ(Fetch("big.zip", "big.zip"), INET_E_DATA_NOT_AVAILABLE);
    EXPECT_EQ(m_local.ReadFile("big.zip"), "previous complete file");
    EXPECT_EQ(LocalEntries(), std::vector<std::string>{"big.zip"});
    EXPECT_EQ(m_callback.stopResult, INET_E_DATA_NOT_AVAILABLE);
    EXPECT_EQ(m_callback.CountStatus(6), 0);

    // The same downloader goes on working after a broken connection.
    m_server.ClearFaults();
    EXPECT_EQ(Fetch("big.zip", "big.zip"), S_OK);
    EXPECT_EQ(m_local.ReadFile("big.zip"), m_served.ReadFile("big.zip"));
}

TEST_F(DownloaderTest, ConnectionDroppedBeforeAnyBodyByte) {
    m_served.WriteFile("x.zip", RandomBytes(1000));
    m_server.DropAfter("/x.zip", 0);
    EXPECT_EQ(Fetch("x.zip", "x.zip"), INET_E_DATA_NOT_AVAILABLE);
    EXPECT_TRUE(LocalEntries().empty());
}

TEST_F(DownloaderTest, UnknownHostIsResourceNotFound) {
    auto start = std::chrono::steady_clock::now();
    HRESULT hr = m_downloader->DownloadToFile(L"http://patch.quon-test.invalid/packserv.txt",
                                              Target("packserv.txt"), &m_callback);
    EXPECT_EQ(hr, INET_E_RESOURCE_NOT_FOUND);
    EXPECT_EQ(static_cast<uint32_t>(hr), 0x800c0005u);
    EXPECT_LT(SecondsSince(start), 2.0);
    EXPECT_TRUE(LocalEntries().empty());
    EXPECT_EQ(m_callback.reports.front().text, L"patch.quon-test.invalid");
}

TEST_F(DownloaderTest, RefusedConnectionIsCannotConnect) {
    std::wstring url = L"http://127.0.0.1:" + std::to_wstring(ClosedPort()) + L"/packserv.txt";
    EXPECT_EQ(m_downloader->DownloadToFile(url, Target("packserv.txt"), &m_callback), INET_E_CANNOT_CONNECT);
    EXPECT_TRUE(LocalEntries().empty());
    EXPECT_EQ(m_callback.stopCount, 1);
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
