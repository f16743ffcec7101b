// FtpTransfer::UploadFile: the local file goes up in pieces of 64 KiB, after
// the remote folders exist, continuing a partial upload when asked to.
#include <cstdio>
#include <vector>

#include "util/custom_assert.h"
#include "services/ftp/ftp_remote_path.h"
#include "services/ftp/ftp_transfer.h"
#include "util/path_util.h"

namespace {
struct LocalFile {
    FILE* f = nullptr;
    ~LocalFile() {
        if (f) fclose(f);
    }
};
}  // namespace

std::string FtpTransfer::LocalFilePath(const std::wstring& localPath) const {
    // A bare name is read from the executable's folder.
    if (localPath.find_first_of(L"\\/") != std::wstring::npos) return NativePath(localPath);
    std::wstring folder;
    GetModuleFolder(folder, true);
    return NativePath(folder + L"\\" + localPath);
}

bool FtpTransfer::UploadFile(const std::wstring& localPath, const std::wstring& remotePath, bool resume) {
    std::lock_guard lock(m_lock);
    if (!m_bConnected && !Reconnect()) {
        RT_ASSERT(true, false, L"FtpTransfer::UploadFile", L"서버에 연결할 수 없습니다");
        return false;
    }
    if (remotePath != L"/") {
        const std::wstring folder = ftp_path::Normalise(ftp_path::GetRemoteFolderPart(remotePath));
        if (!folder.empty() && !CreateRemoteFolders(folder)) {
            RT_ASSERT(true, false, L"FtpTransfer::UploadFile", L"디렉토리 생성 실패");
            return false;
        }
    }
    uint64_t remoteSize = 0;
    if (resume && !GetRemoteFileSize(remotePath, remoteSize)) remoteSize = 0;
    if (remoteSize == 0) resume = false;

    LocalFile local;
    local.f = fopen(LocalFilePath(localPath).c_str(), "rb");
    if (!local.f) return false;
    if (fseeko(local.f, 0, SEEK_END) != 0) return false;
    const uint64_t localSize = static_cast<uint64_t>(ftello(local.f));
    if (resume && localSize == remoteSize) return true;  // the remote file is already complete
    // A remote file larger than ours is not a piece of it, and a server that
    // will not restart would take our tail as the whole file: send it all.
    if (resume && (remoteSize > localSize || !SendRestart(remotePath, remoteSize))) resume = false;
    if (fseeko(local.f, resume ? static_cast<off_t>(remoteSize) : 0, SEEK_SET) != 0) return false;

    if (!m_session->OpenForWrite(ToServerName(remotePath))) {
        ReadServerReply();
        return false;
    }
    return SendFile(local.f);
}

bool FtpTransfer::SendFile(FILE* local) {
    std::vector<char> piece(kPieceSize);
    while (!feof(local)) {
        const size_t n = fread(piece.data(), 1, piece.size(), local);
        if (n == 0) break;
        size_t sent = 0;
        while (sent < n) {
            size_t written = 0;
            if (!m_session->Write(piece.data() + sent, n - sent, written)) {
                m_session->CloseRemoteFile();
                ReadServerReply();
                return false;
            }
            sent += written;
        }
        if (Cancelled()) {
            m_session->CloseRemoteFile();
            return false;
        }
    }
    // A read error is no end of file: the remote copy would be cut short.
    if (ferror(local)) {
        m_session->CloseRemoteFile();
        return false;
    }
    // The server's final reply tells whether it stored the file.
    if (m_session->CloseRemoteFile()) return true;
    ReadServerReply();
    return false;
}
