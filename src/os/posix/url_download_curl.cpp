#include "os/posix/url_download_curl.h"

#include <curl/curl.h>
#include <strings.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <utility>

#include "util/path_util.h"
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

uint64_t SizeOnDisk(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 ? static_cast<uint64_t>(info.st_size) : UINT64_MAX;
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
        curl_slist_free_all(m_rangeHeaders);
    }

    // There is no local web cache: every request carries no-cache headers,
    // so proxies and the server answer afresh.
    void DeleteUrlCacheEntry(const std::wstring&) override {}

    HRESULT DownloadToFile(const std::wstring& url, const std::wstring& localPath,
                           IBindStatusCallback* callback) override {
        HRESULT hr = Download(url, localPath, callback);
        // A broken body stays only while the next attempt may continue it.
        if (hr != S_OK && !m_resume.Matches(url, localPath)) m_part.Discard();
        if (callback) callback->OnStopBinding(hr);
        return hr;
    }

private:
    HRESULT Download(const std::wstring& url, const std::wstring& localPath, IBindStatusCallback* callback);
    // One request: the whole body, or with `resume` the rest of it.
    HRESULT Attempt(Transfer& t, const std::string& url, const ResumePoint* resume);
    HRESULT Perform(Transfer& t);
    void Configure(Transfer& t, const std::string& url, const ResumePoint* resume);
    ResumePoint NextResumePoint(const Transfer& t, HRESULT hr) const;

    CurlDownloadLimits m_limits;
    CURLM* m_multi = nullptr;
    CURL* m_easy = nullptr;
    curl_slist* m_headers = nullptr;
    curl_slist* m_rangeHeaders = nullptr;
    // The temporary of the current download; after a broken attempt it keeps
    // what arrived, described by m_resume, for the next call.
    PartFile m_part;
    ResumePoint m_resume;
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
    t.resume = resume;
    t.received = resume ? resume->onDisk : 0;
    t.begun = false;
    t.restartFull = false;
    t.contentLength = -1;
    t.facts = ResponseFacts();
    Configure(t, url, resume);
    return Perform(t);
}

ResumePoint CurlUrlDownloader::NextResumePoint(const Transfer& t, HRESULT hr) const {
    if (!KeepsPartialBody(hr) || !m_part.IsOpen()) return {};
    // Nothing new arrived: what was on disk still stands.
    if (!t.begun) return t.resume ? *t.resume : ResumePoint();
    if (t.contentLength <= 0 || t.received == 0 || t.received >= static_cast<uint64_t>(t.contentLength))
        return {};
    if (t.resume) {
        ResumePoint next = *t.resume;
        next.onDisk = t.received;
        return next;
    }
    const std::string validator = t.facts.IfRangeValidator();
    if (!t.facts.AcceptsByteRanges() || validator.empty()) return {};
    return {t.url,     t.localPath,  t.received,          static_cast<uint64_t>(t.contentLength),
            validator, t.facts.etag, t.facts.lastModified};
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
    t.callback = callback;
    t.url = url;
    t.localPath = localPath;
    t.target = NativePath(localPath);
    t.file = &m_part;
    const bool resuming =
        kept.Matches(url, localPath) && m_part.IsOpen() && SizeOnDisk(m_part.TempPath()) == kept.onDisk;
    // Bytes on disk count as received from the first report on.
    t.received = resuming ? kept.onDisk : 0;
    if (!t.Report(BINDSTATUS_FINDINGRESOURCE, text::FromUtf8(host))) return E_ABORT;
    if (!resuming) {
        m_part.Discard();
        hr = m_part.Create(t.target);
        if (Failed(hr)) return hr;
    }
    if (!t.Report(BINDSTATUS_CONNECTING, text::FromUtf8(host))) return E_ABORT;

    hr = Attempt(t, prepared, resuming ? &kept : nullptr);
    // The server holds another version, cannot serve the range, or "succeeded"
    // without sending any of the rest (which would leave the old bytes to be
    // taken for the whole): fetch anew.
    const bool nothingMore = !Failed(hr) && t.resume && !t.begun;
    if (resuming && (t.restartFull || nothingMore || ResponseCode(m_easy) == 416)) {
        hr = t.StartOver();
        if (Failed(hr)) return hr;
        hr = Attempt(t, prepared, nullptr);
    }
    if (Failed(hr)) {
        m_resume = NextResumePoint(t, hr);
        return hr;
    }

    long code = ResponseCode(m_easy);
    if (code < 200 || code >= 300) return MapHttpStatus(code);
    if (t.contentLength >= 0 && t.received != static_cast<uint64_t>(t.contentLength)) {
        m_resume = NextResumePoint(t, INET_E_DATA_NOT_AVAILABLE);
        return INET_E_DATA_NOT_AVAILABLE;
    }
    if (!t.begun && !t.Report(BINDSTATUS_BEGINDOWNLOADDATA)) return E_ABORT;
    if (t.reported != t.received && !t.Report(BINDSTATUS_DOWNLOADINGDATA)) return E_ABORT;
    if (!t.Report(BINDSTATUS_ENDDOWNLOADDATA)) return E_ABORT;
    return m_part.Commit();
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
