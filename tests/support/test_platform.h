#pragma once
// A LauncherPlatform for in-process tests: the real downloader (against a
// loopback server) or a scripted one, an install folder of the test's own,
// no real sleeping, no instance lock, no shortcuts, recorded program starts.
#include <atomic>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "launcher/commit_batch.h"
#include "launcher/launcher_platform.h"

// Answers downloads from a script of results, writing "updater" on S_OK.
class ScriptedDownloader : public UrlDownloader {
public:
    void DeleteUrlCacheEntry(const std::wstring& url) override;
    HRESULT DownloadToFile(const std::wstring& url, const std::wstring& localPath,
                           IBindStatusCallback* callback) override;

    void Push(HRESULT result) {
        std::lock_guard lock(m_lock);
        m_results.push_back(result);
    }
    // Result once the script is used up.
    std::atomic<HRESULT> m_default{S_OK};
    std::atomic<int> m_calls{0};
    std::atomic<int> m_cacheDeletes{0};
    // Called during each download with the callback, before the result.
    std::function<HRESULT(IBindStatusCallback*)> m_duringDownload;

private:
    std::mutex m_lock;
    std::deque<HRESULT> m_results;
};

struct ProgramStartRecord {
    std::wstring file, parameters, folder;
};

class TestPlatform : public LauncherPlatform {
public:
    explicit TestPlatform(std::wstring executablePath) : m_executablePath(std::move(executablePath)) {}

    bool AcquireInstanceLock() override { return true; }
    bool IsGameClientRunning() override { return false; }
    std::wstring GetExecutablePath() override { return m_executablePath; }
    UrlDownloader& Downloader() override {
        return m_scripted ? static_cast<UrlDownloader&>(m_scriptedDownloader) : LauncherPlatform::Downloader();
    }
    // A scripted downloader answers alone: nothing is fetched ahead of it.
    std::unique_ptr<UrlPrefetcher> CreatePrefetcher(int connections) override {
        return m_scripted || !m_prefetch ? nullptr : LauncherPlatform::CreatePrefetcher(connections);
    }
    int StartProgram(const std::wstring& file, const std::wstring& parameters,
                     const std::wstring& folder) override {
        std::lock_guard lock(m_lock);
        m_starts.push_back({file, parameters, folder});
        return m_startResult;
    }
    bool MakeExecutable(const std::wstring&) override { return true; }
    std::wstring GetDesktopFolder() override { return L"/nonexistent-desktop"; }
    std::wstring GetApplicationsFolder() override { return L"/nonexistent-applications"; }
    void WriteShortcut(const std::wstring&, const std::wstring&) override {}
    // The worker's 1 ms pauses are real (a spinning worker would starve the
    // test); the retry pauses are only counted.
    void SleepMs(unsigned ms) override {
        if (ms < 10) LauncherPlatform::SleepMs(ms);
        if (ms >= 10) m_sleptMs += ms;
        if (ms < 10) ++m_shortPauses;
    }

    CommitSteps& FileCommits() override { return m_commits ? *m_commits : LauncherPlatform::FileCommits(); }

    std::vector<ProgramStartRecord> Starts() {
        std::lock_guard lock(m_lock);
        return m_starts;
    }

    std::wstring m_executablePath;
    bool m_scripted = false;
    bool m_prefetch = true;  // false: the serial run, for comparison
    ScriptedDownloader m_scriptedDownloader;
    int m_startResult = 33;
    std::atomic<unsigned long> m_sleptMs{0};
    std::atomic<unsigned long> m_shortPauses{0};  // the worker's pauses between passes
    CommitSteps* m_commits = nullptr;  // a test's recording or failing steps

private:
    std::mutex m_lock;
    std::vector<ProgramStartRecord> m_starts;
};
