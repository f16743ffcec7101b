// STATE_UPDATE_FILES: fetch, unpack, verify and record every changed file.

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <unordered_map>

#include "util/file_util.h"
#include "util/path_util.h"
#include "util/text_util.h"
#include "launcher/archive_prefetch.h"
#include "launcher/game_launcher_dlg.h"
#include "launcher/launcher_messages.h"
#include "launcher/list_file_format.h"
#include "launcher/md5_checksum.h"
#include "launcher/url_download_callback.h"
#include "base/file_system.h"

namespace {
// The list path as a URL path: "\" becomes "/", and every byte of its UTF-8
// form outside the unreserved characters is percent-encoded, so that a name
// with "#", "?", "%" or a blank names its own archive.
std::wstring UrlPathOf(const std::wstring& relative) {
    static const char kHex[] = "0123456789ABCDEF";
    std::wstring out;
    for (unsigned char c : text::ToUtf8(relative)) {
        if (c == '\\' || c == '/') {
            out += L'/';
        } else if (std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~') {
            out += static_cast<wchar_t>(c);
        } else {
            out += L'%';
            out += static_cast<wchar_t>(kHex[c >> 4]);
            out += static_cast<wchar_t>(kHex[c & 0xF]);
        }
    }
    return out;
}
}  // namespace

void CGameLauncherDlg::Ls_Update() {
    if (m_vecUpdateList.empty()) {
        SetState(STATE_READY);
        return;
    }
    m_dwFileSize = 0;
    m_dwFileRecv = 0;
    m_dwTotalRecv = 0;
    m_dwTotalSize = GetTotalDownloadSize();
    m_view.SetTimer(1, 1000);

    const std::wstring base = m_pPublisher->GetPatchUrl();
    cUrlDownLoadCallback<CGameLauncherDlg> callback(this);

    // Each updated file replaces its old client entry. Taking the old entry
    // out of a list of tens of thousands once per file made large patches
    // quadratic, so the removals are collected and made in one pass when the
    // handler returns, whichever way it returns. Until then the list may hold
    // a path twice; the list file's reader lets the later line win.
    std::unordered_map<std::wstring, int> replaced;
    std::unordered_map<std::wstring, int> held;  // client entries per path
    for (const auto& entry : m_vecClientList) ++held[entry->szPath];
    struct ApplyRemovals {
        PackFileList& list;
        std::unordered_map<std::wstring, int>& pending;
        void Apply() {
            if (pending.empty()) return;
            std::erase_if(list, [this](const std::unique_ptr<PackFileInfo>& entry) {
                auto it = pending.find(entry->szPath);
                if (it == pending.end() || it->second == 0) return false;
                --it->second;
                return true;
            });
            pending.clear();
        }
        ~ApplyRemovals() { Apply(); }
    } applyRemovals{m_vecClientList, replaced};

    // The archives of the next files are fetched while this one is unpacked
    // and checked; what the player sees stays that of one file after another.
    std::vector<CArchivePrefetch::Item> ahead;
    ahead.reserve(m_vecUpdateList.size());
    for (const auto& entry : m_vecUpdateList) {
        ahead.push_back({text::ToUtf8(base + UrlPathOf(entry->szPath) + L".zip"),
                         static_cast<uint32_t>(entry->nDownloadSize), static_cast<uint32_t>(entry->nFileSize)});
    }
    CArchivePrefetch prefetch(m_platform.CreatePrefetcher(CArchivePrefetch::Limits{}.connections), std::move(ahead),
                              m_strInstallPath + L"Temp/.prefetch", CArchivePrefetch::Limits{});

    for (size_t index = 0; index < m_vecUpdateList.size(); ++index) {
        const auto& entry = m_vecUpdateList[index];
        if (IsQuitting()) return;
        prefetch.Ahead(index);
        // Whole: a URL has no length cap, and one cut would name another file.
        const std::wstring url = base + UrlPathOf(entry->szPath) + L".zip";
        // Named after the file, not the encoded URL: "a b.dat.zip", as the server has it.
        const std::wstring archive = m_strInstallPath + L"Temp/" + GetLastPathComponent(entry->szPath) + L".zip";
        const std::wstring target = FullPath(entry->szPath);
        m_dwLastProgress = 0;
        m_dwFileRecv = 0;
        m_dwFileSize = static_cast<uint32_t>(entry->nDownloadSize);

        // A local path the path buffers cannot hold is a file that cannot be
        // written, reported as such; cut, it would name another file.
        if (target.size() > text::kMaxPathChars || archive.size() > text::kMaxPathChars) {
            const std::wstring& tooLong = target.size() > text::kMaxPathChars ? target : archive;
            ReportNow(CannotOpenText(tooLong, ENAMETOOLONG, L"Unknown"), L"CGameLauncherDlg::Ls_Update");
            SetState(STATE_QUIT);
            return;
        }

        // The comparison refuses lists with such paths; this is the last guard
        // before anything is written.
        if (!StaysInsideFolder(m_strInstallPath, entry->szPath) ||
            !fsys::ChangeCurrentFolder(NativePath(m_strInstallPath)) || !CreateFoldersAlongPath(entry->szPath)) {
            ShowAndLog(GetLauncherMessage(4), L"CGameLauncherDlg::Ls_Update");
            SetState(STATE_QUIT);
            return;
        }
        SetCurrentFile(entry->szPath);
        if (!DeleteLocalFile(true, archive)) {
            SetPendingError(text::FormatW(L"%s\n%s\n%s", GetLauncherMessage(6), kCodeLC1015, archive.c_str()));
            SetState(STATE_ERROR);
            return;
        }

        bool unpacked = false;
        std::string written;
        std::wstring digest;
        for (int attempt = 0; attempt < 2 && !unpacked;) {
            if (IsQuitting()) return;
            // Only a first attempt can use the early copy; a retry fetches anew.
            const int fetched = attempt == 0 ? TakePrefetched(prefetch, index, url, archive, callback) : -1;
            if (fetched < 0) prefetch.MakeRoom(static_cast<uint32_t>(entry->nDownloadSize));
            if (fetched == 0 || (fetched < 0 && !URLDownload(url, archive, &callback))) {
                SetState(STATE_QUIT);
                return;
            }
            if (!DeleteLocalFile(true, target)) {
                SetPendingError(text::FormatW(L"%s\n%s\n%s", GetLauncherMessage(6), kCodeLC1016, target.c_str()));
                SetState(STATE_ERROR);
                return;
            }
            prefetch.MakeRoom(static_cast<uint32_t>(entry->nFileSize));
            if (Unzip(m_strInstallPath, archive, &written, &digest) == 0) {
                unpacked = true;
            } else {
                ++attempt;
            }
        }

        if (!unpacked) {
            // Given up on this file: the first time in a run, compare again;
            // the second time, stop.
            if (++s_nUnzipGiveUps >= 2) {
                prefetch.Halt();
                ShowAndLog(GetLauncherMessage(3), L"CGameLauncherDlg::Ls_Update");
                WriteClientListFile();
                ResetPatchState();
                SetState(STATE_QUIT);
                return;
            }
            WriteClientListFile();
            m_vecClientList.clear();
            SetState(STATE_COMPARE_LISTS);
            if (!DeleteLocalFile(true, archive)) {
                SetPendingError(text::FormatW(L"%s\n%s\n%s", GetLauncherMessage(6), kCodeLC1035, archive.c_str()));
                SetState(STATE_ERROR);
            }
            return;
        }

        wchar_t sum[260] = {};
        errno = 0;
        // The digest taken while the file was written is the one a read-back
        // would give; any other case reads the file, with its failures.
        const bool hashedOnTheWay = !written.empty() && written == NativePath(target) && digest.size() < 260;
        if (hashedOnTheWay) {
            digest.copy(sum, digest.size());
        } else if (!ChecksumOfFile(sum, target, &m_bStopRequested)) {
            if (m_bStopRequested) return;  // closing: the file is whole, just not recorded
            prefetch.Halt();
            ReportNow(CannotOpenText(target, errno, L"Unknown"), L"CGameLauncherDlg::Ls_Update");
            Unzip_and_Checksum_Error(entry->szPath, archive, true);
            ResetPatchState();
            SetState(STATE_QUIT);
            return;
        }
        if (entry->szChecksum.empty() || entry->szChecksum != sum) {
            prefetch.Halt();
            ReportNow(text::FormatW(L"%s\n%s", GetLauncherMessage(1), target.c_str()), L"CGameLauncherDlg::Ls_Update");
            Unzip_and_Checksum_Error(entry->szPath, archive, true);
            ResetPatchState();
            SetState(STATE_QUIT);
            return;
        }

        auto copy = std::make_unique<PackFileInfo>(*entry);
        int& count = held[entry->szPath];
        if (count > 0) ++replaced[entry->szPath];  // its first entry goes, one copy comes
        else ++count;                              // only the copy appended below
        // Recorded at once, as one appended line: a run cut off here keeps
        // this file, and rewriting a large list per file would cost more than
        // the file itself. The reader lets the later line win.
        // A line that did not reach the disk must not pass for a finished update.
        if (IsListableEntry(*copy) && !AppendListEntry(m_strInstallPath + L"packclit.lit", *copy)) {
            StopOnClientListFailure(errno, L"CGameLauncherDlg::Ls_Update");
            return;
        }
        m_vecClientList.push_back(std::move(copy));

        if (!DeleteLocalFile(false, archive)) {
            SetPendingError(text::FormatW(L"%s\n%s\n%s", GetLauncherMessage(6), kCodeLC1034, archive.c_str()));
            SetState(STATE_ERROR);
            return;
        }
    }
    prefetch.Halt();
    // Compact the appended lines into a clean list.
    applyRemovals.Apply();
    if (!WriteClientListFile()) {
        StopOnClientListFailure(errno, L"CGameLauncherDlg::Ls_Update");
        return;
    }
    RemoveFolderTree(m_strInstallPath + L"Temp");
    SetState(STATE_READY);
}

