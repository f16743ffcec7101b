// STATE_UPDATE_FILES: fetch, unpack, verify and record every changed file.

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <unordered_map>

#include "util/file_util.h"
#include "util/path_util.h"
#include "util/text_util.h"
#include "launcher/archive_prefetch.h"
#include "launcher/commit_batch.h"
#include "launcher/game_launcher_dlg.h"
#include "launcher/launcher_messages.h"
#include "launcher/list_file_format.h"
#include "launcher/md5_checksum.h"
#include "launcher/url_download_callback.h"
#include "base/file_system.h"

namespace {
// From this size a file is committed on its own: its sync is long anyway,
// and others waiting behind it would only be recorded later.
constexpr uint64_t kLargeFileBytes = 8ull << 20;
// How long finished files may wait for the next file's fetch to end before
// they are recorded without it.
constexpr auto kBatchWaitsForFetch = std::chrono::milliseconds(50);

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

    // Checked files wait here until a batch of them is made durable and
    // recorded together; see CCommitBatch.
    CommitSteps& steps = m_platform.FileCommits();
    CCommitBatch batch(steps, m_strInstallPath + L"packclit.lit", {.dataSync = steps.Method()});
    // Commits and records what the batch holds. A file that could not be made
    // durable is a failed write: entry 8 with the reason and its path, and
    // the run stops with the files before it recorded. Every way out of the
    // loop, closing included, goes through here first, and so does every
    // report of a later file's failure: the batch's failure comes first.
    // `background`: the batch is committed while the next files are
    // unpacked; a failure shows when the next batch is handed over.
    auto settle = [&](bool background = false) -> bool {
        if (batch.Idle()) return true;
        std::vector<std::unique_ptr<PackFileInfo>> done;
        const CCommitBatch::Outcome outcome = background ? batch.Hand(done) : batch.Flush(done);
        for (auto& copy : done) {
            int& count = held[copy->szPath];
            if (count > 0) ++replaced[copy->szPath];  // its first entry goes, one copy comes
            else ++count;                              // only the copy appended here
            m_vecClientList.push_back(std::move(copy));
        }
        if (outcome.failure == CCommitBatch::Failure::kNone) return true;
        prefetch.Halt();
        if (outcome.failure == CCommitBatch::Failure::kList) {
            StopOnClientListFailure(outcome.error, L"CGameLauncherDlg::Ls_Update");
        } else {
            ReportNow(CannotOpenText(text::FromUtf8(outcome.path), outcome.error, L"Unknown"),
                      L"CGameLauncherDlg::Ls_Update");
            SetState(STATE_QUIT);
        }
        return false;
    };

    for (size_t index = 0; index < m_vecUpdateList.size(); ++index) {
        const auto& entry = m_vecUpdateList[index];
        if (IsQuitting()) {
            settle();
            return;
        }
        if (batch.Due() && !settle(true)) return;
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
            if (!settle()) return;
            const std::wstring& tooLong = target.size() > text::kMaxPathChars ? target : archive;
            ReportNow(CannotOpenText(tooLong, ENAMETOOLONG, L"Unknown"), L"CGameLauncherDlg::Ls_Update");
            SetState(STATE_QUIT);
            return;
        }
        // The same file again while its earlier copy waits: that one goes in first.
        if (batch.Holds(NativePath(target)) && !settle()) return;

        // The comparison refuses lists with such paths; this is the last guard
        // before anything is written.
        if (!StaysInsideFolder(m_strInstallPath, entry->szPath) ||
            !fsys::ChangeCurrentFolder(NativePath(m_strInstallPath)) || !CreateFoldersAlongPath(entry->szPath)) {
            if (!settle()) return;
            ShowAndLog(GetLauncherMessage(4), L"CGameLauncherDlg::Ls_Update");
            SetState(STATE_QUIT);
            return;
        }
        SetCurrentFile(entry->szPath);
        if (!DeleteLocalFile(true, archive)) {
            if (!settle()) return;
            SetPendingError(text::FormatW(L"%s\n%s\n%s", GetLauncherMessage(6), kCodeLC1015, archive.c_str()));
            SetState(STATE_ERROR);
            return;
        }

