#pragma once
// One FTP connection with the handful of operations the FTP transfer needs,
// shaped after the classic synchronous session calls: connect and log in,
// enter and create folders, list the current folder, send a raw command,
// write one remote file in pieces, read the server's last reply.
//
// Names are byte strings as they go to the server (UTF-8 or the local code
// page: the caller chooses). Every call blocks the calling thread; Abort() may
// be called from any other thread and makes the call in progress, and every
// later one until the next Connect, fail promptly. (Operation names keep clear
// of the Windows API's macros: CreateDirectory, WriteFile, ...)
#include <cstdint>
#include <ctime>
#include <memory>
#include <string>

struct FtpFindData {
    std::string name;
    bool isDirectory = false;
    uint32_t sizeHigh = 0;
    uint32_t sizeLow = 0;
    // The listing carries one time; it stands for all three (0 when unknown).
    time_t creationTime = 0;
    time_t lastAccessTime = 0;
    time_t lastWriteTime = 0;
};

enum class FtpFindResult { Found, NoMoreFiles, Failed };

class FtpSession {
public:
    virtual ~FtpSession() = default;

    // Connects and logs in; false when the server cannot be reached or
    // refuses the login. `passive` chooses passive data connections.
    virtual bool Connect(const std::string& server, uint16_t port, const std::string& user,
                         const std::string& password, bool passive) = 0;
    // Releases the connection (an open remote file is abandoned).
    virtual void Disconnect() = 0;
    // Thread-safe; see above.
    virtual void Abort() = 0;

    // Paths not starting with "/" are relative to the current folder.
    virtual bool EnterFolder(const std::string& path) = 0;
    virtual bool MakeFolder(const std::string& path) = 0;

    // Lists the current folder (entries matching `pattern`, "*" = all).
    virtual FtpFindResult FindFirst(const std::string& pattern, FtpFindData& entry) = 0;
    virtual FtpFindResult FindNext(FtpFindData& entry) = 0;
    virtual void CloseFind() = 0;

    // Sends one command without a data connection; false when it could not be
    // sent. The reply, whatever its code, is then GetLastResponseInfo().
    virtual bool Command(const std::string& command) = 0;
    // The server's last reply lines, as sent.
    virtual std::string GetLastResponseInfo() const = 0;

    // Opens `path` for writing in binary mode (STOR; a "REST n" command the
    // server accepted just before makes it continue at n). False when the
    // server refuses it.
    virtual bool OpenForWrite(const std::string& path) = 0;
    // Sends a piece; `written` tells how much went out.
    virtual bool Write(const void* data, size_t size, size_t& written) = 0;
    // Ends the remote file; true when the server confirmed the whole file.
    virtual bool CloseRemoteFile() = 0;

    static std::unique_ptr<FtpSession> Create();
};
