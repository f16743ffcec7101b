#include "os/download_resume.h"

#include <strings.h>

#include <cstdlib>

namespace {

std::string_view Trim(std::string_view text) {
    auto space = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && space(text.front())) text.remove_prefix(1);
    while (!text.empty() && space(text.back())) text.remove_suffix(1);
    return text;
}

bool ParseNumber(std::string_view text, uint64_t& value) {
    if (text.empty() || text.size() > 19) return false;
    value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + static_cast<uint64_t>(c - '0');
    }
    return true;
}

// "bytes 100-999/1000" (total may be "*").
bool ParseContentRange(std::string_view value, uint64_t& start, uint64_t& total) {
    if (value.size() < 6 || strncasecmp(value.data(), "bytes ", 6) != 0) return false;
    value = Trim(value.substr(6));
    const size_t dash = value.find('-');
    const size_t slash = value.find('/');
    if (dash == std::string_view::npos || slash == std::string_view::npos || slash < dash) return false;
    uint64_t end = 0;
    if (!ParseNumber(value.substr(0, dash), start) ||
        !ParseNumber(value.substr(dash + 1, slash - dash - 1), end))
        return false;
    const std::string_view whole = value.substr(slash + 1);
    total = 0;
    return whole == "*" || ParseNumber(whole, total);
}

}  // namespace

void ResponseFacts::Take(std::string_view line) {
    const size_t colon = line.find(':');
    if (colon == std::string_view::npos) return;
    const std::string name(Trim(line.substr(0, colon)));
    const std::string_view value = Trim(line.substr(colon + 1));
    if (strcasecmp(name.c_str(), "etag") == 0) {
        etag = value;
    } else if (strcasecmp(name.c_str(), "last-modified") == 0) {
        lastModified = value;
    } else if (strcasecmp(name.c_str(), "accept-ranges") == 0) {
        acceptRanges = value;
    } else if (strcasecmp(name.c_str(), "content-range") == 0) {
        hasContentRange = ParseContentRange(value, rangeStart, rangeTotal);
    }
}

std::string ResponseFacts::IfRangeValidator() const {
    if (!etag.empty() && etag.rfind("W/", 0) != 0) return etag;
    return lastModified;
}

bool ResponseFacts::AcceptsByteRanges() const {
    return strcasecmp(acceptRanges.c_str(), "bytes") == 0;
}

bool ContinuesAt(const ResponseFacts& answer, const ResumePoint& point) {
    if (!answer.hasContentRange || answer.rangeStart != point.onDisk) return false;
    if (answer.rangeTotal != 0 && answer.rangeTotal != point.total) return false;
    if (answer.etag.empty() && answer.lastModified.empty()) return false;
    if (!answer.etag.empty() && answer.etag != point.etag) return false;
    if (!answer.lastModified.empty() && answer.lastModified != point.lastModified) return false;
    return true;
}

bool KeepsPartialBody(HRESULT hr) {
    return hr == INET_E_DATA_NOT_AVAILABLE || hr == INET_E_CONNECTION_TIMEOUT ||
           hr == INET_E_CANNOT_CONNECT || hr == INET_E_RESOURCE_NOT_FOUND || hr == INET_E_DOWNLOAD_FAILURE;
}
