#include "platform/posix/url_download_curl.h"

#include <curl/curl.h>
#include <strings.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "common/path_util.h"
#include "common/text_util.h"
#include "platform/posix/curl_result_map.h"
#include "platform/posix/part_file.h"

namespace {

using Clock = std::chrono::steady_clock;
// Progress reports while data flows, and the heartbeat that lets the
// callback abort while the server is silent.
constexpr auto kReportInterval = std::chrono::milliseconds(100);
constexpr long kMaxRedirects = 5;

void InitCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

bool Failed(HRESULT hr) {
    return hr < 0;
}

uint32_t Clamp32(uint64_t value) {
    return static_cast<uint32_t>(std::min<uint64_t>(value, UINT32_MAX));
}

// State of one DownloadToFile call, shared with curl's callbacks.
struct Transfer {
    CURL* easy = nullptr;
    IBindStatusCallback* callback = nullptr;
    std::wstring url;
    PartFile file;
    uint64_t received = 0;
    uint64_t reported = 0;
    int64_t contentLength = -1;
    bool begun = false;
    HRESULT failure = S_OK;  // decided inside a callback: E_ABORT or a local error
    Clock::time_point lastReport = Clock::now();
    Clock::time_point lastActivity = Clock::now();

    // False when the callback asked to abort.
    bool Report(uint32_t status, const std::wstring& statusText) {
        lastReport = Clock::now();
        if (!callback) return true;
        uint32_t max = contentLength > 0 ? Clamp32(static_cast<uint64_t>(contentLength)) : 0;
        reported = received;
        if (callback->OnProgress(Clamp32(received), max, status, statusText.c_str()) == E_ABORT) {
            failure = E_ABORT;
            return false;
        }
        return true;
    }
    bool Report(uint32_t status) { return Report(status, url); }
};

long ResponseCode(CURL* easy) {
    long code = 0;
    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &code);
    return code;
}

size_t OnHeader(char* data, size_t size, size_t count, void* user) {
    auto* t = static_cast<Transfer*>(user);
    size_t length = size * count;
    t->lastActivity = Clock::now();
    std::string line(data, length);
    long code = ResponseCode(t->easy);
    if (code >= 300 && code < 400 && line.size() > 9 && strncasecmp(line.c_str(), "location:", 9) == 0) {
        std::string target = line.substr(9);
        auto trim = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
        while (!target.empty() && trim(target.back())) target.pop_back();
        size_t start = 0;
        while (start < target.size() && trim(target[start])) ++start;
        if (!t->Report(BINDSTATUS_REDIRECTING, text::FromUtf8(target.substr(start)))) return 0;
    }
    return length;
}

size_t OnBody(char* data, size_t size, size_t count, void* user) {
    auto* t = static_cast<Transfer*>(user);
    size_t length = size * count;
    t->lastActivity = Clock::now();
    long code = ResponseCode(t->easy);
    // The body of a response that is no success is never saved.
    if (code < 200 || code >= 300) return length;
    bool first = !t->begun;
    if (first) {
        t->begun = true;
        curl_off_t declared = -1;
        curl_easy_getinfo(t->easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &declared);
        t->contentLength = declared;
    }
    HRESULT hr = t->file.Write(data, length);
    if (Failed(hr)) {
        t->failure = hr;
        return 0;
    }
    t->received += length;
    if (first) {
        if (!t->Report(BINDSTATUS_BEGINDOWNLOADDATA) || !t->Report(BINDSTATUS_DOWNLOADINGDATA)) return 0;
    } else if (Clock::now() - t->lastReport >= kReportInterval) {
        if (!t->Report(BINDSTATUS_DOWNLOADINGDATA)) return 0;
    }
    return length;
}

class CurlUrlDownloader final : public UrlDownloader {
public:
    explicit CurlUrlDownloader(const CurlDownloadLimits& limits) : m_limits(limits) {
        InitCurlOnce();
        m_multi = curl_multi_init();
        m_easy = curl_easy_init();
        m_headers = curl_slist_append(m_headers, "Cache-Control: no-cache");
        m_headers = curl_slist_append(m_headers, "Pragma: no-cache");
    }
    ~CurlUrlDownloader() override {
        if (m_easy) curl_easy_cleanup(m_easy);
        if (m_multi) curl_multi_cleanup(m_multi);
        curl_slist_free_all(m_headers);
    }

    // There is no local web cache: every request carries no-cache headers,
    // so proxies and the server answer afresh.
    void DeleteUrlCacheEntry(const std::wstring&) override {}

    HRESULT DownloadToFile(const std::wstring& url, const std::wstring& localPath,
                           IBindStatusCallback* callback) override {
        HRESULT hr = Download(url, localPath, callback);
        if (callback) callback->OnStopBinding(hr);
        return hr;
    }

private:
    HRESULT Download(const std::wstring& url, const std::wstring& localPath, IBindStatusCallback* callback);
    HRESULT Perform(Transfer& t);
    void Configure(Transfer& t, const std::string& url);

    CurlDownloadLimits m_limits;
    CURLM* m_multi = nullptr;
    CURL* m_easy = nullptr;
    curl_slist* m_headers = nullptr;
};

