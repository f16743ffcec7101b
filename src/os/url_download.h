#pragma once
// URL download to a file, with urlmon's status-callback contract: the
// callback sees progress reports (status 1 finding, 2 connecting, 4 begin of
// data, 5 data, 6 end of data) and aborts the transfer by answering E_ABORT.
#include <cstdint>
#include <memory>
#include <string>

#include "base/win_types.h"

enum BindStatus : uint32_t {
    BINDSTATUS_FINDINGRESOURCE = 1,
    BINDSTATUS_CONNECTING = 2,
    BINDSTATUS_REDIRECTING = 3,
    BINDSTATUS_BEGINDOWNLOADDATA = 4,
    BINDSTATUS_DOWNLOADINGDATA = 5,
    BINDSTATUS_ENDDOWNLOADDATA = 6,
    BINDSTATUS_MIMETYPEAVAILABLE = 13,
    BINDSTATUS_CACHEFILENAMEAVAILABLE = 14,
    BINDSTATUS_BEGINSYNCOPERATION = 15,
    BINDSTATUS_ENDSYNCOPERATION = 16,
    BINDSTATUS_OBJECTAVAILABLE = 29,
};

class IBindStatusCallback {
public:
    virtual ~IBindStatusCallback() = default;
    virtual HRESULT QueryInterface() = 0;
    virtual uint32_t AddRef() = 0;
    virtual uint32_t Release() = 0;
    virtual HRESULT OnStartBinding() = 0;
    virtual HRESULT GetPriority() = 0;
    virtual HRESULT OnLowResource() = 0;
    virtual HRESULT OnProgress(uint32_t progress, uint32_t progressMax, uint32_t statusCode,
                               const wchar_t* statusText) = 0;
    virtual HRESULT OnStopBinding(HRESULT result) = 0;
    virtual HRESULT GetBindInfo() = 0;
    virtual HRESULT OnDataAvailable() = 0;
    virtual HRESULT OnObjectAvailable() = 0;
};

// One downloader serves one thread at a time; it keeps its connections open
// between calls. Both implementations (libcurl; WinHTTP with the system's
// proxy settings) send "Cache-Control: no-cache" and "Pragma: no-cache" with
// every request, follow up to five redirects, give up after 15 s without a
// connection and after 30 s without a byte (Create()'s argument changes the
// latter).
//
// Progress: OnStartBinding; OnProgress with 1 and 2 before the request, 3 for
// each redirect, 4 at the first body byte, 5 as data arrives (at most about
// ten a second, plus the first and the final count), 6 once the body is
// complete; progress is the bytes received, progressMax the size of the whole
// body or 0. Bytes an earlier attempt left on disk count as received (see
// DownloadToFile), so a continued body's counts go on from there. Received
// bytes pass through the process-wide bandwidth cap (os/rate_cap.h).
// While the server is silent the last status (2 before the body, 5 within
// it) is repeated every ~100 ms with unchanged counts, so an abort is seen
// within ~100 ms. OnStopBinding gets the result. Only E_ABORT from OnProgress
// aborts; the call then returns E_ABORT.
class UrlDownloader {
public:
    virtual ~UrlDownloader() = default;
    // Drops any cached copy of the URL; the result is not looked at. The
    // implementations keep no cache (see above), so there is nothing to drop.
    virtual void DeleteUrlCacheEntry(const std::wstring& url) = 0;
    // Fetches the whole resource into `localPath` (created or replaced; "\"
    // counts as a separator). The body goes to a temporary file beside the
    // target that is renamed over it only after a 2xx answer whose body is
    // complete (as long as Content-Length says); on a failure an existing
    // target is left as it was and the temporary is removed, with one
    // exception: a body that broke off (network or server failure) from a
    // server that offers byte ranges and a validator (strong ETag or
    // Last-Modified) stays until the next call. If that call is for the same
    // URL and target, it asks only for the rest (Range, If-Range); a 200
    // answer, another version or a 416 makes it fetch the whole anew. Any
    // other call, an abort and the downloader's end remove it. Results:
    //   S_OK                        the file is in place
    //   E_ABORT                     the callback answered E_ABORT
    //   E_OUTOFMEMORY               disk full or quota exceeded (ENOSPC, EDQUOT)
    //   E_ACCESSDENIED              no right to write there (EACCES, EPERM, EROFS)
    //   E_FAIL                      other local failures: missing folder, a file
    //                               where a folder should be, target is a folder
    //   INET_E_INVALID_URL          URL cannot be parsed, or holds control characters
    //   INET_E_UNKNOWN_PROTOCOL     scheme other than http and https
    //   INET_E_RESOURCE_NOT_FOUND   host name cannot be resolved (0x800c0005)
    //   INET_E_CANNOT_CONNECT       connection refused or unreachable
    //   INET_E_CONNECTION_TIMEOUT   no connection within 15 s, or no byte for 30 s
    //   INET_E_OBJECT_NOT_FOUND     HTTP 404 or 410
    //   INET_E_REDIRECT_FAILED      more than five redirects, or a 3xx not followed
    //   INET_E_DOWNLOAD_FAILURE     any other HTTP status >= 400; TLS and other
    //                               protocol failures
    //   INET_E_DATA_NOT_AVAILABLE   body cut short, connection dropped
    // An error page is never saved.
    virtual HRESULT DownloadToFile(const std::wstring& url, const std::wstring& localPath,
                                   IBindStatusCallback* callback) = 0;

    static constexpr int kDefaultStallSeconds = 30;
    // `stallSeconds`: no byte for this long ends a download.
    static std::unique_ptr<UrlDownloader> Create(int stallSeconds = kDefaultStallSeconds);
};
