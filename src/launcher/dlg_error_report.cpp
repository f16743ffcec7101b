// Error reporting and the launcher log.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "common/file_util.h"
#include "common/path_util.h"
#include "common/text_util.h"
#include "launcher/game_launcher_dlg.h"
#include "launcher/launcher_messages.h"

namespace {
constexpr size_t kMaxLogLineChars = 1023;

std::wstring BaseName(const char* path) {
    const char* slash = std::strrchr(path, '/');
    return text::FromUtf8(slash ? slash + 1 : path);
}
}  // namespace

std::wstring CGameLauncherDlg::GetExecuteErrorText(int result) {
    int entry;
    switch (result) {
        case 2: entry = 21; break;
        case 3: entry = 22; break;
        case 5: entry = 23; break;
        case 8: entry = 24; break;
        case 26: entry = 25; break;
        case 27: entry = 26; break;
        case 28: entry = 27; break;
        case 29: entry = 28; break;
        case 30: entry = 29; break;
        case 31: entry = 30; break;
        case 32: entry = 31; break;
        default: return L"Unknown error";
    }
    return GetLauncherMessage(entry);
}

std::wstring CGameLauncherDlg::CannotOpenText(const std::wstring& path, int errorNumber, const wchar_t* zeroText) {
    std::wstring reason = zeroText;
    if (errorNumber != 0) {
        char buf[512];
        // GNU strerror_r returns the text, possibly not in buf.
        reason = text::Cut(text::FromUtf8(strerror_r(errorNumber, buf, sizeof(buf))), text::kMaxPathChars);
    }
    return text::FormatW(GetLauncherMessage(8), reason.c_str(), errorNumber, path.c_str());
}

std::wstring CGameLauncherDlg::GetCaption() const { return GetLastPathComponent(m_strExecutablePath); }

void CGameLauncherDlg::SetPendingError(const std::wstring& text) {
    std::lock_guard lock(m_textLock);
    m_strPendingError = text;
}

std::wstring CGameLauncherDlg::GetPendingError() const {
    std::lock_guard lock(m_textLock);
    return m_strPendingError;
}

void CGameLauncherDlg::ShowMessage(const std::wstring& text) {
    m_view.ShowMessageBox(text, GetCaption(), MB_OK | MB_SYSTEMMODAL);
}

void CGameLauncherDlg::ReportNow(const std::wstring& text, const wchar_t* function, std::source_location site) {
    SetPendingError(text);
    ShowAndLog(text, function, site);
}

void CGameLauncherDlg::ShowAndLog(const std::wstring& text, const wchar_t* function, std::source_location site) {
    ShowMessage(text);
    WriteLauncherLog(text, function, static_cast<int32_t>(site.line()), BaseName(site.file_name()));
}

void CGameLauncherDlg::Ls_Error() {
    const std::wstring text = GetPendingError();
    ShowAndLog(text, L"CGameLauncherDlg::Ls_Error");
    SetState(STATE_END);
}

void CGameLauncherDlg::WriteLauncherLog(const std::wstring& message, const std::wstring& function, int32_t line,
                                        const std::wstring& sourceFile) {
    std::wstring record = L"cpp :[" + sourceFile + L"] Line :[" + std::to_wstring(line) + L"] Function :[" +
                          function + L"] Message :[" + message + L"]\n";
    if (record.size() > kMaxLogLineChars) record.resize(kMaxLogLineChars);

    std::wstring crlf;
    crlf.reserve(record.size() + 8);
    for (wchar_t c : record) {
        if (c == L'\n') crlf += L'\r';
        crlf += c;
    }
    const std::string bytes = text::EncodeUtf16LE(crlf);
    const std::string path = NativePath(m_strInstallPath + L"log/LauncherLog.txt");

    // Both threads log; one lock keeps a record and its byte-order mark whole.
    std::lock_guard lock(m_logLock);
    int fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return;
    struct stat st {};
    std::string out;
    if (fstat(fd, &st) == 0 && st.st_size == 0) out = "\xFF\xFE";
    out += bytes;
    size_t done = 0;
    while (done < out.size()) {
        ssize_t n = write(fd, out.data() + done, out.size() - done);
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    close(fd);
}

void CGameLauncherDlg::ResetLauncherLog() {
    // The log folder of the install folder, never one below the current
    // folder: started from elsewhere that would be somebody else's folder.
    const std::wstring folder = m_strInstallPath + L"log";
    DeleteFilesInFolder(folder, L"*.*");
    if (!FolderExists(folder)) mkdir(NativePath(folder).c_str(), 0755);
    const std::string file = NativePath(folder + L"/LauncherLog.txt");
    int fd = open(file.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd >= 0) close(fd);
}
