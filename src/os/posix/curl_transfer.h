#pragma once
// One transfer of the libcurl downloader: its state and curl's header and
// body callbacks, which write the body, report progress, continue a body on
// disk when the server sends the rest, and pass through the bandwidth cap.
#include <curl/curl.h>

#include <chrono>
#include <cstdint>
#include <string>

#include "os/posix/download_resume.h"
#include "os/posix/part_file.h"
#include "os/url_download.h"

namespace curl_transfer {

using Clock = std::chrono::steady_clock;
// Progress reports while data flows, and the heartbeat that lets the
// callback abort while the server is silent.
constexpr auto kReportInterval = std::chrono::milliseconds(100);

inline bool Failed(HRESULT hr) {
    return hr < 0;
}

// State of one DownloadToFile call, shared with curl's callbacks.
struct Transfer {
    CURL* easy = nullptr;
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
    HRESULT failure = S_OK;  // decided inside a callback: E_ABORT or a local error
    Clock::time_point lastReport = Clock::now();
    Clock::time_point lastActivity = Clock::now();

    // False when the callback asked to abort.
    bool Report(uint32_t status, const std::wstring& statusText);
    bool Report(uint32_t status) { return Report(status, url); }
    // The server sent the whole body instead of the rest: what is on disk goes.
    HRESULT StartOver();
    // At the first body byte of a response: which body it is and how long.
    // False when the transfer must stop (restartFull or a local failure).
    bool Begin(long code);
};

long ResponseCode(CURL* easy);
size_t OnHeader(char* data, size_t size, size_t count, void* user);
size_t OnBody(char* data, size_t size, size_t count, void* user);

}  // namespace curl_transfer
