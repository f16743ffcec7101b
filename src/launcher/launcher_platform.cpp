#include "launcher/launcher_platform.h"

#include <chrono>
#include <thread>
#include <utility>

#include "util/path_util.h"
#include "launcher/commit_batch.h"
#include "os/process.h"
#include "os/user_shell.h"

LauncherPlatform::LauncherPlatform(LauncherConfig config) : m_config(std::move(config)) {}
LauncherPlatform::~LauncherPlatform() = default;

bool LauncherPlatform::AcquireInstanceLock() {
    if (!m_lock) m_lock = InstanceLock::TryAcquire(L"QUON Launcher");
    return m_lock != nullptr;
}

bool LauncherPlatform::IsGameClientRunning() { return IsProgramRunning(L"Vevida2.0.exe", L"QuonClientWindow"); }

std::wstring LauncherPlatform::GetExecutablePath() {
    std::wstring path;
    GetModuleFolder(path, false);
    return path;
}

UrlDownloader& LauncherPlatform::Downloader() {
    if (!m_downloader) m_downloader = UrlDownloader::Create(m_config.downloadStallSeconds);
    return *m_downloader;
}

std::unique_ptr<UrlPrefetcher> LauncherPlatform::CreatePrefetcher(int connections) {
    if (!m_config.prefetch) return nullptr;
    return UrlPrefetcher::Create(connections);
}

int LauncherPlatform::StartProgram(const std::wstring& file, const std::wstring& parameters,
                                   const std::wstring& workingFolder) {
    m_startNote.clear();
    return ::StartProgram(file, parameters, workingFolder, m_config.windowsRunner, &m_startNote);
}

std::wstring LauncherPlatform::TakeStartNote() { return std::exchange(m_startNote, {}); }

bool LauncherPlatform::MakeExecutable(const std::wstring& path) { return ::MakeExecutable(path); }

std::wstring LauncherPlatform::GetDesktopFolder() { return ::GetDesktopFolder(); }

std::wstring LauncherPlatform::GetApplicationsFolder() { return ::GetApplicationsFolder(); }

void LauncherPlatform::WriteShortcut(const std::wstring& path, const std::wstring& targetExecutable) {
    WriteShortcutFile(path, targetExecutable);
}

void LauncherPlatform::SleepMs(unsigned ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

CommitSteps& LauncherPlatform::FileCommits() {
    static CommitSteps steps;  // no state: one serves every run
    return steps;
}

std::unique_ptr<LauncherPlatform> LauncherPlatform::CreateDefault(const LauncherConfig& config) {
    return std::make_unique<LauncherPlatform>(config);
}