        bool unpacked = false;
        std::string written;
        std::wstring digest;
        std::vector<std::unique_ptr<fsys::TempFile>> items;
        std::optional<std::string> inMemory;  // the archive, when kept in memory instead of Temp
        for (int attempt = 0; attempt < 2 && !unpacked;) {
            if (IsQuitting()) {
                settle();
                return;
            }
            // Files done wait for no download: a batch is handed over before
            // a fetch that is not about to end (or when the one before it is
            // committed, if that takes longer).
            const bool early = attempt == 0 && prefetch.Await(index, kBatchWaitsForFetch);
            if (!batch.Empty() && !early && !batch.Busy() && !settle(true)) return;
            // Only a first attempt can use the early copy; a retry fetches anew.
            inMemory.reset();
            const int fetched = attempt == 0 ? TakePrefetched(prefetch, index, url, archive, callback, inMemory) : -1;
            if (fetched < 0) prefetch.MakeRoom(static_cast<uint32_t>(entry->nDownloadSize));
            if (fetched == 0 || (fetched < 0 && !URLDownload(url, archive, &callback))) {
                settle();
                SetState(STATE_QUIT);
                return;
            }
            if (!DeleteLocalFile(true, target)) {
                if (!settle()) return;
                SetPendingError(text::FormatW(L"%s\n%s\n%s", GetLauncherMessage(6), kCodeLC1016, target.c_str()));
                SetState(STATE_ERROR);
                return;
            }
            prefetch.MakeRoom(static_cast<uint32_t>(entry->nFileSize));
            items.clear();
            const ZipSource source = inMemory ? ZipSource::InMemory(*inMemory) : ZipSource(archive);
            if (Unzip(m_strInstallPath, source, &written, &digest, &items) == 0) {
                unpacked = true;
            } else {
                ++attempt;
            }
        }

        if (!unpacked) {
            if (!settle()) return;
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
        // The digest taken while the file was written is the one a read-back
        // would give; any other case reads the file, with its failures.
        const bool hashedOnTheWay = items.size() == 1 && !written.empty() && written == NativePath(target) &&
                                    digest.size() < 260;
        if (hashedOnTheWay) {
            digest.copy(sum, digest.size());
        } else {
            // Read back from its place: everything before it and every item
            // of its archive are committed first, in order.
            for (auto& item : items) batch.Add(std::move(item), nullptr, false, 0);
            if (!settle()) return;
            errno = 0;
            if (!ChecksumOfFile(sum, target, &m_bStopRequested)) {
                // Kept before anything else runs: the halt below removes a
                // folder tree and leaves its own errno.
                const int error = errno;
                if (m_bStopRequested) return;  // closing: the file is whole, just not recorded
                prefetch.Halt();
                ReportNow(CannotOpenText(target, error, L"Unknown"), L"CGameLauncherDlg::Ls_Update");
                Unzip_and_Checksum_Error(entry->szPath, archive, true);
                ResetPatchState();
                SetState(STATE_QUIT);
                return;
            }
        }
        if (entry->szChecksum.empty() || entry->szChecksum != sum) {
            items.clear();  // never put in place
            if (!settle()) return;
            prefetch.Halt();
            ReportNow(text::FormatW(L"%s\n%s", GetLauncherMessage(1), target.c_str()), L"CGameLauncherDlg::Ls_Update");
            Unzip_and_Checksum_Error(entry->szPath, archive, true);
            ResetPatchState();
            SetState(STATE_QUIT);
            return;
        }

        // Recorded with its batch, as one appended line: a run cut off later
        // keeps this file, and rewriting a large list per file would cost more
        // than the file itself. The reader lets the later line win. A large
        // file goes at once: the batch would only hold its sync back.
        auto copy = std::make_unique<PackFileInfo>(*entry);
        const bool listable = IsListableEntry(*copy);
        const uint64_t bytes = static_cast<uint32_t>(entry->nFileSize);
        batch.Add(hashedOnTheWay ? std::move(items.front()) : nullptr, std::move(copy), listable, bytes);
        if (bytes >= kLargeFileBytes && !settle()) return;

        if (!inMemory && !DeleteLocalFile(false, archive)) {
            if (!settle()) return;
            SetPendingError(text::FormatW(L"%s\n%s\n%s", GetLauncherMessage(6), kCodeLC1034, archive.c_str()));
            SetState(STATE_ERROR);
            return;
        }
    }
    if (!settle()) return;
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
                                     const std::wstring& archive, IBindStatusCallback& callback,
                                     std::optional<std::string>& inMemory) {
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
    CArchivePrefetch::Taken taken;
    if (!prefetch.Take(index, archive, report, &taken)) return aborted ? 0 : -1;
    if (taken.inMemory) inMemory = std::move(taken.body);
    if (!report(taken.bytes)) return 0;
    const uint32_t total = static_cast<uint32_t>(std::min<uint64_t>(taken.bytes, UINT32_MAX));
    return callback.OnProgress(total, size, BINDSTATUS_ENDDOWNLOADDATA, url.c_str()) == E_ABORT ? 0 : 1;
}
