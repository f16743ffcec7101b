#include "os/win/winhttp_request.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <optional>
#include <vector>

#include "os/download_transfer.h"
#include "util/text_util.h"

namespace winhttp {

namespace {

constexpr DWORD kBufferBytes = 256 * 1024;
// WinHTTP's own time limits stand behind ours by this much, so that ours
// decide (and give the same result everywhere).
constexpr int kBackstopMs = 5000;

bool IsSchemeChar(char c, bool first) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) return true;
    return !first && ((c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.');
}

// The scheme of an absolute URL in lower case; empty when there is none.
std::string SchemeOf(const std::string& url) {
    const size_t colon = url.find(':');
    if (colon == std::string::npos || colon == 0) return {};
    std::string scheme;
    for (size_t i = 0; i < colon; ++i) {
        if (!IsSchemeChar(url[i], i == 0)) return {};
        scheme += static_cast<char>(url[i] >= 'A' && url[i] <= 'Z' ? url[i] + 32 : url[i]);
    }
    return scheme;
}

bool EqualsNoCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return tolower(x) == tolower(y); });
}

bool IsLoopback(const std::wstring& host) {
    return host == L"localhost" || host.rfind(L"127.", 0) == 0 || host == L"[::1]";
}

std::wstring Take(LPWSTR& owned) {
    std::wstring value = owned ? owned : L"";
    if (owned) GlobalFree(owned);
    owned = nullptr;
    return value;
}

}  // namespace

HRESULT ParseUrl(const std::string& utf8, Url& url) {
    std::string encoded;
    if (download::EncodeUrl(utf8, encoded) != S_OK) return INET_E_INVALID_URL;
    const std::string scheme = SchemeOf(encoded);
    if (scheme.empty()) return INET_E_INVALID_URL;
    if (scheme != "http" && scheme != "https") return INET_E_UNKNOWN_PROTOCOL;
    if (encoded.compare(scheme.size(), 3, "://") != 0) return INET_E_INVALID_URL;
    const std::wstring wide = text::FromUtf8(encoded);
    URL_COMPONENTS parts{};
    parts.dwStructSize = sizeof parts;
    parts.dwHostNameLength = parts.dwUrlPathLength = parts.dwExtraInfoLength = static_cast<DWORD>(-1);
    if (!WinHttpCrackUrl(wide.c_str(), static_cast<DWORD>(wide.size()), 0, &parts) || !parts.lpszHostName ||
        parts.dwHostNameLength == 0)
        return INET_E_INVALID_URL;
    url.text = encoded;
    url.host.assign(parts.lpszHostName, parts.dwHostNameLength);
    url.port = parts.nPort;
    url.secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
    url.pathAndQuery.assign(parts.lpszUrlPath ? parts.lpszUrlPath : L"", parts.dwUrlPathLength);
    url.pathAndQuery.append(parts.lpszExtraInfo ? parts.lpszExtraInfo : L"", parts.dwExtraInfoLength);
    url.pathAndQuery = url.pathAndQuery.substr(0, url.pathAndQuery.find(L'#'));
    if (url.pathAndQuery.empty() || url.pathAndQuery[0] != L'/') url.pathAndQuery.insert(0, L"/");
    return S_OK;
}

std::string ResolveLocation(const std::string& base, const std::string& location) {
    if (!SchemeOf(location).empty() && location.find(':') < location.find('/')) return location;
    const size_t schemeEnd = base.find("://");
    if (location.rfind("//", 0) == 0) return base.substr(0, schemeEnd + 1) + location;
    const size_t pathStart = base.find('/', schemeEnd + 3);
    const std::string origin = base.substr(0, pathStart);
    if (location.rfind('/', 0) == 0) return origin + location;
    std::string folder = pathStart == std::string::npos ? "/" : base.substr(pathStart);
    folder = folder.substr(0, folder.find_first_of("?#"));
    return origin + folder.substr(0, folder.rfind('/') + 1) + location;
}

