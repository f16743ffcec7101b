#include "os/posix/curl_transfer.h"

#include <strings.h>

#include "util/text_util.h"

namespace curl_transfer {

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
    curl_off_t declared = -1;
    if (!t->begun) curl_easy_getinfo(t->easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &declared);
    if (!t->TakeBody(code, declared, data, length)) return 0;
    // Time held back by the cap is no silence of the server.
    t->lastActivity = Clock::now();
    return length;
}

}  // namespace curl_transfer
