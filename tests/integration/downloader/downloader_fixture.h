#pragma once
// Shared set-up of the downloader tests: a loopback server over one temporary
// folder, a target folder, the downloader with a 1-second stall limit
// and a callback that records every report.
#include "support/test_common.h"

#include "os/url_download.h"
#include "os/rate_cap.h"
#include "support/silent_port.h"

struct ProgressReport {
    uint32_t progress;
    uint32_t progressMax;
    uint32_t status;
    std::wstring text;
};

class RecordingCallback : public IBindStatusCallback {
public:
    std::vector<ProgressReport> reports;
    int startCount = 0;
    int stopCount = 0;
    HRESULT stopResult = S_OK;
    // Decides each OnProgress answer; S_OK when unset.
    std::function<HRESULT(const ProgressReport&)> answer;

    HRESULT QueryInterface() override { return E_NOTIMPL; }
    uint32_t AddRef() override { return 0; }
    uint32_t Release() override { return 0; }
    HRESULT OnStartBinding() override { return ++startCount, S_OK; }
    HRESULT GetPriority() override { return E_NOTIMPL; }
    HRESULT OnLowResource() override { return E_NOTIMPL; }
    HRESULT OnProgress(uint32_t progress, uint32_t progressMax, uint32_t statusCode,
                       const wchar_t* statusText) override {
        reports.push_back({progress, progressMax, statusCode, statusText ? statusText : L""});
        return answer ? answer(reports.back()) : S_OK;
    }
    HRESULT OnStopBinding(HRESULT result) override { return ++stopCount, stopResult = result, S_OK; }
    HRESULT GetBindInfo() override { return E_NOTIMPL; }
    HRESULT OnDataAvailable() override { return E_NOTIMPL; }
    HRESULT OnObjectAvailable() override { return E_NOTIMPL; }

    // Statuses in order with consecutive repeats folded: {1, 2, 4, 5, 6}.
    std::vector<uint32_t> StatusSequence() const {
        std::vector<uint32_t> out;
        for (const auto& r : reports) {
            if (out.empty() || out.back() != r.status) out.push_back(r.status);
        }
        return out;
    }
    int CountStatus(uint32_t status) const {
        return std::count_if(reports.begin(), reports.end(), [&](const auto& r) { return r.status == status; });
    }
};

inline double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

class DownloaderTest : public ::testing::Test {
protected:
    // Declaration order matters: the downloader closes its connections before
    // the server stops, and both go before the folders.
    TempDir m_served;
    TempDir m_local;
    TestHttpServer m_server{m_served.path()};
    std::unique_ptr<UrlDownloader> m_downloader = UrlDownloader::Create(1);
    RecordingCallback m_callback;
    const uint64_t m_rateBefore = MaxReceiveRate();

    ~DownloaderTest() override { SetMaxReceiveRate(m_rateBefore); }

    std::wstring Url(const std::string& path) const { return text::FromUtf8(m_server.BaseUrl() + path); }
    std::wstring Target(const std::string& name) const { return text::FromUtf8(m_local.Join(name)); }
    HRESULT Fetch(const std::string& path, const std::string& name) {
        return m_downloader->DownloadToFile(Url(path), Target(name), &m_callback);
    }
    // Names in the target folder, to spot leftovers of temporary files.
    std::string LocalEntries() const { return FolderNames(m_local.path()); }
    // Everything below the target folder with its content.
    std::map<std::string, std::string> Tree() const { return FolderTree(m_local.path()); }
};
