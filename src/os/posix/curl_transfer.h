#pragma once
// One transfer of the libcurl downloader: its state and curl's header and
// body callbacks, which hand the body to the shared transfer logic.
#include <curl/curl.h>

#include "os/download_transfer.h"

namespace curl_transfer {

using download::Clock;
using download::Failed;
using download::kReportInterval;

// State of one DownloadToFile call, shared with curl's callbacks.
struct Transfer : download::Transfer {
    CURL* easy = nullptr;
    Clock::time_point lastActivity = Clock::now();
};

long ResponseCode(CURL* easy);
size_t OnHeader(char* data, size_t size, size_t count, void* user);
size_t OnBody(char* data, size_t size, size_t count, void* user);

}  // namespace curl_transfer
