// The progress model: counters to bar widths, and what to repaint.
#include "launcher/game_launcher_dlg.h"

namespace {
int32_t BarWidth(uint64_t received, uint64_t size) {
    if (size == 0 || received == 0) return 0;
    // The quotient passes through single precision, as the bars always did.
    const float quotient = static_cast<float>(static_cast<double>(received) / static_cast<double>(size));
    return static_cast<int32_t>(static_cast<double>(quotient) * 489.0);
}
}  // namespace

void CGameLauncherDlg::RefreshProgress() {
    UpdateTotalBar();
    UpdateFileBar();
    if (m_bTextRefresh) m_view.InvalidateRect(&kStatusText, false);
}

void CGameLauncherDlg::UpdateTotalBar() { UpdateBar(m_dwTotalRecv, m_dwTotalSize, m_rcTotalBar, kTotalBarBack); }

void CGameLauncherDlg::UpdateFileBar() { UpdateBar(m_dwFileRecv, m_dwFileSize, m_rcFileBar, kFileBarBack); }

void CGameLauncherDlg::UpdateBar(uint64_t received, uint64_t size, RECT& fill, const RECT& frame) {
    if (GetState() != STATE_UPDATE_FILES) return;
    const int32_t width = BarWidth(received, size);
    {
        std::lock_guard lock(m_textLock);
        fill.right = fill.left + width;
    }
    m_view.InvalidateRect(&frame, true);
}

void CGameLauncherDlg::ResetProgressBars() {
    {
        std::lock_guard lock(m_textLock);
        m_rcTotalBar = kTotalBarEmpty;
        m_rcFileBar = kFileBarEmpty;
    }
}

void CGameLauncherDlg::SetCurrentFile(const std::wstring& text) {
    std::lock_guard lock(m_textLock);
    m_szCurrentFile = text.substr(0, 259);
}

RECT CGameLauncherDlg::GetTotalBar() const {
    std::lock_guard lock(m_textLock);
    return m_rcTotalBar;
}

RECT CGameLauncherDlg::GetFileBar() const {
    std::lock_guard lock(m_textLock);
    return m_rcFileBar;
}

LauncherStatusSnapshot CGameLauncherDlg::GetStatusSnapshot() const {
    LauncherStatusSnapshot s;
    s.state = GetState();
    s.buttonsEnabled = m_bButtonsEnabled;
    s.fileSize = m_dwFileSize;
    s.fileRecv = m_dwFileRecv;
    s.totalSize = m_dwTotalSize;
    s.totalRecv = m_dwTotalRecv;
    std::lock_guard lock(m_textLock);
    s.currentFile = m_szCurrentFile;
    s.totalBar = m_rcTotalBar;
    s.fileBar = m_rcFileBar;
    return s;
}
