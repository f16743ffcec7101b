#include "common/crash_report/report_zip.h"

#include <dirent.h>
#include <fnmatch.h>
#include <minizip/zip.h>
#include <sys/stat.h>

#include <cstdio>
#include <ctime>
#include <vector>

#include "common/path_util.h"
#include "common/text_util.h"

bool ReportZip::Create(const std::wstring& path) {
    Close();
    m_zip = zipOpen64(NativePath(path).c_str(), APPEND_STATUS_CREATE);
    return m_zip != nullptr;
}

int ReportZip::ZipAdd(const std::wstring& entryName, const std::wstring& source) {
    if (!m_zip) return ZIP_PARAMERROR;
    FILE* in = fopen(NativePath(source).c_str(), "rb");
    if (!in) return ZIP_ERRNO;
    struct stat st {};
    fstat(fileno(in), &st);
    zip_fileinfo info{};
    struct tm t {};
    localtime_r(&st.st_mtime, &t);
    info.tmz_date = {static_cast<uInt>(t.tm_sec),  static_cast<uInt>(t.tm_min),
                     static_cast<uInt>(t.tm_hour), static_cast<uInt>(t.tm_mday),
                     static_cast<uInt>(t.tm_mon),  static_cast<uInt>(t.tm_year + 1900)};
    const int zip64 = static_cast<uint64_t>(st.st_size) >= 0xffffffffULL ? 1 : 0;
    int result = zipOpenNewFileInZip64(m_zip, text::ToUtf8(entryName).c_str(), &info, nullptr, 0, nullptr, 0,
                                       nullptr, Z_DEFLATED, Z_DEFAULT_COMPRESSION, zip64);
    if (result != ZIP_OK) {
        fclose(in);
        return result;
    }
    std::vector<char> buffer(1 << 16);
    size_t n = 0;
    while (result == ZIP_OK && (n = fread(buffer.data(), 1, buffer.size(), in)) > 0) {
        result = zipWriteInFileInZip(m_zip, buffer.data(), static_cast<unsigned>(n));
    }
    if (result == ZIP_OK && ferror(in)) result = ZIP_ERRNO;
    fclose(in);
    const int closed = zipCloseFileInZip(m_zip);
    return result != ZIP_OK ? result : closed;
}

bool ReportZip::Close() {
    if (!m_zip) return false;
    const int result = zipClose(m_zip, nullptr);
    m_zip = nullptr;
    return result == ZIP_OK;
}

void AddFolderToZip(ReportZip& zip, const std::wstring& folder, const std::wstring& pattern) {
    if (folder.empty()) return;
    std::wstring base = folder;
    if (base.back() != L'\\' && base.back() != L'/') base += L'\\';
    // "*.*" matches every name on Windows, with a dot or without.
    const std::string glob = pattern == L"*.*" ? "*" : text::ToUtf8(pattern);
    DIR* dir = opendir(NativePath(base).c_str());
    if (!dir) return;
    std::vector<std::pair<std::wstring, bool>> matches;
    while (dirent* e = readdir(dir)) {
        const std::string name = e->d_name;
        if (name == "." || name == ".." || fnmatch(glob.c_str(), name.c_str(), 0) != 0) continue;
        struct stat st {};
        if (lstat(NativePath(base + text::FromUtf8(name)).c_str(), &st) != 0 || S_ISLNK(st.st_mode)) continue;
        matches.emplace_back(text::FromUtf8(name), S_ISDIR(st.st_mode));
    }
    closedir(dir);
    for (const auto& [name, isFolder] : matches) {
        if (isFolder) {
            AddFolderToZip(zip, base + name, pattern);
        } else {
            zip.ZipAdd(name, base + name);
        }
    }
}
