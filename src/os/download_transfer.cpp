#include "os/download_transfer.h"

#include <algorithm>
#include <utility>

#include "base/file_system.h"
#include "os/rate_cap.h"
#include "util/path_util.h"

namespace download {

namespace {
uint32_t Clamp32(uint64_t value) {
    return static_cast<uint32_t>(std::min<uint64_t>(value, UINT32_MAX));
}
}  // namespace

HRESULT MapHttpStatus(long httpStatus) {
    if (httpStatus == 404 || httpStatus == 410) return INET_E_OBJECT_NOT_FOUND;
    if (httpStatus >= 300 && httpStatus < 400) return INET_E_REDIRECT_FAILED;
    return INET_E_DOWNLOAD_FAILURE;
}

HRESULT EncodeUrl(const std::string& utf8Url, std::string& encoded) {
    static const char kHex[] = "0123456789ABCDEF";
    encoded.clear();
    for (unsigned char c : utf8Url) {
        if (c < 0x20 || c == 0x7F) return INET_E_INVALID_URL;
        if (c == ' ' || c >= 0x80) {
            encoded += '%';
            encoded += kHex[c >> 4];
            encoded += kHex[c & 0xF];
        } else {
            encoded += static_cast<char>(c);
        }
    }
    return S_OK;
}

void Transfer::Aim(const std::wstring& url_, const std::wstring& localPath_, IBindStatusCallback* callback_,
                   PartFile* part) {
    url = url_;
    localPath = localPath_;
    target = NativePath(localPath_);
    callback = callback_;
    file = part;
}

bool Transfer::Report(uint32_t status, const std::wstring& statusText) {
    lastReport = Clock::now();
    if (failure == E_ABORT) return false;
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

void Transfer::Prepare(const ResumePoint* rest) {
    resume = rest;
    received = rest ? rest->onDisk : 0;
    begun = false;
    restartFull = false;
    contentLength = -1;
    facts = ResponseFacts();
}

bool Transfer::Begin(long code, int64_t declared) {
    begun = true;
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

bool Transfer::TakeBody(long code, int64_t declared, const char* data, size_t size) {
    const bool first = !begun;
    if (first && !Begin(code, declared)) return false;
    HRESULT hr = file->Write(data, size);
    if (Failed(hr)) {
        failure = hr;
        return false;
    }
    received += size;
    if (first) {
        if (!Report(BINDSTATUS_BEGINDOWNLOADDATA) || !Report(BINDSTATUS_DOWNLOADINGDATA)) return false;
    } else if (Clock::now() - lastReport >= kReportInterval) {
        if (!Report(BINDSTATUS_DOWNLOADINGDATA)) return false;
    }
    ThrottleReceivedBytes(size);
    return !Failed(failure);
}

ResumePoint Transfer::NextResumePoint(HRESULT hr) const {
    if (!KeepsPartialBody(hr) || !file->IsOpen()) return {};
    // Nothing new arrived: what was on disk still stands.
    if (!begun) return resume ? *resume : ResumePoint();
    if (contentLength <= 0 || received == 0 || received >= static_cast<uint64_t>(contentLength)) return {};
    if (resume) {
        ResumePoint next = *resume;
        next.onDisk = received;
        return next;
    }
    const std::string validator = facts.IfRangeValidator();
    if (!facts.AcceptsByteRanges() || validator.empty()) return {};
    return {url,       localPath,  received,          static_cast<uint64_t>(contentLength),
            validator, facts.etag, facts.lastModified};
}

HRESULT Run(Transfer& t, const ResumePoint& kept, const std::wstring& host,
            const std::function<HRESULT(const ResumePoint*)>& attempt, const std::function<long()>& status,
            ResumePoint& next) {
    PartFile& part = *t.file;
    const bool resuming = kept.Matches(t.url, t.localPath) && part.IsOpen() &&
                          fsys::FileSize(part.TempPath()) == static_cast<int64_t>(kept.onDisk);
    // Bytes on disk count as received from the first report on.
    t.received = resuming ? kept.onDisk : 0;
    if (!t.Report(BINDSTATUS_FINDINGRESOURCE, host)) return E_ABORT;
    HRESULT hr = S_OK;
    if (!resuming) {
        part.Discard();
        hr = part.Create(t.target);
        if (Failed(hr)) return hr;
    }
    if (!t.Report(BINDSTATUS_CONNECTING, host)) return E_ABORT;

    hr = attempt(resuming ? &kept : nullptr);
    // The server holds another version, cannot serve the range, or "succeeded"
    // without sending any of the rest (which would leave the old bytes to be
    // taken for the whole): fetch anew.
    const bool nothingMore = !Failed(hr) && t.resume && !t.begun;
    if (resuming && (t.restartFull || nothingMore || status() == 416)) {
        hr = t.StartOver();
        if (Failed(hr)) return hr;
        hr = attempt(nullptr);
    }
    if (Failed(hr)) {
        next = t.NextResumePoint(hr);
        return hr;
    }

    const long code = status();
    if (code < 200 || code >= 300) return MapHttpStatus(code);
    if (t.contentLength >= 0 && t.received != static_cast<uint64_t>(t.contentLength)) {
        next = t.NextResumePoint(INET_E_DATA_NOT_AVAILABLE);
        return INET_E_DATA_NOT_AVAILABLE;
    }
    if (!t.begun && !t.Report(BINDSTATUS_BEGINDOWNLOADDATA)) return E_ABORT;
    if (t.reported != t.received && !t.Report(BINDSTATUS_DOWNLOADINGDATA)) return E_ABORT;
    if (!t.Report(BINDSTATUS_ENDDOWNLOADDATA)) return E_ABORT;
    return part.Commit();
}

HRESULT PartFileDownloader::DownloadToFile(const std::wstring& url, const std::wstring& localPath,
                                           IBindStatusCallback* callback) {
    HRESULT hr = Download(url, localPath, callback);
    // A broken body stays only while the next attempt may continue it.
    if (hr != S_OK && !m_resume.Matches(url, localPath)) m_part.Discard();
    if (callback) callback->OnStopBinding(hr);
    return hr;
}

}  // namespace download
