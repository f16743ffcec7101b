// Fetching a URL into a file with retries, and the progress reports.
#include "util/text_util.h"
#include "launcher/game_launcher_dlg.h"
#include "launcher/launcher_messages.h"

namespace {
constexpr int kMaxAttempts = 11;
constexpr unsigned kRetryPauseMs = 1000;
constexpr unsigned kPauseSliceMs = 10;

// Downloads without a progress callback (the lists, the updater) still have to
// stop when the launcher quits, so they get one that only watches for that.
template <class Owner>
class QuitWatcher : public IBindStatusCallback {
public:
    explicit QuitWatcher(const Owner* owner, bool (Owner::*isQuitting)() const)
        : m_owner(owner), m_isQuitting(isQuitting) {}
    HRESULT QueryInterface() override { return E_NOTIMPL; }
    uint32_t AddRef() override { return 0; }
    uint32_t Release() override { return 0; }
    HRESULT OnStartBinding() override { return S_OK; }
    HRESULT GetPriority() override { return E_NOTIMPL; }
    HRESULT OnLowResource() override { return E_NOTIMPL; }
    HRESULT OnProgress(uint32_t, uint32_t, uint32_t, const wchar_t*) override {
        return (m_owner->*m_isQuitting)() ? E_ABORT : S_OK;
    }
    HRESULT OnStopBinding(HRESULT) override { return S_OK; }
    HRESULT GetBindInfo() override { return E_NOTIMPL; }
    HRESULT OnDataAvailable() override { return E_NOTIMPL; }
    HRESULT OnObjectAvailable() override { return E_NOTIMPL; }

private:
    const Owner* m_owner;
    bool (Owner::*m_isQuitting)() const;
};
}  // namespace

bool CGameLauncherDlg::URLDownload(const std::wstring& url, const std::wstring& localPath,
                                   IBindStatusCallback* callback) {
    UrlDownloader& downloader = m_platform.Downloader();
    downloader.DeleteUrlCacheEntry(url);
    QuitWatcher<CGameLauncherDlg> watcher(this, &CGameLauncherDlg::IsQuitting);
    IBindStatusCallback* status = callback ? callback : &watcher;

    for (int attempt = 1;; ++attempt) {
        const HRESULT hr = downloader.DownloadToFile(url, localPath, status);
        if (hr == S_OK) return true;
        if (hr == E_OUTOFMEMORY) {
            ReportNow(text::FormatW(GetLauncherMessage(13), localPath.c_str()), L"CGameLauncherDlg::URLDownload");
            return false;
        }
        // Once the player has chosen to quit, retrying and then telling him to
        // check his connection would only hold him up.
        if (IsQuitting()) return false;
        if (attempt == kMaxAttempts) {
            ReportNow(text::FormatW(GetLauncherMessage(14), localPath.c_str(), static_cast<unsigned>(hr)),
                      L"CGameLauncherDlg::URLDownload");
            return false;
        }
        for (unsigned waited = 0; waited < kRetryPauseMs; waited += kPauseSliceMs) {
            if (IsQuitting()) return false;
            m_platform.SleepMs(kPauseSliceMs);
        }
    }
}

HRESULT CGameLauncherDlg::OnDownloadProgress(uint32_t progress, uint32_t progressMax, uint32_t statusCode,
                                             const wchar_t* statusText) {
    if (IsQuitting()) return E_ABORT;
    const uint64_t previous = m_dwTotalRecv.load();
    if (statusCode == BINDSTATUS_BEGINDOWNLOADDATA || statusCode == BINDSTATUS_DOWNLOADINGDATA ||
        statusCode == BINDSTATUS_ENDDOWNLOADDATA) {
        m_dwFileRecv = progress;
        m_dwTotalRecv = previous - m_dwLastProgress.load() + progress;
        m_dwLastProgress = progress;
    }
    if (previous / 1000000 != m_dwTotalRecv.load() / 1000000) m_bTextRefresh = true;
    RefreshProgress();
    return S_OK;
}
