// The FTP session over libcurl. One multi handle per session keeps the control
// connection (and the login) alive between requests; each operation is one
// request on it, driven here so that Abort() from another thread ends it
// within ~100 ms. Paths are made absolute against a tracked current folder
// and handed over without any CWD of curl's own (NOCWD), so the server sees
// the path exactly as the caller gave it, double slashes included.
#include <curl/curl.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>
#include <vector>

#include "os/ftp_session.h"
#include "os/posix/ftp_list_time.h"

namespace {

constexpr long kConnectTimeoutSeconds = 15;
constexpr long kStallSeconds = 30;
constexpr int kPollMilliseconds = 100;

std::string EscapePath(const std::string& path, bool keepStar) {
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : path) {
        if (isalnum(c) || c == '/' || c == '-' || c == '_' || c == '.' || c == '~' ||
            (keepStar && c == '*')) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

class CurlFtpSession final : public FtpSession {
public:
    CurlFtpSession() {
        static std::once_flag once;
        std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
    }
    ~CurlFtpSession() override { Disconnect(); }

    bool Connect(const std::string& server, uint16_t port, const std::string& user,
                 const std::string& password, bool passive) override {
        Disconnect();
        m_abort = false;
        m_base = "ftp://" + server + ":" + std::to_string(port);
        m_user = user;
        m_password = password;
        m_passive = passive;
        {
            std::lock_guard lock(m_wakeLock);
            m_multi = curl_multi_init();
        }
        m_easy = curl_easy_init();
        if (!m_multi || !m_easy) return false;
        // Logging in is all a body-less request to the root does.
        Prepare(m_base + "/");
        curl_easy_setopt(m_easy, CURLOPT_NOBODY, 1L);
        if (Perform() != CURLE_OK) {
            Disconnect();
            return false;
        }
        const char* entry = nullptr;
        curl_easy_getinfo(m_easy, CURLINFO_FTP_ENTRY_PATH, &entry);
        m_cwd = entry && *entry == '/' ? entry : "/";
        return true;
    }

    void Disconnect() override {
        if (m_uploading) curl_multi_remove_handle(m_multi, m_easy);
        m_uploading = false;
        if (m_easy) curl_easy_cleanup(m_easy);
        m_easy = nullptr;
        std::lock_guard lock(m_wakeLock);
        if (m_multi) curl_multi_cleanup(m_multi);
        m_multi = nullptr;
        m_found.clear();
    }

    void Abort() override {
        m_abort = true;
        std::lock_guard lock(m_wakeLock);
        if (m_multi) curl_multi_wakeup(m_multi);
    }

    bool EnterFolder(const std::string& path) override {
        const std::string target = Resolve(path);
        if (!Quote({"CWD " + target})) return false;
        m_cwd = target;
        return true;
    }

    bool MakeFolder(const std::string& path) override { return Quote({"MKD " + Resolve(path)}); }

    FtpFindResult FindFirst(const std::string& pattern, FtpFindData& entry) override {
        m_found.clear();
        m_next = 0;
        if (!m_easy) return FtpFindResult::Failed;
        std::string folder = m_cwd;
        if (folder.back() != '/') folder += '/';
        // A handle of its own: curl_easy_reset() does not free the wildcard
        // state, cleaning the handle up does (the connection stays cached).
        CURL* const commands = m_easy;
        m_easy = curl_easy_init();
        if (!m_easy) {
            m_easy = commands;
            return FtpFindResult::Failed;
        }
        Prepare(m_base + "/" + EscapePath(folder, false) + EscapePath(pattern, true));
        curl_easy_setopt(m_easy, CURLOPT_FTP_FILEMETHOD, static_cast<long>(CURLFTPMETHOD_SINGLECWD));
        curl_easy_setopt(m_easy, CURLOPT_WILDCARDMATCH, 1L);
        curl_easy_setopt(m_easy, CURLOPT_CHUNK_BGN_FUNCTION, &CurlFtpSession::OnListEntry);
        curl_easy_setopt(m_easy, CURLOPT_CHUNK_DATA, this);
        const CURLcode result = Perform();
        curl_easy_cleanup(m_easy);
        m_easy = commands;
        // A folder that lists nothing ends the match with "not found" (one
        // that cannot be entered with "access denied").
        if (result != CURLE_OK && result != CURLE_REMOTE_FILE_NOT_FOUND) {
            m_found.clear();
            return FtpFindResult::Failed;
        }
        return FindNext(entry);
    }

    FtpFindResult FindNext(FtpFindData& entry) override {
        if (m_next >= m_found.size()) return FtpFindResult::NoMoreFiles;
        entry = m_found[m_next++];
        return FtpFindResult::Found;
    }

    void CloseFind() override { m_found.clear(); }

    bool Command(const std::string& command) override {
        m_restart.clear();
        // Binary type first (servers refuse REST in ASCII mode); "*" lets the
        // request succeed whatever the reply, which the caller reads.
        if (!Quote({"TYPE I", "*" + command})) return false;
        if (command.rfind("REST ", 0) == 0 && m_lastReply.rfind("350", 0) == 0) m_restart = command;
        return true;
    }

    std::string GetLastResponseInfo() const override { return m_lastReply; }

    bool OpenForWrite(const std::string& path) override {
        if (!m_easy || m_uploading) return false;
        Prepare(m_base + "/" + EscapePath(Resolve(path), false));
        curl_easy_setopt(m_easy, CURLOPT_UPLOAD, 1L);
        curl_easy_setopt(m_easy, CURLOPT_READFUNCTION, &CurlFtpSession::OnRead);
        curl_easy_setopt(m_easy, CURLOPT_READDATA, this);
        curl_slist* prequote = nullptr;
        // The accepted restart marker goes again right before STOR: curl sends
        // its own commands (TYPE, EPSV) in between, and some servers forget it.
        if (!m_restart.empty()) prequote = curl_slist_append(nullptr, m_restart.c_str());
        curl_easy_setopt(m_easy, CURLOPT_PREQUOTE, prequote);
        m_restart.clear();
        m_piece = nullptr;
        m_pieceSize = m_pieceDone = 0;
        m_endOfFile = m_waiting = false;
        m_uploading = true;
        curl_multi_add_handle(m_multi, m_easy);
        // The server has accepted STOR once curl asks for the first byte.
        const CURLcode result = Drive([this] { return m_waiting; });
        curl_slist_free_all(prequote);
        curl_easy_setopt(m_easy, CURLOPT_PREQUOTE, nullptr);
        if (result != CURLE_AGAIN) {
            EndUpload();
            return false;
        }
        return true;
    }

    bool Write(const void* data, size_t size, size_t& written) override {
        written = 0;
        if (!m_uploading) return false;
        m_piece = static_cast<const char*>(data);
        m_pieceSize = size;
        m_pieceDone = 0;
        m_waiting = false;
        curl_easy_pause(m_easy, CURLPAUSE_CONT);
        const CURLcode result = Drive([this] { return m_waiting && m_pieceDone == m_pieceSize; });
        written = m_pieceDone;
        m_piece = nullptr;
        if (result != CURLE_AGAIN) {
            EndUpload();
            return false;
        }
        return true;
    }

    bool CloseRemoteFile() override {
        if (!m_uploading) return false;
        m_endOfFile = true;
        curl_easy_pause(m_easy, CURLPAUSE_CONT);
        const CURLcode result = Drive([] { return false; });
        EndUpload();
        return result == CURLE_OK;
    }

private:
    std::string Resolve(const std::string& path) const {
        if (!path.empty() && path[0] == '/') return path;
        return m_cwd + (m_cwd.back() == '/' ? "" : "/") + path;
    }

    // Options every request starts from (a reset keeps the connection).
    void Prepare(const std::string& url) {
        curl_easy_reset(m_easy);
        curl_easy_setopt(m_easy, CURLOPT_URL, url.c_str());
        curl_easy_setopt(m_easy, CURLOPT_USERNAME, m_user.c_str());
        curl_easy_setopt(m_easy, CURLOPT_PASSWORD, m_password.c_str());
        curl_easy_setopt(m_easy, CURLOPT_FTP_FILEMETHOD, static_cast<long>(CURLFTPMETHOD_NOCWD));
        if (!m_passive) curl_easy_setopt(m_easy, CURLOPT_FTPPORT, "-");
        curl_easy_setopt(m_easy, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
        curl_easy_setopt(m_easy, CURLOPT_SERVER_RESPONSE_TIMEOUT, kStallSeconds);
        curl_easy_setopt(m_easy, CURLOPT_LOW_SPEED_LIMIT, 1L);
        curl_easy_setopt(m_easy, CURLOPT_LOW_SPEED_TIME, kStallSeconds);
        curl_easy_setopt(m_easy, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(m_easy, CURLOPT_WRITEFUNCTION, &CurlFtpSession::Discard);
        // The server's replies reach us as incoming header lines.
        curl_easy_setopt(m_easy, CURLOPT_VERBOSE, 1L);
        curl_easy_setopt(m_easy, CURLOPT_DEBUGFUNCTION, &CurlFtpSession::OnDebug);
        curl_easy_setopt(m_easy, CURLOPT_DEBUGDATA, this);
    }

    bool Quote(std::initializer_list<std::string> commands) {
        if (!m_easy) return false;
        Prepare(m_base + "/");
        curl_easy_setopt(m_easy, CURLOPT_NOBODY, 1L);
        curl_slist* quote = nullptr;
        for (const auto& command : commands) quote = curl_slist_append(quote, command.c_str());
        curl_easy_setopt(m_easy, CURLOPT_QUOTE, quote);
        const CURLcode result = Perform();
        curl_easy_setopt(m_easy, CURLOPT_QUOTE, nullptr);
        curl_slist_free_all(quote);
        return result == CURLE_OK;
    }

    CURLcode Perform() {
        if (m_abort) return CURLE_ABORTED_BY_CALLBACK;
        curl_multi_add_handle(m_multi, m_easy);
        const CURLcode result = Drive([] { return false; });
        curl_multi_remove_handle(m_multi, m_easy);
        return result;
    }

    // Runs the multi handle until the request is done (its result), `enough`
    // holds (CURLE_AGAIN) or Abort() was called.
    template <typename Enough>
    CURLcode Drive(Enough enough) {
        for (;;) {
            if (m_abort) return CURLE_ABORTED_BY_CALLBACK;
            int running = 0;
            if (curl_multi_perform(m_multi, &running) != CURLM_OK) return CURLE_FAILED_INIT;
            int left = 0;
            while (CURLMsg* msg = curl_multi_info_read(m_multi, &left)) {
                if (msg->msg == CURLMSG_DONE && msg->easy_handle == m_easy) return msg->data.result;
            }
            if (enough()) return CURLE_AGAIN;
            curl_multi_poll(m_multi, nullptr, 0, kPollMilliseconds, nullptr);
        }
    }

    void EndUpload() {
        curl_multi_remove_handle(m_multi, m_easy);
        m_uploading = false;
    }

    static size_t OnRead(char* buffer, size_t size, size_t count, void* self) {
        auto* s = static_cast<CurlFtpSession*>(self);
        const size_t room = size * count;
        if (s->m_pieceDone < s->m_pieceSize) {
            const size_t n = std::min(room, s->m_pieceSize - s->m_pieceDone);
            memcpy(buffer, s->m_piece + s->m_pieceDone, n);
            s->m_pieceDone += n;
            return n;
        }
        if (s->m_endOfFile) return 0;
        s->m_waiting = true;
        return CURL_READFUNC_PAUSE;
    }

    static long OnListEntry(const void* info, void* self, int) {
        auto* s = static_cast<CurlFtpSession*>(self);
        const auto* fi = static_cast<const curl_fileinfo*>(info);
        FtpFindData entry;
        entry.name = fi->filename ? fi->filename : "";
        entry.isDirectory = fi->filetype == CURLFILETYPE_DIRECTORY;
        const uint64_t size = fi->size > 0 ? static_cast<uint64_t>(fi->size) : 0;
        entry.sizeHigh = static_cast<uint32_t>(size >> 32);
        entry.sizeLow = static_cast<uint32_t>(size);
        const time_t when = ParseListTime(fi->strings.time ? fi->strings.time : "", time(nullptr));
        entry.creationTime = entry.lastAccessTime = entry.lastWriteTime = when;
        s->m_found.push_back(std::move(entry));
        return CURL_CHUNK_BGN_FUNC_SKIP;
    }

    static int OnDebug(CURL*, curl_infotype type, char* data, size_t size, void* self) {
        if (type != CURLINFO_HEADER_IN) return 0;
        auto* s = static_cast<CurlFtpSession*>(self);
        // A reply is one or more lines; the last reads "ddd text".
        if (s->m_replyComplete) s->m_lastReply.clear();
        std::string line(data, size);
        s->m_lastReply += line;
        s->m_replyComplete =
            line.size() >= 4 && isdigit(static_cast<unsigned char>(line[0])) && line[3] == ' ';
        return 0;
    }

    static size_t Discard(char*, size_t size, size_t count, void*) { return size * count; }

    std::atomic<bool> m_abort{false};
    std::mutex m_wakeLock;
    CURLM* m_multi = nullptr;
    CURL* m_easy = nullptr;
    std::string m_base, m_user, m_password, m_cwd = "/";
    bool m_passive = true;
    std::string m_lastReply;
    bool m_replyComplete = true;
    std::string m_restart;
    std::vector<FtpFindData> m_found;
    size_t m_next = 0;
    bool m_uploading = false;
    const char* m_piece = nullptr;
    size_t m_pieceSize = 0;
    size_t m_pieceDone = 0;
    bool m_endOfFile = false;
    bool m_waiting = false;
};

}  // namespace

std::unique_ptr<FtpSession> FtpSession::Create() {
    return std::make_unique<CurlFtpSession>();
}
