#pragma once
// CGameLauncherDlg owns all launcher state: the command line, the patch state
// machine and its worker thread, the three file lists and the progress model.
// It does not draw; it talks to its window through LauncherView.
//
// Threads: the window's thread (button handlers, close) and one worker. The
// state, the counters and the flags are atomics; texts both threads write are
// behind m_textLock. The lists are touched by the worker in the compare and
// update states and by the window's thread only while the worker idles; the
// worker is stopped and joined before anything it uses is released.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <source_location>
#include <string>
#include <thread>
#include <vector>

#include "launcher/launcher_platform.h"
#include "launcher/launcher_state.h"
#include "launcher/launcher_view.h"
#include "launcher/pack_file_info.h"
#include "launcher/publisher_info.h"
#include "launcher/zip_extract.h"
#include "base/win_types.h"

namespace fsys {
class TempFile;
}
class CCommitBatch;

// What a painter needs to draw one frame, read in one go.
struct LauncherStatusSnapshot {
    int32_t state = 0;
    bool buttonsEnabled = false;
    uint32_t fileSize = 0, fileRecv = 0;
    uint64_t totalSize = 0, totalRecv = 0;
    std::wstring currentFile;
    RECT totalBar{}, fileBar{};  // zeroed: Windows' own RECT has no initialisers
};

class CGameLauncherDlg {
public:
    enum class StartupResult { kOk, kAnotherInstance, kBadCommandLine };

    // Construction applies the instance rule and parses the command line;
    // see GetStartupResult. `arguments[0]` is the program path.
    CGameLauncherDlg(LauncherPlatform& platform, LauncherView& view, std::vector<std::wstring> arguments);
    ~CGameLauncherDlg();  // stops and joins the worker
    CGameLauncherDlg(const CGameLauncherDlg&) = delete;
    CGameLauncherDlg& operator=(const CGameLauncherDlg&) = delete;

    StartupResult GetStartupResult() const { return m_startupResult; }

    // Window's thread. True when the worker was started.
    bool OnInitDialog();
    // WM_CLOSE / WM_DESTROY: stops and joins the worker, then releases the
    // lists (the publisher object goes with the dialog). Safe to call twice.
    void OnDestroy();
    void OnBnClickedButtonStart();
    void OnBnClickedButtonRepair();
    void OnBnClickedButtonClose();
    void OnTimer(int id);

    // Worker.
    static unsigned LauncherThreadProc(CGameLauncherDlg* dlg);
    void ProcessState();
    void Ls_CheckUpdater();
    void Ls_RunUpdater();
    void Ls_UpdateFileList();
    void Ls_CompareFileList();
    void Ls_Update();
    void Ls_Ready();
    void Ls_Idle();
    void Ls_Quit();
    void Ls_Error();

    // Reporting and the launcher log.
    static std::wstring GetExecuteErrorText(int result);
    void WriteLauncherLog(const std::wstring& message, const std::wstring& function, int32_t line,
                          const std::wstring& sourceFile);
    void ResetLauncherLog();

    // Downloads.
    bool URLDownload(const std::wstring& url, const std::wstring& localPath, IBindStatusCallback* callback);
    HRESULT OnDownloadProgress(uint32_t progress, uint32_t progressMax, uint32_t statusCode,
                               const wchar_t* statusText);

    // File lists.
    bool GetUpdateListFile();
    bool DownloadUpdateListFile();
    bool CheckSumUpdateListFile();
    HRESULT ReadClientListFile();
    HRESULT ReadUpdateListFile();
    // False, errno telling why, when packclit.lit could not be written; an
    // empty client list writes nothing and succeeds.
    bool WriteClientListFile();
    // Shows and logs that packclit.lit could not be written or extended
    // (entry 8 with the system's reason) and stops the run: files not
    // recorded must not end as a finished update.
    void StopOnClientListFailure(int error, const wchar_t* function);
    void DeleteObsoleteFile(const std::wstring& path);

    // Install scan.
    HRESULT RebuildClientList();
    void ScanClientFiles(const std::wstring& pattern);
    // False when a file could not be read (reported) or the worker is stopping.
    bool Build_byclientchecksum();

    // Patch application.
    uint64_t GetTotalDownloadSize();  // 64-bit: a patch may pass 4 GiB
    // `written`/`digest`, when given: the native path and MD5 text of the
    // archive's item, when the archive held exactly one item and it was
    // written in full; empty otherwise.
    // `uncommitted`, when given: the items written are left there as
    // temporaries for the caller to commit (see ExtractZipArchive).
    int Unzip(const std::wstring& folder, const ZipSource& archive, std::string* written = nullptr,
              std::wstring* digest = nullptr, std::vector<std::unique_ptr<fsys::TempFile>>* uncommitted = nullptr);
    // The archive of update entry `index` from the early fetch, with its
    // progress reports: 1 in place (in `archive`, or its bytes in `inMemory`
    // when it was kept there), 0 aborted (quitting), -1 none to take.
    int TakePrefetched(class CArchivePrefetch& prefetch, size_t index, const std::wstring& url,
                       const std::wstring& archive, IBindStatusCallback& callback,
                       std::optional<std::string>& inMemory);
    void Unzip_and_Checksum_Error(const std::wstring& relativePath, const std::wstring& archive, bool deleteTarget);
    void ResetPatchState();

