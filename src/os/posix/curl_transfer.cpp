#include "os/posix/curl_transfer.h"

#include <strings.h>

#include <algorithm>

#include "util/text_util.h"
#include "os/rate_cap.h"

namespace curl_transfer {

namespace {
uint32_t Clamp32(uint64_t value) {
    return static_cast<uint32_t>(std::min<uint64_t>(value, UINT32_MAX));
}
}  // namespace

bool Transfer::Report(uint32_t status, const std::wstring& statusText) {
    lastReport = Clock::now();
    if (!callback) return true;
    uint32_t max = contentLength > 0 ? Clamp32(static_cast<uint64_t>(contentLength)) : 0;
    reported = received;
    if (callback->OnProgress(Clamp32(received), max, status, statusText.c_str()) == E_ABORT) {
        failure = E_ABORT;
        return false;
    }
    return true;
}

HRESULT Transfer::StartOver() {
    file->Discard();
    received = 0;
    return file->Create(target);
}

bool Transfer::Begin(long code) {
    begun = true;
    curl_off_t declared = -1;
    curl_easy_getinfo(easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &declared);
    contentLength = declared;
    if (!resume) return true;
    if (code == 206) {
        if (!ContinuesAt(facts, *resume)) {
            restartFull = true;
            return false;
        }
        contentLength = static_cast<int64_t>(resume->total);
        return true;
    }
    resume = nullptr;
    HRESULT hr = StartOver();
    if (Failed(hr)) failure = hr;
    return !Failed(hr);
}

long ResponseCode(CURL* easy) {
    long code = 0;
    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &code);
    return code;
}

size_t OnHeader(char* data, size_t size, size_t count, void* user) {
    auto* t = static_cast<Transfer*>(user);
    size_t length = size * count;
    t->lastActivity = Clock::now();
    std::string line(data, length);
    // Each response of a redirect chain brings its own headers.
    if (line.rfind("HTTP/", 0) == 0) t->facts = ResponseFacts();
    t->facts.Take(line);
    long code = ResponseCode(t->easy);
    if (code >= 300 && code < 400 && line.size() > 9 && strncasecmp(line.c_str(), "location:", 9) == 0) {
        std::string target = line.substr(9);
        auto trim = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
        while (!target.empty() && trim(target.back())) target.pop_back();
        size_t start = 0;
        while (start < target.size() && trim(target[start])) ++start;
        if (!t->Report(BINDSTATUS_REDIRECTING, text::FromUtf8(target.substr(start)))) return 0;
    }
    return length;
}

size_t OnBody(char* data, size_t size, size_t count, void* user) {
    auto* t = static_cast<Transfer*>(user);
    size_t length = size * count;
    t->lastActivity = Clock::now();
    long code = ResponseCode(t->easy);
    // The body of a response that is no success is never saved.
    if (code < 200 || code >= 300) return length;
    bool first = !t->begun;
    if (first && !t->Begin(code)) return 0;
    HRESULT hr = t->file->Write(data, length);
    if (Failed(hr)) {
        t->failure = hr;
        return 0;
    }
    t->received += length;
    if (first) {
        if (!t->Report(BINDSTATUS_BEGINDOWNLOADDATA) || !t->Report(BINDSTATUS_DOWNLOADINGDATA)) return 0;
    } else if (Clock::now() - t->lastReport >= kReportInterval) {
        if (!t->Report(BINDSTATUS_DOWNLOADINGDATA)) return 0;
    }
    ThrottleReceivedBytes(length);
    // Time held back by the cap is no silence of the server.
    t->lastActivity = Clock::now();
    return Failed(t->failure) ? 0 : length;
}

}  // namespace curl_transfer
