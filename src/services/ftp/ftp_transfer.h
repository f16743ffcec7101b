#pragma once
// A small FTP client: logs in, makes the remote folders a target path needs,
// and uploads one local file, optionally continuing a partial upload (REST).
// Another thread may call Close() to cancel a transfer in progress.
#include <atomic>
#include <cstdint>
#include <ctime>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "os/ftp_session.h"

struct RemoteFileInfo {
    std::wstring path;
    uint64_t size = 0;
    bool isDirectory = false;
    time_t creationTime = 0;
    time_t lastAccessTime = 0;
    time_t lastWriteTime = 0;
};
// Keyed by the entry's full, normalised remote path.
using RemoteFileList = std::map<std::wstring, RemoteFileInfo>;

class FtpTransfer {
public:
    static constexpr size_t kPieceSize = 65536;

    FtpTransfer();
    explicit FtpTransfer(std::unique_ptr<FtpSession> session);
    ~FtpTransfer();
    FtpTransfer(const FtpTransfer&) = delete;
    FtpTransfer& operator=(const FtpTransfer&) = delete;

    bool Login(const std::wstring& server, const std::wstring& user, const std::wstring& password, int port,
               bool utf8Names);
    bool UploadFile(const std::wstring& localPath, const std::wstring& remotePath, bool resume);
    bool Reconnect();
    // Cancels a transfer of another thread (it stops within a piece) and
    // releases the connection once that transfer has returned.
    void Close();
    bool IsConnected() const { return m_bConnected; }

    bool CreateRemoteFolders(const std::wstring& path);
    bool RemoteFolderExists(const std::wstring& path);
    bool ListRemoteFolder(const std::wstring& folder, RemoteFileList& listing);
    bool GetRemoteFileSize(const std::wstring& path, uint64_t& size);
    bool SendRestart(const std::wstring& path, uint64_t offset);

    // The server's reply to the last refused request (diagnostics).
    const std::string& GetLastServerReply() const { return m_strLastReply; }

private:
    bool OpenConnection();
    bool ConnectIfNeeded();
    void CloseHandles();
    bool Cancelled() const { return m_bCancel; }
    void ReadServerReply();
    std::string ToServerName(const std::wstring& name) const;
    std::wstring FromServerName(const std::string& name) const;
    std::string LocalFilePath(const std::wstring& localPath) const;
    bool SendFile(FILE* local);

    std::unique_ptr<FtpSession> m_session;
    // One operation at a time; Close() from another thread waits here after
    // it has aborted the operation in progress.
    std::recursive_mutex m_lock;
    std::atomic<bool> m_bCancel{false};
    bool m_bUtf8Names = true;
    std::wstring m_strServer;
    std::wstring m_strUser;
    std::wstring m_strPassword;
    int m_nPort = 0;
    bool m_bPassive = false;
    std::atomic<bool> m_bConnected{false};
    std::string m_strLastReply;
};
