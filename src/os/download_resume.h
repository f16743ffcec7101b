#pragma once
// Continuing a download that broke off: what a response says about its body
// (validators, range support, the range it carries) and what a broken attempt
// leaves for the next attempt at the same URL and target.
#include <cstdint>
#include <string>
#include <string_view>

#include "base/win_types.h"

// Headers of one response that matter for continuing its body later.
struct ResponseFacts {
    std::string etag;
    std::string lastModified;
    std::string acceptRanges;
    bool hasContentRange = false;
    uint64_t rangeStart = 0;
    uint64_t rangeTotal = 0;  // 0 when the server gave "*"

    // Takes one raw header line ("Name: value\r\n"); other lines are ignored.
    void Take(std::string_view line);
    // The If-Range value: a strong ETag, else Last-Modified; empty when the
    // response offers neither (a weak ETag may not be used for ranges).
    std::string IfRangeValidator() const;
    bool AcceptsByteRanges() const;
};

// The part of a body on disk after a failed attempt, and what identifies it.
struct ResumePoint {
    std::wstring url;
    std::wstring localPath;
    uint64_t onDisk = 0;
    uint64_t total = 0;
    std::string validator;  // sent as If-Range
    std::string etag;
    std::string lastModified;

    bool Matches(const std::wstring& otherUrl, const std::wstring& otherPath) const {
        return onDisk > 0 && url == otherUrl && localPath == otherPath;
    }
};

// Whether a 206 answer continues `point` exactly: its range starts where the
// disk ends, the whole is as large as before, and it names the same version
// (a validator it carries equals the recorded one, and it carries one).
bool ContinuesAt(const ResponseFacts& answer, const ResumePoint& point);

// Whether an attempt that failed with `hr` keeps its partial body for the
// next attempt: network and server failures do; an abort, a local file error
// or a resource that is gone do not.
bool KeepsPartialBody(HRESULT hr);
