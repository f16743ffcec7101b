#include "os/posix/curl_result_map.h"

#include <memory>

#include "os/download_transfer.h"

namespace {
// curl's own default is 16 KiB.
constexpr long kReceiveBufferBytes = 256 * 1024;
}  // namespace

HRESULT MapCurlResult(CURLcode result, long httpStatus) {
    switch (result) {
        case CURLE_OK:
            return S_OK;
        case CURLE_HTTP_RETURNED_ERROR:
            return download::MapHttpStatus(httpStatus);
        case CURLE_UNSUPPORTED_PROTOCOL:
            return INET_E_UNKNOWN_PROTOCOL;
        case CURLE_URL_MALFORMAT:
            return INET_E_INVALID_URL;
        case CURLE_COULDNT_RESOLVE_HOST:
        case CURLE_COULDNT_RESOLVE_PROXY:
            return INET_E_RESOURCE_NOT_FOUND;
        case CURLE_COULDNT_CONNECT:
            return INET_E_CANNOT_CONNECT;
        case CURLE_OPERATION_TIMEDOUT:
            return INET_E_CONNECTION_TIMEOUT;
        case CURLE_PARTIAL_FILE:
        case CURLE_RECV_ERROR:
        case CURLE_SEND_ERROR:
        case CURLE_GOT_NOTHING:
        case CURLE_HTTP2:
        case CURLE_HTTP2_STREAM:
            return INET_E_DATA_NOT_AVAILABLE;
        case CURLE_TOO_MANY_REDIRECTS:
            return INET_E_REDIRECT_FAILED;
        case CURLE_ABORTED_BY_CALLBACK:
            return E_ABORT;
        case CURLE_OUT_OF_MEMORY:
            return E_OUTOFMEMORY;
        default:
            return INET_E_DOWNLOAD_FAILURE;
    }
}

HRESULT PrepareUrl(const std::string& utf8Url, std::string& prepared, std::string& host) {
    std::string encoded;
    if (download::EncodeUrl(utf8Url, encoded) != S_OK) return INET_E_INVALID_URL;
    std::unique_ptr<CURLU, decltype(&curl_url_cleanup)> parsed(curl_url(), &curl_url_cleanup);
    if (!parsed) return E_OUTOFMEMORY;
    if (curl_url_set(parsed.get(), CURLUPART_URL, encoded.c_str(), CURLU_NON_SUPPORT_SCHEME) != CURLUE_OK) {
        return INET_E_INVALID_URL;
    }
    char* part = nullptr;
    if (curl_url_get(parsed.get(), CURLUPART_SCHEME, &part, 0) != CURLUE_OK) return INET_E_INVALID_URL;
    std::string scheme(part);
    curl_free(part);
    if (scheme != "http" && scheme != "https") return INET_E_UNKNOWN_PROTOCOL;
    if (curl_url_get(parsed.get(), CURLUPART_HOST, &part, 0) != CURLUE_OK) return INET_E_INVALID_URL;
    host.assign(part);
    curl_free(part);
    if (curl_url_get(parsed.get(), CURLUPART_URL, &part, 0) != CURLUE_OK) return INET_E_INVALID_URL;
    prepared.assign(part);
    curl_free(part);
    return S_OK;
}

void SetCommonGetOptions(CURL* e, const std::string& url, long connectSeconds) {
    curl_easy_setopt(e, CURLOPT_URL, url.c_str());
    curl_easy_setopt(e, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(e, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(e, CURLOPT_MAXREDIRS, 5L);
    curl_easy_setopt(e, CURLOPT_FAILONERROR, 1L);
    curl_easy_setopt(e, CURLOPT_USERAGENT, "QuonLauncher");
    curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT, connectSeconds);
    // A large archive then arrives in a sixteenth of the reads and writes.
    curl_easy_setopt(e, CURLOPT_BUFFERSIZE, kReceiveBufferBytes);
}
