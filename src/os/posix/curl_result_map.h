#pragma once
// libcurl's results -> the urlmon-style codes the launcher reports, and the
// request options every patch-server download shares.
#include <curl/curl.h>

#include <string>

#include "base/win_types.h"

// `httpStatus` is the final response's status (0 when none arrived).
HRESULT MapCurlResult(CURLcode result, long httpStatus);

// Checks a URL before any network work and returns it in the form curl gets:
// spaces and non-ASCII bytes percent-encoded (as a browser would send them).
// INET_E_INVALID_URL when it cannot be parsed, INET_E_UNKNOWN_PROTOCOL for a
// scheme other than http and https. `host` receives the host name.
HRESULT PrepareUrl(const std::string& utf8Url, std::string& prepared, std::string& host);

// The options every patch-server GET shares, one-file downloads and prefetches
// alike: `url`, HTTP(S) only, up to five redirects, HTTP errors as failures,
// the user agent and the connect timeout.
void SetCommonGetOptions(CURL* easy, const std::string& url, long connectSeconds);
