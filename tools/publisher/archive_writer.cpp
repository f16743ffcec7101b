#include "archive_writer.h"

#include <zip.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <vector>

#include "util/text_util.h"
#include "launcher/md5_checksum.h"

namespace {

constexpr uLong kMadeByUnix = (3 << 8) | 20;  // host system 3 = Unix, zip 2.0
constexpr uLong kUtf8NameFlag = 1 << 11;

struct FileCloser {
    void operator()(FILE* f) const { fclose(f); }
};

zip_fileinfo InfoFor(const BuildFile& file) {
    zip_fileinfo info{};
    time_t t = static_cast<time_t>(file.mtime);
    struct tm local {};
    localtime_r(&t, &local);
    info.tmz_date.tm_sec = local.tm_sec;
    info.tmz_date.tm_min = local.tm_min;
    info.tmz_date.tm_hour = local.tm_hour;
    info.tmz_date.tm_mday = local.tm_mday;
    info.tmz_date.tm_mon = local.tm_mon;
    info.tmz_date.tm_year = local.tm_year + 1900;
    // Unix readers take the mode from the high half.
    info.external_fa = static_cast<uLong>(file.mode & 0xFFFF) << 16;
    return info;
}

}  // namespace

ArchiveResult WriteFileArchive(const BuildFile& file, const std::string& archivePath) {
    ArchiveResult result;
    std::unique_ptr<FILE, FileCloser> in(fopen(file.nativePath.c_str(), "rb"));
    if (!in) {
        result.error = "cannot open " + file.nativePath + ": " + strerror(errno);
        return result;
    }
    zipFile zf = zipOpen64(archivePath.c_str(), APPEND_STATUS_CREATE);
    if (!zf) {
        result.error = "cannot create " + archivePath + ": " + strerror(errno);
        return result;
    }
    std::wstring entryName = file.relativePath;
    for (wchar_t& c : entryName) {
        if (c == L'\\') c = L'/';
    }
    const std::string name = text::ToUtf8(entryName);
    bool ascii = true;
    for (unsigned char c : name) ascii = ascii && c < 0x80;
    const zip_fileinfo info = InfoFor(file);
    const int zip64 = file.size >= 0xFFFFFFFFull ? 1 : 0;
    int rc = zipOpenNewFileInZip4_64(zf, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
                                     Z_DEFAULT_COMPRESSION, 0, -MAX_WBITS, DEF_MEM_LEVEL, Z_DEFAULT_STRATEGY,
                                     nullptr, 0, kMadeByUnix, ascii ? 0 : kUtf8NameFlag, zip64);
    CMD5Checksum md5;
    std::vector<uint8_t> buffer(1 << 20);
    while (rc == ZIP_OK) {
        size_t n = fread(buffer.data(), 1, buffer.size(), in.get());
        if (n == 0) {
            if (ferror(in.get())) {
                result.error = "cannot read " + file.nativePath + ": " + strerror(errno);
                rc = ZIP_ERRNO;
            }
            break;
        }
        md5.Update(buffer.data(), n);
        result.fileSize += n;
        rc = zipWriteInFileInZip(zf, buffer.data(), static_cast<unsigned>(n));
        if (rc != ZIP_OK) result.error = "cannot write " + archivePath + ": " + strerror(errno);
    }
    if (rc == ZIP_OK) {
        rc = zipCloseFileInZip(zf);
        if (rc != ZIP_OK) result.error = "cannot write " + archivePath + ": " + strerror(errno);
    }
    if (zipClose(zf, nullptr) != ZIP_OK && rc == ZIP_OK) {
        rc = ZIP_ERRNO;
        result.error = "cannot write " + archivePath + ": " + strerror(errno);
    }
    if (rc != ZIP_OK) return result;
    wchar_t text[CMD5Checksum::kTextChars + 1];
    result.checksum = md5.Final(text);
    result.ok = true;
    return result;
}
