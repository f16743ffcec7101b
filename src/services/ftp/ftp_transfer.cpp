#include "services/ftp/ftp_transfer.h"

#include <cwchar>

#include "util/custom_assert.h"
#include "services/ftp/ftp_remote_path.h"
#include "util/text_util.h"

namespace {
// Names in the local code page, for servers that do not speak UTF-8.
std::string ToLocale(const std::wstring& text) {
    std::string out;
    std::mbstate_t state{};
    char buf[MB_LEN_MAX];
    for (wchar_t c : text) {
        const size_t n = wcrtomb(buf, c, &state);
        if (n == static_cast<size_t>(-1)) {
            out += '?';
            state = {};
        } else {
            out.append(buf, n);
        }
    }
    return out;
}

std::wstring FromLocale(const std::string& text) {
    std::wstring out;
    std::mbstate_t state{};
    for (size_t i = 0; i < text.size();) {
        wchar_t c = 0;
        const size_t n = mbrtowc(&c, text.data() + i, text.size() - i, &state);
        if (n == static_cast<size_t>(-1) || n == static_cast<size_t>(-2)) {
            out += L'?';
            state = {};
            ++i;
        } else {
            out += c;
            i += n == 0 ? 1 : n;
        }
    }
    return out;
}
}  // namespace

FtpTransfer::FtpTransfer() : FtpTransfer(FtpSession::Create()) {}

FtpTransfer::FtpTransfer(std::unique_ptr<FtpSession> session) : m_session(std::move(session)) {}

FtpTransfer::~FtpTransfer() {
    Close();
}

bool FtpTransfer::Login(const std::wstring& server, const std::wstring& user, const std::wstring& password,
                        int port, bool utf8Names) {
    std::lock_guard lock(m_lock);
    if (m_bConnected) Close();
    m_strServer = server;
    m_strUser = user;
    m_strPassword = password;
    m_nPort = port;
    m_bUtf8Names = utf8Names;
    m_bPassive = true;
    return OpenConnection();
}

bool FtpTransfer::Reconnect() {
    std::lock_guard lock(m_lock);
    if (m_bConnected) return true;
    if (m_strServer.empty() || m_strUser.empty() || m_strPassword.empty() || m_nPort == 0) return false;
    return OpenConnection();
}

bool FtpTransfer::OpenConnection() {
    // A new connection gets a new, clear cancel event: an earlier Close()
    // must not cancel what is started afterwards.
    m_bCancel = false;
    if (!m_session->Connect(text::ToUtf8(m_strServer), static_cast<uint16_t>(m_nPort),
                            ToServerName(m_strUser), ToServerName(m_strPassword), m_bPassive)) {
        ReadServerReply();
        CloseHandles();
        RT_ASSERT(true, false, L"FtpTransfer::Login", L"InternetConnect Failed ");
        return false;
    }
    m_bConnected = true;
    return true;
}

void FtpTransfer::Close() {
    m_bCancel = true;
    m_session->Abort();
    std::lock_guard lock(m_lock);
    CloseHandles();
}

void FtpTransfer::CloseHandles() {
    m_session->Disconnect();
    m_bConnected = false;
}

bool FtpTransfer::ConnectIfNeeded() {
    return m_bConnected || Reconnect();
}

void FtpTransfer::ReadServerReply() {
    m_strLastReply = m_session->GetLastResponseInfo();
}

std::string FtpTransfer::ToServerName(const std::wstring& name) const {
    return m_bUtf8Names ? text::ToUtf8(name) : ToLocale(name);
}

std::wstring FtpTransfer::FromServerName(const std::string& name) const {
    return m_bUtf8Names ? text::FromUtf8(name) : FromLocale(name);
}

bool FtpTransfer::RemoteFolderExists(const std::wstring& path) {
    std::lock_guard lock(m_lock);
    if (!ConnectIfNeeded() || path.empty()) return false;
    const std::wstring folder = ftp_path::Normalise(path);
    if (folder == L"/") return false;
    return m_session->EnterFolder(ToServerName(folder));
}

bool FtpTransfer::CreateRemoteFolders(const std::wstring& path) {
    std::lock_guard lock(m_lock);
    if (!ConnectIfNeeded()) return false;
    if (ftp_path::Normalise(path).empty()) return false;
    const std::wstring folder = ftp_path::FolderWithoutSlash(path);
    // The root always exists.
    if (folder == L"/") return true;
    if (RemoteFolderExists(folder)) return true;
    for (size_t i = 0; i < folder.size(); ++i) {
        if (folder[i] != L'/') continue;
        const std::wstring prefix = folder.substr(0, i);
        if (prefix.empty() || RemoteFolderExists(prefix)) continue;
        if (!m_session->MakeFolder(ToServerName(prefix))) {
            ReadServerReply();
            return false;
        }
        if (Cancelled()) return false;
    }
    if (m_session->MakeFolder(ToServerName(folder))) return true;
    ReadServerReply();
    return false;
}

bool FtpTransfer::ListRemoteFolder(const std::wstring& folderPath, RemoteFileList& listing) {
    std::lock_guard lock(m_lock);
    listing.clear();
    if (!ConnectIfNeeded() || folderPath.empty()) return false;
    const std::wstring folder = ftp_path::FolderWithoutSlash(folderPath);
    if (!m_session->EnterFolder(ToServerName(folder))) return false;
    FtpFindData entry;
    FtpFindResult found = m_session->FindFirst("*", entry);
    if (found == FtpFindResult::Failed) return false;
    while (found == FtpFindResult::Found) {
        if (entry.name != "." && entry.name != "..") {
            RemoteFileInfo info;
            info.path = ftp_path::Normalise(L"/" + folder + L"/" + FromServerName(entry.name));
            info.size = (static_cast<uint64_t>(entry.sizeHigh) << 32) + entry.sizeLow;
            info.isDirectory = entry.isDirectory;
            info.creationTime = entry.creationTime;
            info.lastAccessTime = entry.lastAccessTime;
            info.lastWriteTime = entry.lastWriteTime;
            listing[info.path] = info;
        }
        found = m_session->FindNext(entry);
        if (Cancelled()) {
            m_session->CloseFind();
            return false;
        }
    }
    m_session->CloseFind();
    return true;
}

bool FtpTransfer::GetRemoteFileSize(const std::wstring& path, uint64_t& size) {
    std::lock_guard lock(m_lock);
    size = 0;
    RemoteFileList listing;
    if (!ListRemoteFolder(ftp_path::GetRemoteFolderPart(path), listing)) return false;
    // Keys are normalised; "/a//b" names the entry "/a/b".
    auto it = listing.find(ftp_path::Normalise(path));
    if (it == listing.end() || it->second.isDirectory) return false;
    size = it->second.size;
    return true;
}

bool FtpTransfer::SendRestart(const std::wstring& path, uint64_t offset) {
    std::lock_guard lock(m_lock);
    const std::wstring folder = ftp_path::GetRemoteFolderPart(path);
    if (!folder.empty()) m_session->EnterFolder(ToServerName(ftp_path::FolderWithoutSlash(folder)));
    if (!m_session->Command("REST " + std::to_string(offset))) return false;
    const std::string reply = m_session->GetLastResponseInfo();
    return !reply.empty() && (reply[0] == '1' || reply[0] == '2' || reply[0] == '3');
}
