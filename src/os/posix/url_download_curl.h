#pragma once
// The libcurl downloader behind UrlDownloader::Create(), with its time
// limits open to tests.
#include <memory>

#include "os/url_download.h"

struct CurlDownloadLimits {
    // Name lookup and connection set-up together.
    int connectSeconds = 15;
    // No byte (header or body) for this long ends the transfer.
    int stallSeconds = UrlDownloader::kDefaultStallSeconds;
};

// Create() uses the defaults but for the stall limit it is given.
std::unique_ptr<UrlDownloader> CreateCurlUrlDownloader(const CurlDownloadLimits& limits);