bool FollowsRedirect(DWORD status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

HRESULT MapError(DWORD error) {
    switch (error) {
        case ERROR_WINHTTP_INVALID_URL:
            return INET_E_INVALID_URL;
        case ERROR_WINHTTP_UNRECOGNIZED_SCHEME:
            return INET_E_UNKNOWN_PROTOCOL;
        case ERROR_WINHTTP_NAME_NOT_RESOLVED:
        case ERROR_WINHTTP_AUTO_PROXY_SERVICE_ERROR:
            return INET_E_RESOURCE_NOT_FOUND;
        case ERROR_WINHTTP_CANNOT_CONNECT:
            return INET_E_CANNOT_CONNECT;
        case ERROR_WINHTTP_TIMEOUT:
        case ERROR_TIMEOUT:
        case WSAETIMEDOUT:
            return INET_E_CONNECTION_TIMEOUT;
        // The connection went, or closed before a whole answer.
        case ERROR_WINHTTP_CONNECTION_ERROR:
        case ERROR_WINHTTP_INVALID_SERVER_RESPONSE:
            return INET_E_DATA_NOT_AVAILABLE;
        case ERROR_WINHTTP_REDIRECT_FAILED:
            return INET_E_REDIRECT_FAILED;
        case ERROR_WINHTTP_OPERATION_CANCELLED:
            return E_ABORT;
        case ERROR_NOT_ENOUGH_MEMORY:
        case ERROR_OUTOFMEMORY:
            return E_OUTOFMEMORY;
        default:
            return INET_E_DOWNLOAD_FAILURE;
    }
}

Session::Session() {
    // The proxy is chosen per request (ApplyProxy); TLS and its certificate
    // checks are the system's.
    m_session = WinHttpOpen(L"QuonLauncher", WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                            WINHTTP_NO_PROXY_BYPASS, WINHTTP_FLAG_ASYNC);
}

Session::~Session() {
    if (m_autoSession) WinHttpCloseHandle(m_autoSession);
    if (m_session) WinHttpCloseHandle(m_session);
}

void Session::ApplyProxy(HINTERNET request, const Url& url) {
    if (IsLoopback(url.host)) return;
    std::wstring proxy = ProxyFor(url);
    if (proxy.empty()) return;
    WINHTTP_PROXY_INFO info{};
    info.dwAccessType = WINHTTP_ACCESS_TYPE_NAMED_PROXY;
    info.lpszProxy = proxy.data();
    std::lock_guard lock(m_proxyLock);
    info.lpszProxyBypass = m_fixedBypass.empty() ? nullptr : m_fixedBypass.data();
    WinHttpSetOption(request, WINHTTP_OPTION_PROXY, &info, sizeof info);
}

std::wstring Session::ProxyFor(const Url& url) {
    std::lock_guard lock(m_proxyLock);
    if (!m_proxyRead) {
        m_proxyRead = true;
        WINHTTP_CURRENT_USER_IE_PROXY_CONFIG config{};
        if (WinHttpGetIEProxyConfigForCurrentUser(&config)) {
            m_autoDetect = config.fAutoDetect;
            m_autoConfigUrl = Take(config.lpszAutoConfigUrl);
            m_fixedProxy = Take(config.lpszProxy);
            m_fixedBypass = Take(config.lpszProxyBypass);
            m_autoProxy = m_autoDetect || !m_autoConfigUrl.empty();
        }
    }
    if (!m_autoProxy) return m_fixedProxy;
    const std::wstring origin =
        (url.secure ? L"https://" : L"http://") + url.host + L":" + std::to_wstring(url.port);
    auto known = m_proxyByOrigin.find(origin);
    if (known != m_proxyByOrigin.end()) return known->second;
    if (!m_autoSession)
        m_autoSession = WinHttpOpen(L"QuonLauncher", WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                                    WINHTTP_NO_PROXY_BYPASS, 0);
    WINHTTP_AUTOPROXY_OPTIONS options{};
    if (!m_autoConfigUrl.empty()) {
        options.dwFlags = WINHTTP_AUTOPROXY_CONFIG_URL;
        options.lpszAutoConfigUrl = m_autoConfigUrl.c_str();
    } else {
        options.dwFlags = WINHTTP_AUTOPROXY_AUTO_DETECT;
        options.dwAutoDetectFlags = WINHTTP_AUTO_DETECT_TYPE_DHCP | WINHTTP_AUTO_DETECT_TYPE_DNS_A;
    }
    options.fAutoLogonIfChallenged = TRUE;
    WINHTTP_PROXY_INFO info{};
    const std::wstring target = origin + L"/";
    if (!m_autoSession || !WinHttpGetProxyForUrl(m_autoSession, target.c_str(), &options, &info)) {
        // No script to be found: every later request would wait for the same
        // look-up in vain, so the fixed settings stand from now on.
        m_autoProxy = false;
        return m_fixedProxy;
    }
    std::wstring proxy = Take(info.lpszProxy);
    Take(info.lpszProxyBypass);
    if (info.dwAccessType != WINHTTP_ACCESS_TYPE_NAMED_PROXY) proxy.clear();
    m_proxyByOrigin[origin] = proxy;
    return proxy;
}

// What WinHTTP's threads hand over to the request's owner: the completion of
// the step under way. Owned by both: a closed request may still have a read
// pending inside WinHTTP (Wine finishes it only when the socket gives up),
// so the state and the buffer go with the last of them, the owner not
// waiting for WinHTTP's final notification.
struct Request::Shared {
    std::mutex lock;
    std::condition_variable changed;
    bool completed = false;
    DWORD error = 0;
    DWORD bytes = 0;
    // When the connection stood; from then on the stall limit counts.
    std::optional<Clock::time_point> connectedAt;
    std::atomic<int> owners{1};
    std::vector<char> buffer = std::vector<char>(kBufferBytes);

    void Release() {
        if (--owners == 0) delete this;
    }

    void Complete(DWORD err, DWORD count) {
        std::lock_guard hold(lock);
        completed = true;
        error = err;
        bytes = count;
        changed.notify_all();
    }
};

namespace {

void CALLBACK OnStatus(HINTERNET, DWORD_PTR context, DWORD status, LPVOID info, DWORD length) {
    auto* shared = reinterpret_cast<Request::Shared*>(context);
    if (!shared) return;
    switch (status) {
        case WINHTTP_CALLBACK_STATUS_SENDREQUEST_COMPLETE:
        case WINHTTP_CALLBACK_STATUS_HEADERS_AVAILABLE:
            shared->Complete(0, 0);
            break;
        case WINHTTP_CALLBACK_STATUS_DATA_AVAILABLE:
            shared->Complete(0, *static_cast<DWORD*>(info));
            break;
        case WINHTTP_CALLBACK_STATUS_READ_COMPLETE:
            shared->Complete(0, length);
            break;
        case WINHTTP_CALLBACK_STATUS_REQUEST_ERROR:
            shared->Complete(static_cast<WINHTTP_ASYNC_RESULT*>(info)->dwError, 0);
            break;
        case WINHTTP_CALLBACK_STATUS_CONNECTED_TO_SERVER: {
            std::lock_guard hold(shared->lock);
            if (!shared->connectedAt) shared->connectedAt = Clock::now();
            break;
        }
        case WINHTTP_CALLBACK_STATUS_HANDLE_CLOSING:
            shared->Release();
            break;
        default:
            break;
    }
}

}  // namespace

Request::Request(Session& session, const Url& url, const std::wstring& headers, const Limits& limits)
    : m_limits(limits), m_extraHeaders(headers) {
    if (!session.IsOpen()) return;
    m_connection = WinHttpConnect(session.handle(), url.host.c_str(), url.port, 0);
    if (!m_connection) return;
    m_request =
        WinHttpOpenRequest(m_connection, L"GET", url.pathAndQuery.c_str(), nullptr, WINHTTP_NO_REFERER,
                           WINHTTP_DEFAULT_ACCEPT_TYPES, url.secure ? WINHTTP_FLAG_SECURE : 0);
    if (!m_request) return;
    m_shared = new Shared;
    DWORD_PTR context = reinterpret_cast<DWORD_PTR>(m_shared);
    WinHttpSetOption(m_request, WINHTTP_OPTION_CONTEXT_VALUE, &context, sizeof context);
    if (WinHttpSetStatusCallback(m_request, &OnStatus,
                                 WINHTTP_CALLBACK_FLAG_ALL_COMPLETIONS | WINHTTP_CALLBACK_FLAG_HANDLES |
                                     WINHTTP_CALLBACK_FLAG_CONNECT_TO_SERVER,
                                 0) == WINHTTP_INVALID_STATUS_CALLBACK) {
        WinHttpCloseHandle(m_request);
        m_request = nullptr;
        return;
    }
    // The handle's last notification releases WinHTTP's share.
    ++m_shared->owners;
    // Redirects are followed by the caller, which reports each and keeps
    // them to http and https.
    DWORD features = WINHTTP_DISABLE_REDIRECTS;
    WinHttpSetOption(m_request, WINHTTP_OPTION_DISABLE_FEATURE, &features, sizeof features);
    const int connectMs = static_cast<int>(limits.connect.count() * 1000) + kBackstopMs;
    const int stallMs = static_cast<int>(limits.stall.count() * 1000) + kBackstopMs;
    WinHttpSetTimeouts(m_request, connectMs, connectMs, stallMs, stallMs);
    session.ApplyProxy(m_request, url);
}

Request::~Request() {
    if (m_request) WinHttpCloseHandle(m_request);
    if (m_shared) m_shared->Release();
    if (m_connection) WinHttpCloseHandle(m_connection);
}

HRESULT Request::Await(const KeepGoing& keepGoing, std::chrono::seconds limit, DWORD& bytes, bool sending) {
    const auto start = Clock::now();
    std::unique_lock hold(m_shared->lock);
    while (!m_shared->completed) {
        const auto now = Clock::now();
        // Sending counts against the connect limit until the connection
        // stands, then against the stall limit (a server that accepted and
        // stays silent is a stall, whatever WinHTTP waits for).
        auto deadline = start + limit;
        if (sending && m_shared->connectedAt)
            deadline = std::max(start, *m_shared->connectedAt) + m_limits.stall;
        if (now >= deadline) return INET_E_CONNECTION_TIMEOUT;
        const auto slice = std::min<Clock::duration>(deadline - now, kWaitSlice);
        if (m_shared->changed.wait_for(hold, slice, [this] { return m_shared->completed; })) break;
        hold.unlock();
        const bool go = !keepGoing || keepGoing();
        hold.lock();
        if (!go) return E_ABORT;
    }
    m_shared->completed = false;
    bytes = m_shared->bytes;
    return m_shared->error ? MapError(m_shared->error) : S_OK;
}

HRESULT Request::Send(const KeepGoing& keepGoing) {
    if (!m_request) return MapError(GetLastError());
    const DWORD headerChars = static_cast<DWORD>(m_extraHeaders.size());
    if (!WinHttpSendRequest(
            m_request, m_extraHeaders.empty() ? WINHTTP_NO_ADDITIONAL_HEADERS : m_extraHeaders.c_str(),
            headerChars, WINHTTP_NO_REQUEST_DATA, 0, 0, reinterpret_cast<DWORD_PTR>(m_shared)))
        return MapError(GetLastError());
    DWORD bytes = 0;
    HRESULT hr = Await(keepGoing, m_limits.connect, bytes, true);
    if (hr != S_OK) return hr;
    if (!WinHttpReceiveResponse(m_request, nullptr)) return MapError(GetLastError());
    hr = Await(keepGoing, m_limits.stall, bytes);
    if (hr != S_OK) return hr;

    DWORD size = sizeof m_status;
    if (!WinHttpQueryHeaders(m_request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                             WINHTTP_HEADER_NAME_BY_INDEX, &m_status, &size, WINHTTP_NO_HEADER_INDEX))
        return INET_E_DOWNLOAD_FAILURE;
    DWORD headerBytes = 0;
    WinHttpQueryHeaders(m_request, WINHTTP_QUERY_RAW_HEADERS_CRLF, WINHTTP_HEADER_NAME_BY_INDEX, nullptr,
                        &headerBytes, WINHTTP_NO_HEADER_INDEX);
    std::wstring raw(headerBytes / sizeof(wchar_t) + 1, L'\0');
    headerBytes = static_cast<DWORD>(raw.size() * sizeof(wchar_t));
    if (WinHttpQueryHeaders(m_request, WINHTTP_QUERY_RAW_HEADERS_CRLF, WINHTTP_HEADER_NAME_BY_INDEX,
                            raw.data(), &headerBytes, WINHTTP_NO_HEADER_INDEX))
        raw.resize(headerBytes / sizeof(wchar_t));
    else
        raw.clear();
    // Header bytes beyond ASCII reach us one per character.
    m_headers.clear();
    for (wchar_t c : raw) m_headers += static_cast<char>(c);
    return S_OK;
}

std::string Request::Header(const std::string& name) const {
    size_t start = 0;
    while (start < m_headers.size()) {
        size_t end = m_headers.find("\r\n", start);
        if (end == std::string::npos) end = m_headers.size();
        const std::string line = m_headers.substr(start, end - start);
        const size_t colon = line.find(':');
        if (colon != std::string::npos && EqualsNoCase(line.substr(0, colon), name)) {
            size_t from = line.find_first_not_of(" \t", colon + 1);
            return from == std::string::npos ? ""
                                             : line.substr(from, line.find_last_not_of(" \t") + 1 - from);
        }
        start = end + 2;
    }
    return {};
}

int64_t Request::ContentLength() const {
    const std::string value = Header("Content-Length");
    if (value.empty() || value.size() > 18 || value.find_first_not_of("0123456789") != std::string::npos)
        return -1;
    return std::stoll(value);
}

HRESULT Request::Read(const char*& data, size_t& size, const KeepGoing& keepGoing) {
    size = 0;
    data = m_shared->buffer.data();
    // Asking first what has arrived, and then reading no more than that, is
    // what keeps a read from blocking (Wine fills the whole buffer otherwise,
    // on the calling thread when some bytes are there already).
    if (!WinHttpQueryDataAvailable(m_request, nullptr)) return MapError(GetLastError());
    DWORD available = 0;
    HRESULT hr = Await(keepGoing, m_limits.stall, available);
    if (hr != S_OK || available == 0) return hr;
    if (!WinHttpReadData(m_request, m_shared->buffer.data(), std::min(available, kBufferBytes), nullptr))
        return MapError(GetLastError());
    DWORD bytes = 0;
    hr = Await(keepGoing, m_limits.stall, bytes);
    size = bytes;
    return hr;
}

HRESULT SendFollowingRedirects(Session& session, Url url, const std::wstring& headers, const Limits& limits,
                               const Request::KeepGoing& keepGoing,
                               const std::function<bool(const std::string&)>& onRedirect,
                               std::unique_ptr<Request>& request) {
    constexpr int kMaxRedirects = 5;
    for (int redirects = 0;; ++redirects) {
        request = std::make_unique<Request>(session, url, headers, limits);
        HRESULT hr = request->Send(keepGoing);
        if (hr != S_OK) return hr;
        const std::string location = request->Header("Location");
        if (!FollowsRedirect(request->Status()) || location.empty()) return S_OK;
        if (redirects == kMaxRedirects) return INET_E_REDIRECT_FAILED;
        const std::string next = ResolveLocation(url.text, location);
        if (!onRedirect(next)) return E_ABORT;
        hr = ParseUrl(next, url);
        if (hr != S_OK) return hr;
    }
}

}  // namespace winhttp
