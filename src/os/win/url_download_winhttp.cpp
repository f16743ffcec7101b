// UrlDownloader over WinHTTP. One session per downloader keeps its
// connections alive between calls; proxies and TLS are the system's. The body
// streams into a PartFile through the base file service, so the target's
// wide path never meets the C library.
#include <algorithm>
#include <utility>

#include "os/download_transfer.h"
#include "os/rate_cap.h"
#include "os/url_download.h"
#include "os/win/winhttp_request.h"
#include "util/text_util.h"

namespace {

using download::Clock;
using download::Failed;

struct Transfer : download::Transfer {
    long status = 0;  // of the latest response

    // The heartbeat while WinHTTP or the bandwidth cap keeps us waiting.
    bool Beat() {
        if (Clock::now() - lastReport < download::kReportInterval) return failure != E_ABORT;
        return Report(begun ? BINDSTATUS_DOWNLOADINGDATA : BINDSTATUS_CONNECTING);
    }
};

class WinHttpUrlDownloader final : public download::PartFileDownloader {
public:
    explicit WinHttpUrlDownloader(int stallSeconds) { m_limits.stall = std::chrono::seconds(stallSeconds); }

private:
    HRESULT Download(const std::wstring& url, const std::wstring& localPath,
                     IBindStatusCallback* callback) override {
        const ResumePoint kept = std::exchange(m_resume, ResumePoint());
        if (callback && callback->OnStartBinding() == E_ABORT) return E_ABORT;
        if (!m_session.IsOpen()) return E_OUTOFMEMORY;
        if (url.find(L'\0') != std::wstring::npos) return INET_E_INVALID_URL;
        winhttp::Url parsed;
        HRESULT hr = winhttp::ParseUrl(text::ToUtf8(url), parsed);
        if (Failed(hr)) return hr;
        Transfer t;
        t.Aim(url, localPath, callback, &m_part);
        return download::Run(
            t, kept, parsed.host, [&](const ResumePoint* resume) { return Attempt(t, parsed, resume); },
            [&t] { return t.status; }, m_resume);
    }

    // One request chain (redirects followed): the whole body, or with
    // `resume` the rest of it. A final status other than 2xx is its code.
    HRESULT Attempt(Transfer& t, const winhttp::Url& url, const ResumePoint* resume);

    winhttp::Limits m_limits;
    winhttp::Session m_session;
};

HRESULT WinHttpUrlDownloader::Attempt(Transfer& t, const winhttp::Url& url, const ResumePoint* resume) {
    t.Prepare(resume);
    t.status = 0;
    std::wstring headers = winhttp::kNoCacheHeaders;
    if (resume) {
        // The rest of the body, only if the server still has the same version
        // (If-Range); otherwise it answers 200 with the whole.
        headers += L"Range: bytes=" + std::to_wstring(resume->onDisk) + L"-\r\n";
        headers += L"If-Range: " + text::FromUtf8(resume->validator) + L"\r\n";
    }
    std::unique_ptr<winhttp::Request> request;
    HRESULT hr = winhttp::SendFollowingRedirects(
        m_session, url, headers, m_limits, [&t] { return t.Beat(); },
        [&t](const std::string& next) { return t.Report(BINDSTATUS_REDIRECTING, text::FromUtf8(next)); },
        request);
    if (Failed(hr)) return hr;
    t.status = static_cast<long>(request->Status());
    const std::string& lines = request->Headers();
    for (size_t from = 0; from < lines.size();) {
        const size_t end = std::min(lines.find("\r\n", from), lines.size());
        t.facts.Take(std::string_view(lines).substr(from, end - from));
        from = end + 2;
    }
    // The body of a response that is no success is never saved.
    if (t.status < 200 || t.status >= 300) return download::MapHttpStatus(t.status);
    const int64_t declared = request->ContentLength();
    // A whole body that breaks off before its first byte is still short.
    if (!t.resume) t.contentLength = declared;

    // While the bandwidth cap holds a body back, the reports (and with them
    // the abort checks) keep their pace.
    ThrottleWatch watch([&t] { return t.Beat(); });
    for (;;) {
        const char* data = nullptr;
        size_t size = 0;
        hr = request->Read(data, size, [&t] { return t.Beat(); });
        if (Failed(hr)) return hr;
        if (size == 0) return S_OK;
        if (!t.TakeBody(t.status, declared, data, size)) return t.restartFull ? S_OK : t.failure;
    }
}

}  // namespace

std::unique_ptr<UrlDownloader> UrlDownloader::Create(int stallSeconds) {
    return std::make_unique<WinHttpUrlDownloader>(stallSeconds);
}
