#pragma once
// WinHTTP in asynchronous mode, driven as plain sequential steps: each step
// (send and wait for the headers, read one piece of the body) is started and
// then waited for in short slices, so that the caller can report progress,
// abort and notice a silent server while WinHTTP's own threads do the network
// work. A request's handles and its read buffer live until WinHTTP says the
// handle is closed, however the request ended.
#include <windows.h>
#include <winhttp.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "base/win_types.h"

namespace winhttp {

using Clock = std::chrono::steady_clock;

// A URL checked and split for WinHTTP.
struct Url {
    std::string text;  // UTF-8, spaces and non-ASCII bytes percent-encoded
    std::wstring host;
    INTERNET_PORT port = 0;
    bool secure = false;
    std::wstring pathAndQuery;  // fragment dropped
};

// Checks and splits a URL before any network work: INET_E_INVALID_URL when it
// cannot be parsed or holds control characters, INET_E_UNKNOWN_PROTOCOL for
// a scheme other than http and https.
HRESULT ParseUrl(const std::string& utf8, Url& url);
// A Location header's target, made absolute against the URL it answered.
std::string ResolveLocation(const std::string& base, const std::string& location);
// Whether `status` is a redirect that names where to go (301, 302, 303, 307, 308).
bool FollowsRedirect(DWORD status);
// A WinHTTP error -> the urlmon-style code.
HRESULT MapError(DWORD error);

// One asynchronous WinHTTP session with the system's proxy settings: those
// of the current user, automatic detection and configuration scripts
// included. Loopback addresses never go through a proxy.
class Session {
public:
    Session();
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    bool IsOpen() const { return m_session != nullptr; }
    HINTERNET handle() const { return m_session; }
    // Points `request` at the proxy the system chooses for `url` (none: direct).
    void ApplyProxy(HINTERNET request, const Url& url);

private:
    std::wstring ProxyFor(const Url& url);

    HINTERNET m_session = nullptr;
    std::mutex m_proxyLock;
    bool m_proxyRead = false;
    bool m_autoProxy = false;  // detection or a script; dropped once it fails
    std::wstring m_autoConfigUrl;
    bool m_autoDetect = false;
    std::wstring m_fixedProxy, m_fixedBypass;
    HINTERNET m_autoSession = nullptr;  // synchronous, for the proxy look-up
    std::map<std::wstring, std::wstring> m_proxyByOrigin;
};

// Limits of one request, in time.
struct Limits {
    std::chrono::seconds connect{15};  // name look-up and connection
    std::chrono::seconds stall{30};    // no answer or no byte for this long
};

// One GET. The destructor closes it (a transfer under way is cut off).
class Request {
public:
    // Polled between wait slices; false ends the step with E_ABORT.
    using KeepGoing = std::function<bool()>;

    Request(Session& session, const Url& url, const std::wstring& headers, const Limits& limits);
    ~Request();
    Request(const Request&) = delete;
    Request& operator=(const Request&) = delete;

    // Sends the request and waits for the response's headers: S_OK, E_ABORT,
    // INET_E_CONNECTION_TIMEOUT, or the mapped WinHTTP error.
    HRESULT Send(const KeepGoing& keepGoing);
    DWORD Status() const { return m_status; }
    // Response header lines ("Name: value"), CR LF separated.
    const std::string& Headers() const { return m_headers; }
    // The value of a response header ("" when missing), the first of its name.
    std::string Header(const std::string& name) const;
    // Content-Length, -1 when the response has none.
    int64_t ContentLength() const;
    // The next piece of the body; `size` 0 at its end.
    HRESULT Read(const char*& data, size_t& size, const KeepGoing& keepGoing);

    struct Shared;

private:
    // Waits for the step started last; `limit` without completion is a
    // timeout. `sending`: the request goes out, and once connected the stall
    // limit takes over.
    HRESULT Await(const KeepGoing& keepGoing, std::chrono::seconds limit, DWORD& bytes, bool sending = false);

    Limits m_limits;
    HINTERNET m_connection = nullptr;
    HINTERNET m_request = nullptr;
    Shared* m_shared = nullptr;
    std::wstring m_extraHeaders;
    DWORD m_status = 0;
    std::string m_headers;
};

// Sends a GET for `url` with `headers` (CR LF after each) and follows up to
// five redirects, each told first to `onRedirect` (the absolute target),
// which may abort by answering false. `request` ends as the final response's,
// whatever its status; INET_E_REDIRECT_FAILED when a sixth redirect comes.
HRESULT SendFollowingRedirects(Session& session, Url url, const std::wstring& headers, const Limits& limits,
                               const Request::KeepGoing& keepGoing,
                               const std::function<bool(const std::string&)>& onRedirect,
                               std::unique_ptr<Request>& request);

// The no-cache request headers every patch-server GET carries.
constexpr wchar_t kNoCacheHeaders[] = L"Cache-Control: no-cache\r\nPragma: no-cache\r\n";

// How long a wait slice lasts at most: the pace of the keep-going checks.
constexpr auto kWaitSlice = std::chrono::milliseconds(50);

}  // namespace winhttp
