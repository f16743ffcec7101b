// Built only while the Windows network services (WinHTTP downloads and
// prefetch, WinINet FTP) are not in the tree, so that the rest of the
// Windows build links. Any use ends the program with a message: there is no
// quiet fallback that would pass for a download.
#include <cstdio>
#include <cstdlib>

#include "os/ftp_session.h"
#include "os/url_download.h"
#include "os/url_prefetch.h"

namespace {
[[noreturn]] void Missing(const char* service) {
    std::fprintf(stderr, "QUON: this build has no %s\n", service);
    std::abort();
}
}  // namespace

std::unique_ptr<UrlDownloader> UrlDownloader::Create(int) {
    Missing("URL download service");
}

std::unique_ptr<UrlPrefetcher> UrlPrefetcher::Create(int) {
    Missing("prefetch service");
}

std::unique_ptr<FtpSession> FtpSession::Create() {
    Missing("FTP service");
}
