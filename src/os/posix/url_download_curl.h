#pragma once
// The libcurl downloader behind UrlDownloader::Create(), with its time
// limits open to tests.
#include <memory>

#include "os/url_download.h"

struct CurlDownloadLimits {
    // Name lookup and connection set-up together.
    int connectSeconds = 15;
    // No byte (header or body) for this long ends the transfer.
    int stallSeconds = 30;
};

// Create() uses the defaults, with stallSeconds taken from the environment
// variable QUON_DOWNLOAD_STALL_SECONDS when it holds a positive number.
std::unique_ptr<UrlDownloader> CreateCurlUrlDownloader(const CurlDownloadLimits& limits);