    // Progress model.
    void RefreshProgress();
    void UpdateTotalBar();
    void UpdateFileBar();
    LauncherStatusSnapshot GetStatusSnapshot() const;

    // Accessors used by front-ends and tests.
    int32_t GetState() const { return m_nState.load(); }
    // Every change wakes an idle worker, so a click is taken up at once.
    void SetState(int32_t state) {
        m_nState.store(state);
        WakeWorker();
    }
    std::wstring GetPendingError() const;
    std::wstring GetCaption() const;
    // The window is skinned and shows the notice page only in a run started
    // by the updater.
    bool IsFromUpdater() const { return m_pPublisher && m_pPublisher->IsFromUpdater(); }
    std::wstring GetNoticeUrl() const { return m_pPublisher ? m_pPublisher->GetNoticeUrl() : std::wstring(); }
    bool IsWorkerRunning() const { return m_worker.joinable(); }
    // A full install-folder path for a relative list path ("\" -> "/").
    std::wstring FullPath(const std::wstring& relative) const;

    // The lists, for the window's thread while the worker idles, and tests.
    PackFileList m_vecClientList;
    PackFileList m_vecUpdateList;
    PackFileList m_vecServerList;

    // The progress model.
    std::atomic<uint32_t> m_dwFileSize{0};
    std::atomic<uint32_t> m_dwFileRecv{0};
    // The whole-update totals are 64-bit: a patch of more than 4 GiB must not
    // wrap them (each file's size is still the list's 32-bit field).
    std::atomic<uint64_t> m_dwTotalSize{0};
    std::atomic<uint64_t> m_dwTotalRecv{0};
    std::atomic<uint32_t> m_dwLastProgress{0};
    std::atomic<bool> m_bTextRefresh{false};
    static constexpr RECT kTotalBarEmpty{104, 475, 104, 485};
    static constexpr RECT kFileBarEmpty{104, 491, 104, 501};
    static constexpr RECT kTotalBarBack{102, 473, 595, 487};
    static constexpr RECT kFileBarBack{102, 489, 595, 503};
    static constexpr RECT kStatusText{0, 430, 639, 600};
    static constexpr int32_t kFullBarWidth = 489;
    void SetCurrentFile(const std::wstring& text);
    RECT GetTotalBar() const;
    RECT GetFileBar() const;
    void ResetProgressBars();  // both fills back to width 0

    // The process-wide count of files given up after two failed extractions.
    static std::atomic<int32_t> s_nUnzipGiveUps;

private:
    // Immediate report: compose into the pending text, show it, log it with
    // the call site's line and source file.
    void ReportNow(const std::wstring& text, const wchar_t* function,
                   std::source_location site = std::source_location::current());
    // Shows and logs a text without touching the pending text.
    void ShowAndLog(const std::wstring& text, const wchar_t* function,
                    std::source_location site = std::source_location::current());
    void SetPendingError(const std::wstring& text);
    void ShowMessage(const std::wstring& text);
    // Starts a program of the install folder with the launcher's argument;
    // what the result code cannot tell (no Wine) goes to the launcher log.
    int StartInstalledProgram(const wchar_t* name, const wchar_t* function,
                              std::source_location site = std::source_location::current());
    // The worker stops at the next check once this holds.
    bool IsQuitting() const;
    void StopWorker();
    // The idle worker sleeps on m_wake until a state change, a stop or the
    // next sweep of Temp; whoever changes what it waits for calls this.
    void WakeWorker();
    void WaitWhileIdle();
    void RunWorkerLoop();
    void SetButtonsEnabled(bool enabled);
    // Entry 8 for a file that cannot be read: the system's text for the error
    // number (at most 259 characters, `zeroText` for 0), the number, the path.
    static std::wstring CannotOpenText(const std::wstring& path, int errorNumber, const wchar_t* zeroText);
    void PrepareWindow();
    // One bar: the fill from its counters (only while updating), its frame repainted.
    void UpdateBar(uint64_t received, uint64_t size, RECT& fill, const RECT& frame);

    LauncherPlatform& m_platform;
    LauncherView& m_view;
    StartupResult m_startupResult = StartupResult::kOk;
    std::unique_ptr<PUBLISHER_INFO::Manager> m_pPublisher;
    std::wstring m_strInstallPath;  // ends with "/"
    std::wstring m_strExecutablePath;

    std::atomic<int32_t> m_nState{0};
    std::atomic<bool> m_bStopRequested{false};
    std::atomic<bool> m_bButtonsEnabled{false};
    std::thread m_worker;
    std::mutex m_wakeLock;
    std::condition_variable m_wake;

    mutable std::mutex m_textLock;  // guards the texts and rectangles below
    std::wstring m_strPendingError;
    std::wstring m_szCurrentFile;
    RECT m_rcTotalBar = kTotalBarEmpty;
    RECT m_rcFileBar = kFileBarEmpty;

    std::mutex m_logLock;  // both threads log
    bool m_bObsoleteDeleteFailed = false;  // worker only
};
