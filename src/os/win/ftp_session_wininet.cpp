// The FTP session over WinINet, the system's own FTP client. Names go to the
// ANSI entry points as the byte strings the caller chose (UTF-8 or the local
// code page), so WinINet sends them on unchanged; the wide ones would recode
// them through the local code page.
#include <windows.h>
#include <wininet.h>

#include <atomic>
#include <mutex>

#include "os/ftp_session.h"
#include "os/thread_start.h"

namespace {

constexpr DWORD kConnectTimeoutMs = 15 * 1000;
constexpr DWORD kStallMs = 30 * 1000;
// Writes go out this much at a time, with an abort check between them: Wine
// does not end a send under way when the handle is closed, and a small piece
// leaves a slow server's socket buffer soon.
constexpr size_t kWritePiece = 16 * 1024;

time_t ToTimeT(const FILETIME& when) {
    const uint64_t ticks = (static_cast<uint64_t>(when.dwHighDateTime) << 32) | when.dwLowDateTime;
    // 100 ns ticks since 1601; 0 stands for a listing without a time.
    constexpr uint64_t kUnixEpoch = 116444736000000000ULL;
    return ticks <= kUnixEpoch ? 0 : static_cast<time_t>((ticks - kUnixEpoch) / 10000000ULL);
}

FtpFindData ToEntry(const WIN32_FIND_DATAA& found) {
    FtpFindData entry;
    entry.name = found.cFileName;
    entry.isDirectory = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    entry.sizeHigh = found.nFileSizeHigh;
    entry.sizeLow = found.nFileSizeLow;
    entry.creationTime = entry.lastAccessTime = entry.lastWriteTime = ToTimeT(found.ftLastWriteTime);
    return entry;
}

class WinInetFtpSession final : public FtpSession {
public:
    ~WinInetFtpSession() override { Disconnect(); }