int CGameLauncherDlg::TakePrefetched(CArchivePrefetch& prefetch, size_t index, const std::wstring& url,
                                     const std::wstring& archive, IBindStatusCallback& callback) {
    const uint32_t size = m_dwFileSize;
    bool begun = false;
    bool aborted = false;
    // While the early fetch runs, its bytes show as the ordinary download's would.
    auto report = [&](uint64_t received) {
        const uint32_t bytes = static_cast<uint32_t>(std::min<uint64_t>(received, UINT32_MAX));
        if (bytes == 0 && !begun) return true;
        const uint32_t status = begun ? BINDSTATUS_DOWNLOADINGDATA : BINDSTATUS_BEGINDOWNLOADDATA;
        begun = true;
        aborted = callback.OnProgress(bytes, size, status, url.c_str()) == E_ABORT;
        return !aborted;
    };
    uint64_t bytes = 0;
    if (!prefetch.Take(index, archive, report, &bytes)) return aborted ? 0 : -1;
    if (!report(bytes)) return 0;
    const uint32_t total = static_cast<uint32_t>(std::min<uint64_t>(bytes, UINT32_MAX));
    return callback.OnProgress(total, size, BINDSTATUS_ENDDOWNLOADDATA, url.c_str()) == E_ABORT ? 0 : 1;
}
