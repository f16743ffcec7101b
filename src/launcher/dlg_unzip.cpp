// Unpacking one archive over the install folder, and the clean-up after a
// file failed its check.
#include "util/file_util.h"
#include "util/text_util.h"
#include "launcher/game_launcher_dlg.h"
#include "launcher/launcher_messages.h"
#include "launcher/zip_extract.h"

int CGameLauncherDlg::Unzip(const std::wstring& folder, const ZipSource& archive, std::string* written,
                            std::wstring* digest, std::vector<std::unique_ptr<fsys::TempFile>>* uncommitted) {
    bool diskFull = false;
    int items = 0;
    ZipItemReport only{};
    const bool opened = ExtractZipArchive(
        archive, folder,
        [&](const ZipItemReport& item) {
            // A later item may overwrite the first one's file; the digest
            // taken on the way out stands for the file only when it is alone.
            if (++items == 1) only = item;
            // Other item failures are left to the checksum that follows.
            if (item.result != kZipWriteFailure) return true;
            diskFull = true;
            return false;
        },
        &m_bStopRequested, uncommitted);
    // Stopped half-way: nothing of it is to be checked or reported.
    if (written && digest) {
        written->clear();
        digest->clear();
        if (items == 1 && only.result == kZipOk && !only.written.empty()) {
            *written = std::move(only.written);
            *digest = std::move(only.digest);
        }
    }
    if (!opened || m_bStopRequested) return 1;
    if (diskFull) {
        ReportNow(text::FormatW(L"%s\n%s", GetLauncherMessage(12), kCodeLC9999), L"CGameLauncherDlg::Unzip");
        return 1;
    }
    return 0;
}

void CGameLauncherDlg::Unzip_and_Checksum_Error(const std::wstring& relativePath, const std::wstring& archive,
                                                bool deleteTarget) {
    auto fail = [this](const wchar_t* code, const std::wstring& path) {
        ReportNow(text::FormatW(L"%s\n%s\n%s", GetLauncherMessage(6), code, path.c_str()),
                  L"CGameLauncherDlg::Unzip_and_Checksum_Error");
        SetState(STATE_QUIT);
    };
    // A file that is already gone is what this clean-up wants; only one that
    // stays is worth a report (a fresh install has no client list yet, and a
    // refused archive item leaves no target).
    if (deleteTarget) {
        const std::wstring target = FullPath(relativePath);
        if (!DeleteLocalFile(true, target)) return fail(kCodeLC1027, target);
    }
    // Whole: a cut path would name another file (Ls_Update refuses archive
    // paths that do not fit).
    if (!DeleteLocalFile(true, archive)) return fail(kCodeLC1029, archive);
    const std::wstring clientList = m_strInstallPath + L"packclit.lit";
    if (!DeleteLocalFile(true, clientList)) fail(kCodeLC1028, clientList);
}

void CGameLauncherDlg::ResetPatchState() {
    RemoveFolderTree(m_strInstallPath + L"Temp");
    DeleteLocalFile(false, m_strInstallPath + L"packclit.lit");
    ResetProgressBars();
    m_view.InvalidateRect(&kStatusText, false);
}

uint64_t CGameLauncherDlg::GetTotalDownloadSize() {
    // Each size is the list's unsigned 32-bit field; the sum is not: a patch
    // of more than 4 GiB must not wrap to a small total.
    uint64_t total = 0;
    for (const auto& entry : m_vecUpdateList) total += static_cast<uint32_t>(entry->nDownloadSize);
    return total;
}
