// Error reporting and the launcher log.
#include <cstring>

#include "util/file_util.h"
#include "util/path_util.h"
#include "util/text_util.h"
#include "launcher/game_launcher_dlg.h"
#include "launcher/launcher_messages.h"
#include "launcher/run_leftovers.h"
#include "base/file_system.h"
#include "base/process_facts.h"

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
        reason = text::Cut(text::FromUtf8(fsys::SystemErrorText(errorNumber)), text::kMaxPathChars);
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

int CGameLauncherDlg::StartInstalledProgram(const wchar_t* name, const wchar_t* function, std::source_location site) {
    const int result = m_platform.StartProgram(name, m_pPublisher->GetArgument(), m_strInstallPath);
    const std::wstring note = m_platform.TakeStartNote();
    if (!note.empty()) WriteLauncherLog(note, function, static_cast<int32_t>(site.line()), BaseName(site.file_name()));
    return result;
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

    const std::string bytes = text::EncodeUtf16LE(record, text::LineEnds::kCrLf);
    const std::string path = NativePath(m_strInstallPath + L"log/LauncherLog.txt");

    // Both threads log; one lock keeps a record and its byte-order mark whole.
    std::lock_guard lock(m_logLock);
    fsys::File file;
    if (!file.Open(path, fsys::File::Mode::kAppend)) return;
    std::string out;
    if (file.Size() == 0) out = "\xFF\xFE";
    out += bytes;
    file.Write(out);
}

void CGameLauncherDlg::ResetLauncherLog() {
    // Start-up is the one moment no other launcher works in this folder (the
    // instance lock is held), so the scraps of an interrupted run go now.
    RemoveRunLeftovers(m_strInstallPath);
    // The log folder of the install folder, never one below the current
    // folder: started from elsewhere that would be somebody else's folder.
    const std::wstring folder = m_strInstallPath + L"log";
    DeleteFilesInFolder(folder, L"*.*");
    const std::string native = NativePath(folder);
    if (fsys::KindOf(native) == fsys::Kind::kMissing) fsys::MakeFolder(native);
    fsys::File file;
    file.Open(native + "/LauncherLog.txt", fsys::File::Mode::kCreateTruncate);
}
