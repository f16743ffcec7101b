#pragma once
// What every UrlDownloader implementation shares around its network
// requests: the state of one DownloadToFile call with its progress reports,
// the body's temporary file, continuing a body that broke off, and the steps
// from the first report to the commit.
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

#include "os/download_resume.h"
#include "os/part_file.h"
#include "os/url_download.h"

namespace download {

using Clock = std::chrono::steady_clock;
// Progress reports while data flows, and the heartbeat that lets the
// callback abort while the server is silent.
constexpr auto kReportInterval = std::chrono::milliseconds(100);

inline bool Failed(HRESULT hr) {
    return hr < 0;
}

// The code for a final HTTP status that is not a success (2xx).
HRESULT MapHttpStatus(long httpStatus);

// A URL as it goes on the wire: spaces and non-ASCII bytes percent-encoded
// (as a browser would send them). INET_E_INVALID_URL for control characters,
// which would cut or split the request line.
HRESULT EncodeUrl(const std::string& utf8Url, std::string& encoded);

// State of one DownloadToFile call.
struct Transfer {
    IBindStatusCallback* callback = nullptr;
    std::wstring url;
    std::wstring localPath;
    std::string target;
    PartFile* file = nullptr;
    // Set when this attempt asks for the rest of a body on disk.
    const ResumePoint* resume = nullptr;
    ResponseFacts facts;  // of the latest response
    // A 206 that does not continue the body on disk: the caller fetches anew.
    bool restartFull = false;
    uint64_t received = 0;  // bytes of the body on disk, earlier attempts' included
    uint64_t reported = 0;
    int64_t contentLength = -1;  // of the whole body
    bool begun = false;
    HRESULT failure = S_OK;  // decided inside the transfer: E_ABORT or a local error
    Clock::time_point lastReport = Clock::now();

    // Sets what the call is about: the body of `url` for `localPath` into `part`.
    void Aim(const std::wstring& url, const std::wstring& localPath, IBindStatusCallback* callback,
             PartFile* part);
    // False when the callback asked to abort; nothing is reported after that.
    bool Report(uint32_t status, const std::wstring& statusText);
    bool Report(uint32_t status) { return Report(status, url); }
    // The server sent the whole body instead of the rest: what is on disk goes.
    HRESULT StartOver();
    // Makes ready for one request chain: the whole body, or with `rest` the
    // rest of the body on disk.
    void Prepare(const ResumePoint* rest);
    // Body bytes of a 2xx answer with status `code` and Content-Length
    // `declared` (-1: none): written, reported, passed through the bandwidth
    // cap. The first ones tell which body it is and how long. False when the
    // transfer must stop (restartFull, or `failure` set).
    bool TakeBody(long code, int64_t declared, const char* data, size_t size);
    // What an attempt that failed with `hr` leaves for the next one.
    ResumePoint NextResumePoint(HRESULT hr) const;

private:
    bool Begin(long code, int64_t declared);
};

// The steps of DownloadToFile around the requests, for `t` (url, localPath,
// target, callback and file set): continues the body `kept` describes when
// it belongs to this call, else starts a new temporary; reports 1 and 2 with
// `host`; runs `attempt` (one request chain into `t`, given the resume point
// or null; its result) and, when the server cannot continue the body, again
// for the whole; checks the body is complete, reports its end and commits.
// `status` tells the final HTTP status of the last attempt. On a failure
// `next` receives what stays for the next call.
HRESULT Run(Transfer& t, const ResumePoint& kept, const std::wstring& host,
            const std::function<HRESULT(const ResumePoint*)>& attempt, const std::function<long()>& status,
            ResumePoint& next);

// The frame every downloader shares: no local cache to drop, the temporary
// of the current download and what continues it, OnStopBinding with the
// result. An implementation supplies Download.
class PartFileDownloader : public UrlDownloader {
public:
    // There is no local web cache: every request carries no-cache headers,
    // so proxies and the server answer afresh.
    void DeleteUrlCacheEntry(const std::wstring&) override {}
    HRESULT DownloadToFile(const std::wstring& url, const std::wstring& localPath,
                           IBindStatusCallback* callback) override;

protected:
    virtual HRESULT Download(const std::wstring& url, const std::wstring& localPath,
                             IBindStatusCallback* callback) = 0;

    // The temporary of the current download; after a broken attempt it keeps
    // what arrived, described by m_resume, for the next call.
    PartFile m_part;
    ResumePoint m_resume;
};

}  // namespace download
