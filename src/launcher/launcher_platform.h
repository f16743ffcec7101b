#pragma once
// The OS services the launcher uses, bundled so that tests can replace one of
// them (a downloader that fails, a clock that does not sleep) and keep the rest.
#include <memory>
#include <string>

#include "launcher/launcher_config.h"
#include "os/url_download.h"
#include "os/url_prefetch.h"

class LauncherPlatform {
public:
    explicit LauncherPlatform(LauncherConfig config = {});
    virtual ~LauncherPlatform();

    // The settings main() read; tests change them before the launcher is made.
    LauncherConfig& Config() { return m_config; }
    const LauncherConfig& Config() const { return m_config; }

    // False when another launcher of this user runs.
    virtual bool AcquireInstanceLock();
    virtual bool IsGameClientRunning();
    virtual std::wstring GetExecutablePath();
    virtual UrlDownloader& Downloader();
    // Fetches ahead of the downloader; none (null, or Config().prefetch
    // off) means every file is fetched by the downloader alone.
    virtual std::unique_ptr<UrlPrefetcher> CreatePrefetcher(int connections);
    virtual int StartProgram(const std::wstring& file, const std::wstring& parameters,
                             const std::wstring& workingFolder);
    // Why the last start failed, in words for the launcher log, when the
    // result code alone would mislead (no Wine for a Windows program); empty
    // otherwise. Taking it empties it.
    std::wstring TakeStartNote();
    virtual bool MakeExecutable(const std::wstring& path);
    virtual std::wstring GetDesktopFolder();
    virtual std::wstring GetApplicationsFolder();
    virtual void WriteShortcut(const std::wstring& path, const std::wstring& targetExecutable);
    virtual void SleepMs(unsigned ms);
    // The steps that make unpacked files durable (see CCommitBatch).
    virtual class CommitSteps& FileCommits();

    static std::unique_ptr<LauncherPlatform> CreateDefault(const LauncherConfig& config);

private:
    LauncherConfig m_config;
    std::unique_ptr<class InstanceLock> m_lock;
    std::unique_ptr<UrlDownloader> m_downloader;
    std::wstring m_startNote;
};
