#include "services/crash_report/report_zip.h"

#include <minizip/zip.h>

#include <cstdio>
#include <ctime>
#include <vector>

#include "services/zip/zip_file_io.h"
#include "util/path_util.h"
#include "util/text_util.h"
#include "base/file_system.h"
#include "base/process_facts.h"

bool ReportZip::Create(const std::wstring& path) {
    Close();
    m_zip = zipOpen2_64(NativePath(path).c_str(), APPEND_STATUS_CREATE, nullptr, ZipFileFunctions());
    return m_zip != nullptr;
}

int ReportZip::ZipAdd(const std::wstring& entryName, const std::wstring& source) {
    if (!m_zip) return ZIP_PARAMERROR;
    fsys::File in;
    if (!in.Open(NativePath(source), fsys::File::Mode::kRead)) return ZIP_ERRNO;
    const int64_t size = in.Size();
    const int64_t modified = in.ModifiedTime();
    zip_fileinfo info{};
    const std::tm t = fsys::LocalTime(static_cast<std::time_t>(modified > 0 ? modified : 0));
    // The field type differs between minizip releases (uInt, int).
    using Field = decltype(info.tmz_date.tm_sec);
    info.tmz_date = {static_cast<Field>(t.tm_sec),  static_cast<Field>(t.tm_min),
                     static_cast<Field>(t.tm_hour), static_cast<Field>(t.tm_mday),
                     static_cast<Field>(t.tm_mon),  static_cast<Field>(t.tm_year + 1900)};
    const int zip64 = size >= 0xffffffffLL ? 1 : 0;
    int result = zipOpenNewFileInZip64(m_zip, text::ToUtf8(entryName).c_str(), &info, nullptr, 0, nullptr, 0,
                                       nullptr, Z_DEFLATED, Z_DEFAULT_COMPRESSION, zip64);
    if (result != ZIP_OK) return result;
    std::vector<char> buffer(1 << 16);
    int64_t n = 0;
    while (result == ZIP_OK && (n = in.Read(buffer.data(), buffer.size())) > 0) {
        result = zipWriteInFileInZip(m_zip, buffer.data(), static_cast<unsigned>(n));
    }
    if (result == ZIP_OK && n < 0) result = ZIP_ERRNO;
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
    std::vector<fsys::FolderEntry> entries;
    if (!fsys::ListFolder(NativePath(base), entries)) return;
    std::vector<std::pair<std::wstring, bool>> matches;
    for (const fsys::FolderEntry& e : entries) {
        // Links are not packed: they may lead anywhere.
        if (e.kind != fsys::Kind::kFile && e.kind != fsys::Kind::kFolder) continue;
        if (!fsys::NameMatches(glob, e.name)) continue;
        matches.emplace_back(text::FromUtf8(e.name), e.kind == fsys::Kind::kFolder);
    }
    for (const auto& [name, isFolder] : matches) {
        if (isFolder) {
            AddFolderToZip(zip, base + name, pattern);
        } else {
            zip.ZipAdd(name, base + name);
        }
    }
}
