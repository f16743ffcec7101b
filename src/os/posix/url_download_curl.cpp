#include "os/posix/url_download_curl.h"

#include <curl/curl.h>
#include <strings.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <utility>

#include "util/text_util.h"
#include "os/posix/curl_result_map.h"
#include "os/posix/curl_transfer.h"
#include "os/rate_cap.h"

namespace {

using namespace curl_transfer;

void InitCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

class CurlUrlDownloader final : public download::PartFileDownloader {
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
        curl_slist_free_all(m_rangeHeaders);
    }

private:
    HRESULT Download(const std::wstring& url, const std::wstring& localPath, IBindStatusCallback* callback) override;
    // One request: the whole body, or with `resume` the rest of it.
    HRESULT Attempt(Transfer& t, const std::string& url, const ResumePoint* resume);
    HRESULT Perform(Transfer& t);
    void Configure(Transfer& t, const std::string& url, const ResumePoint* resume);

    CurlDownloadLimits m_limits;
    CURLM* m_multi = nullptr;
    CURL* m_easy = nullptr;
    curl_slist* m_headers = nullptr;
    curl_slist* m_rangeHeaders = nullptr;
};

void CurlUrlDownloader::Configure(Transfer& t, const std::string& url, const ResumePoint* resume) {
    CURL* e = m_easy;
    SetCommonGetOptions(e, url, static_cast<long>(m_limits.connectSeconds));
    curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, &OnHeader);
    curl_easy_setopt(e, CURLOPT_HEADERDATA, &t);
    curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, &OnBody);
    curl_easy_setopt(e, CURLOPT_WRITEDATA, &t);
    // The rest of the body, only if the server still has the same version
    // (If-Range); otherwise it answers 200 with the whole. CURLOPT_RANGE,
    // unlike curl's resume option, leaves a 200 answer to us.
    curl_slist_free_all(m_rangeHeaders);
    m_rangeHeaders = nullptr;
    if (!resume) {
        curl_easy_setopt(e, CURLOPT_RANGE, nullptr);
        curl_easy_setopt(e, CURLOPT_HTTPHEADER, m_headers);
        return;
    }
    for (const curl_slist* h = m_headers; h; h = h->next)
        m_rangeHeaders = curl_slist_append(m_rangeHeaders, h->data);
    m_rangeHeaders = curl_slist_append(m_rangeHeaders, ("If-Range: " + resume->validator).c_str());
    curl_easy_setopt(e, CURLOPT_RANGE, (std::to_string(resume->onDisk) + "-").c_str());
    curl_easy_setopt(e, CURLOPT_HTTPHEADER, m_rangeHeaders);
}

HRESULT CurlUrlDownloader::Attempt(Transfer& t, const std::string& url, const ResumePoint* resume) {
    t.Prepare(resume);
    Configure(t, url, resume);
    return Perform(t);
}

HRESULT CurlUrlDownloader::Download(const std::wstring& url, const std::wstring& localPath,
                                    IBindStatusCallback* callback) {
    const ResumePoint kept = std::exchange(m_resume, ResumePoint());
    if (callback && callback->OnStartBinding() == E_ABORT) return E_ABORT;
    if (!m_multi || !m_easy || !m_headers) return E_OUTOFMEMORY;
    if (url.find(L'\0') != std::wstring::npos) return INET_E_INVALID_URL;
    std::string prepared, host;
    HRESULT hr = PrepareUrl(text::ToUtf8(url), prepared, host);
    if (Failed(hr)) return hr;

    Transfer t;
    t.easy = m_easy;
    t.Aim(url, localPath, callback, &m_part);
    return download::Run(
        t, kept, text::FromUtf8(host), [&](const ResumePoint* resume) { return Attempt(t, prepared, resume); },
        [this] { return ResponseCode(m_easy); }, m_resume);
}

// Runs the transfer on the downloader's own multi handle, which keeps
// connections open between calls. The loop wakes at least every
// kReportInterval so that the callback can abort and a stall is noticed even
// while no byte arrives (curl's own progress callback may wait a second).
HRESULT CurlUrlDownloader::Perform(Transfer& t) {
    if (curl_multi_add_handle(m_multi, m_easy) != CURLM_OK) return E_FAIL;
    const auto stallLimit = std::chrono::seconds(m_limits.stallSeconds);
    t.lastActivity = t.lastReport = Clock::now();
    // While the bandwidth cap holds a body back, the reports (and with them
    // the abort checks) keep their pace.
    ThrottleWatch watch([&t] {
        if (Clock::now() - t.lastReport < kReportInterval) return true;
        return t.Report(BINDSTATUS_DOWNLOADINGDATA);
    });
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

std::unique_ptr<UrlDownloader> UrlDownloader::Create(int stallSeconds) {
    CurlDownloadLimits limits;
    limits.stallSeconds = stallSeconds;
    return std::make_unique<CurlUrlDownloader>(limits);
}