void CurlUrlDownloader::Configure(Transfer& t, const std::string& url) {
    CURL* e = m_easy;
    curl_easy_setopt(e, CURLOPT_URL, url.c_str());
    curl_easy_setopt(e, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(e, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(e, CURLOPT_MAXREDIRS, kMaxRedirects);
    curl_easy_setopt(e, CURLOPT_FAILONERROR, 1L);
    curl_easy_setopt(e, CURLOPT_HTTPHEADER, m_headers);
    curl_easy_setopt(e, CURLOPT_USERAGENT, "QuonLauncher");
    curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT, static_cast<long>(m_limits.connectSeconds));
    curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, &OnHeader);
    curl_easy_setopt(e, CURLOPT_HEADERDATA, &t);
    curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, &OnBody);
    curl_easy_setopt(e, CURLOPT_WRITEDATA, &t);
}

HRESULT CurlUrlDownloader::Download(const std::wstring& url, const std::wstring& localPath,
                                    IBindStatusCallback* callback) {
    if (callback && callback->OnStartBinding() == E_ABORT) return E_ABORT;
    if (!m_multi || !m_easy || !m_headers) return E_OUTOFMEMORY;
    if (url.find(L'\0') != std::wstring::npos) return INET_E_INVALID_URL;
    std::string prepared, host;
    HRESULT hr = PrepareUrl(text::ToUtf8(url), prepared, host);
    if (Failed(hr)) return hr;

    Transfer t;
    t.easy = m_easy;
    t.callback = callback;
    t.url = url;
    if (!t.Report(BINDSTATUS_FINDINGRESOURCE, text::FromUtf8(host))) return E_ABORT;
    hr = t.file.Create(NativePath(localPath));
    if (Failed(hr)) return hr;
    if (!t.Report(BINDSTATUS_CONNECTING, text::FromUtf8(host))) return E_ABORT;

    Configure(t, prepared);
    hr = Perform(t);
    if (Failed(hr)) return hr;  // t.file removes the temporary

    long code = ResponseCode(m_easy);
    if (code < 200 || code >= 300) return MapHttpStatus(code);
    if (t.contentLength >= 0 && t.received != static_cast<uint64_t>(t.contentLength)) {
        return INET_E_DATA_NOT_AVAILABLE;
    }
    if (!t.begun && !t.Report(BINDSTATUS_BEGINDOWNLOADDATA)) return E_ABORT;
    if (t.reported != t.received && !t.Report(BINDSTATUS_DOWNLOADINGDATA)) return E_ABORT;
    if (!t.Report(BINDSTATUS_ENDDOWNLOADDATA)) return E_ABORT;
    return t.file.Commit();
}

// Runs the transfer on the downloader's own multi handle, which keeps
// connections open between calls. The loop wakes at least every
// kReportInterval so that the callback can abort and a stall is noticed even
// while no byte arrives (curl's own progress callback may wait a second).
HRESULT CurlUrlDownloader::Perform(Transfer& t) {
    if (curl_multi_add_handle(m_multi, m_easy) != CURLM_OK) return E_FAIL;
    const auto stallLimit = std::chrono::seconds(m_limits.stallSeconds);
    t.lastActivity = t.lastReport = Clock::now();
    HRESULT hr = S_OK;
    while (true) {
        int running = 0;
        if (curl_multi_perform(m_multi, &running) != CURLM_OK) {
            hr = E_FAIL;
            break;
        }
        if (running == 0) {
            int left = 0;
            CURLcode result = CURLE_OK;
            while (CURLMsg* msg = curl_multi_info_read(m_multi, &left)) {
                if (msg->msg == CURLMSG_DONE && msg->easy_handle == m_easy) result = msg->data.result;
            }
            hr = Failed(t.failure) ? t.failure : MapCurlResult(result, ResponseCode(m_easy));
            break;
        }
        auto now = Clock::now();
        if (now - t.lastActivity >= stallLimit) {
            hr = INET_E_CONNECTION_TIMEOUT;
            break;
        }
        if (now - t.lastReport >= kReportInterval) {
            uint32_t status = t.begun ? BINDSTATUS_DOWNLOADINGDATA : BINDSTATUS_CONNECTING;
            if (!t.Report(status)) {
                hr = E_ABORT;
                break;
            }
        }
        auto wait = kReportInterval - (Clock::now() - t.lastReport);
        int waitMs = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(wait).count());
        curl_multi_poll(m_multi, nullptr, 0, std::clamp(waitMs, 1, 100), nullptr);
    }
    // Removing an unfinished transfer closes its connection; a finished one
    // stays in the pool for the next call.
    curl_multi_remove_handle(m_multi, m_easy);
    return hr;
}

}  // namespace

std::unique_ptr<UrlDownloader> CreateCurlUrlDownloader(const CurlDownloadLimits& limits) {
    return std::make_unique<CurlUrlDownloader>(limits);
}

std::unique_ptr<UrlDownloader> UrlDownloader::Create() {
    CurlDownloadLimits limits;
    if (const char* stall = std::getenv("QUON_DOWNLOAD_STALL_SECONDS")) {
        char* end = nullptr;
        long seconds = std::strtol(stall, &end, 10);
        if (end != stall && *end == '\0' && seconds > 0 && seconds <= 3600)
            limits.stallSeconds = static_cast<int>(seconds);
    }
    return std::make_unique<CurlUrlDownloader>(limits);
}