    bool Connect(const std::string& server, uint16_t port, const std::string& user,
                 const std::string& password, bool passive) override {
        Disconnect();
        m_abort = false;
        HINTERNET internet = InternetOpenA("QuonLauncher", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
        if (!internet) return false;
        DWORD connectMs = kConnectTimeoutMs, stallMs = kStallMs;
        InternetSetOptionA(internet, INTERNET_OPTION_CONNECT_TIMEOUT, &connectMs, sizeof connectMs);
        InternetSetOptionA(internet, INTERNET_OPTION_RECEIVE_TIMEOUT, &stallMs, sizeof stallMs);
        InternetSetOptionA(internet, INTERNET_OPTION_SEND_TIMEOUT, &stallMs, sizeof stallMs);
        {
            std::lock_guard lock(m_handleLock);
            m_internet = internet;
        }
        // Connecting logs in as well.
        HINTERNET connection =
            InternetConnectA(internet, server.c_str(), port, user.c_str(), password.c_str(),
                             INTERNET_SERVICE_FTP, passive ? INTERNET_FLAG_PASSIVE : 0, 0);
        TakeReply();
        return connection && Keep(m_connection, connection, m_internet);
    }

    void Disconnect() override {
        HINTERNET root = nullptr;
        {
            std::lock_guard lock(m_handleLock);
            std::swap(root, m_internet);
            m_connection = m_file = m_find = nullptr;
        }
        // Closing the root closes the connection, a find and an open remote
        // file below it. It may wait for the server to take in a file under
        // way, so not under the lock (a writer meanwhile finds the session
        // gone and stops), and after an abort not at all.
        if (root) Close(root);
    }

    // The next call on the session fails at once, and a write under way
    // ends after its piece. Without a remote file open, the handles are
    // closed too, which ends a command waiting for the server; closing may
    // wait for the server's word, so that runs on a thread of its own that
    // touches nothing of the session. With one open, closing would wait for
    // the server to take in what it was sent (Wine holds the writer up
    // meanwhile): Disconnect does that.
    void Abort() override {
        m_abort = true;
        HINTERNET root = nullptr;
        {
            std::lock_guard lock(m_handleLock);
            if (m_file) return;
            std::swap(root, m_internet);
            m_connection = m_find = nullptr;
        }
        if (root) Close(root);
    }

    bool EnterFolder(const std::string& path) override {
        HINTERNET connection = Connection();
        return connection && Done(FtpSetCurrentDirectoryA(connection, path.c_str()));
    }

    bool MakeFolder(const std::string& path) override {
        HINTERNET connection = Connection();
        return connection && Done(FtpCreateDirectoryA(connection, path.c_str()));
    }

    FtpFindResult FindFirst(const std::string& pattern, FtpFindData& entry) override {
        CloseFind();
        HINTERNET connection = Connection();
        if (!connection) return FtpFindResult::Failed;
        WIN32_FIND_DATAA found{};
        HINTERNET find = FtpFindFirstFileA(connection, pattern.c_str(), &found, INTERNET_FLAG_RELOAD, 0);
        const DWORD error = GetLastError();
        TakeReply();
        if (find && !Keep(m_find, find)) return FtpFindResult::Failed;
        // An empty listing: ERROR_NO_MORE_FILES, or (Wine) no error at all
        // after the server's word that the listing went well.
        const bool empty = error == ERROR_NO_MORE_FILES || (error == ERROR_SUCCESS && m_reply.rfind("2", 0) == 0);
        if (!find) return empty ? FtpFindResult::NoMoreFiles : FtpFindResult::Failed;
        entry = ToEntry(found);
        return FtpFindResult::Found;
    }

    FtpFindResult FindNext(FtpFindData& entry) override {
        HINTERNET find = Handle(m_find);
        if (!find) return FtpFindResult::Failed;
        WIN32_FIND_DATAA found{};
        if (!InternetFindNextFileA(find, &found))
            return GetLastError() == ERROR_NO_MORE_FILES ? FtpFindResult::NoMoreFiles : FtpFindResult::Failed;
        entry = ToEntry(found);
        return FtpFindResult::Found;
    }

    void CloseFind() override {
        std::lock_guard lock(m_handleLock);
        if (m_find) InternetCloseHandle(m_find);
        m_find = nullptr;
    }

    bool Command(const std::string& command) override {
        HINTERNET connection = Connection();
        if (!connection) return false;
        // Binary type first: servers refuse REST in ASCII mode. The reply,
        // whatever its code, is for the caller to read.
        FtpCommandA(connection, FALSE, FTP_TRANSFER_TYPE_BINARY, "TYPE I", 0, nullptr);
        const BOOL sent =
            FtpCommandA(connection, FALSE, FTP_TRANSFER_TYPE_BINARY, command.c_str(), 0, nullptr);
        const DWORD error = GetLastError();
        TakeReply();
        // A reply that is no success still came: the command went out.
        return sent || (error == ERROR_INTERNET_EXTENDED_ERROR && !m_reply.empty());
    }

    std::string GetLastResponseInfo() const override { return m_reply; }

    bool OpenForWrite(const std::string& path) override {
        HINTERNET connection = Connection();
        if (!connection || Handle(m_file)) return false;
        HINTERNET file = FtpOpenFileA(connection, path.c_str(), GENERIC_WRITE,
                                      FTP_TRANSFER_TYPE_BINARY | INTERNET_FLAG_RELOAD, 0);
        TakeReply();
        return file && Keep(m_file, file);
    }

    bool Write(const void* data, size_t size, size_t& written) override {
        written = 0;
        HINTERNET file = Handle(m_file);
        if (!file) return false;
        const char* bytes = static_cast<const char*>(data);
        while (written < size) {
            DWORD sent = 0;
            const DWORD piece = static_cast<DWORD>(std::min<size_t>(size - written, kWritePiece));
            if (!InternetWriteFile(file, bytes + written, piece, &sent) || m_abort) return false;
            written += sent;
            if (sent == 0) return false;
        }
        return true;
    }

    bool CloseRemoteFile() override {
        HINTERNET file;
        {
            std::lock_guard lock(m_handleLock);
            file = m_file;
            m_file = nullptr;
        }
        if (!file) return false;
        if (m_abort) {
            Close(file);
            return false;
        }
        // Closing waits for the server's word on the whole file.
        const BOOL closed = InternetCloseHandle(file);
        TakeReply();
        return closed && !m_abort && !m_reply.empty() && m_reply[0] == '2';
    }

private:
    // After an abort, on a thread of its own that touches nothing of the
    // session: the close may wait for the server.
    void Close(HINTERNET handle) {
        if (!m_abort) {
            InternetCloseHandle(handle);
            return;
        }
        StartThread([handle] { InternetCloseHandle(handle); }).detach();
    }

    // A handle as it stands now; null once Abort() or Disconnect() took it.
    HINTERNET Handle(HINTERNET& member) {
        std::lock_guard lock(m_handleLock);
        return m_abort ? nullptr : member;
    }
    HINTERNET Connection() { return Handle(m_connection); }
    // Records a new handle below the connection; false (the handle closed)
    // when the connection went meanwhile.
    bool Keep(HINTERNET& member, HINTERNET handle) { return Keep(member, handle, m_connection); }
    bool Keep(HINTERNET& member, HINTERNET handle, HINTERNET& parent) {
        std::lock_guard lock(m_handleLock);
        if (!parent || m_abort) {
            InternetCloseHandle(handle);
            return false;
        }
        member = handle;
        return true;
    }

    bool Done(BOOL result) {
        TakeReply();
        return result && !m_abort;
    }

    // WinINet keeps the last reply per thread; this session keeps it as its own.
    void TakeReply() {
        DWORD error = 0, size = 0;
        InternetGetLastResponseInfoA(&error, nullptr, &size);
        std::string reply(size + 1, '\0');
        size = static_cast<DWORD>(reply.size());
        if (!InternetGetLastResponseInfoA(&error, reply.data(), &size)) size = 0;
        reply.resize(size);
        m_reply = reply;
    }

    std::atomic<bool> m_abort{false};
    std::mutex m_handleLock;
    HINTERNET m_internet = nullptr;
    HINTERNET m_connection = nullptr;
    HINTERNET m_file = nullptr;
    HINTERNET m_find = nullptr;
    std::string m_reply;
};

}  // namespace

std::unique_ptr<FtpSession> FtpSession::Create() {
    return std::make_unique<WinInetFtpSession>();
}
