
#include <minizip/unzip.h>
#include <minizip/zip.h>

#include "support/test_common.h"

#include "launcher/list_file_format.h"
#include "launcher/md5_checksum.h"
#include "services/zip/zip_file_io.h"

std::string Md5Of(const std::string& bytes) {
    CMD5Checksum md5;
    md5.Update(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    wchar_t out[64] = {};
    md5.Final(out);
    return text::ToUtf8(out);
}

void WriteZip(const std::string& path, const std::map<std::string, std::string>& entries, unsigned mode) {
    std::filesystem::create_directories(Utf8Path(path).parent_path());
    zipFile zip = zipOpen2_64(path.c_str(), APPEND_STATUS_CREATE, nullptr, ZipFileFunctions());
    if (!zip) return;  // a name this system cannot hold (the list may still name it)
    for (const auto& [name, content] : entries) {
        zip_fileinfo info{};
        info.external_fa = (0100000u | mode) << 16;
        zipOpenNewFileInZip4_64(zip, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
                                Z_DEFAULT_COMPRESSION, 0, -MAX_WBITS, DEF_MEM_LEVEL, Z_DEFAULT_STRATEGY, nullptr, 0,
                                3 << 8 /* made on Unix */, 0, 0);
        zipWriteInFileInZip(zip, content.data(), static_cast<unsigned>(content.size()));
        zipCloseFileInZip(zip);
    }
    zipClose(zip, nullptr);
}

void WritePatchSet(const std::string& folder, const std::map<std::wstring, PatchFile>& files) {
    std::filesystem::create_directories(Utf8Path(folder));
    PackFileList list;
    for (const auto& [relative, file] : files) {
        std::string slashed = text::ToUtf8(relative);
        for (auto& c : slashed) c = c == '\\' ? '/' : c;
        const std::string archive = folder + "/" + slashed + ".zip";
        if (slashed.find(':') != std::string::npos) {
            // A drive or a stream: no Windows disk holds the archive, and the
            // launcher refuses the list before it would fetch one.
        } else if (file.brokenArchive) {
            std::filesystem::create_directories(Utf8Path(archive).parent_path());
            std::ofstream(Utf8Path(archive), std::ios::binary) << "this is not a zip archive";
        } else {
            WriteZip(archive, {{file.archiveEntry.empty() ? slashed : file.archiveEntry, file.content}}, file.mode);
        }
        auto entry = std::make_unique<PackFileInfo>();
        entry->SetPath(relative);
        entry->nFileSize = static_cast<int32_t>(file.content.size());
        std::error_code missing;
        const auto size = std::filesystem::file_size(Utf8Path(archive), missing);
        entry->nDownloadSize = missing ? 0 : static_cast<int32_t>(size);
        entry->SetChecksum(text::FromUtf8(file.listChecksum.empty() ? Md5Of(file.content) : file.listChecksum));
        list.push_back(std::move(entry));
    }
    const std::string bytes = SerializeList(list);
    std::ofstream(Utf8Path(folder + "/packserv.txt"), std::ios::binary) << bytes;
    // The guard is read like the lists: UTF-16LE.
    std::ofstream(Utf8Path(folder + "/packserv.md5"), std::ios::binary)
        << "\xFF\xFE" << EncodeListText(text::FromUtf8(Md5Of(bytes) + "\n"));
}

std::vector<ZipEntry> ReadZip(const std::string& path) {
    std::vector<ZipEntry> entries;
    unzFile zip = unzOpen2_64(path.c_str(), ZipFileFunctions());
    for (int rc = zip ? unzGoToFirstFile(zip) : UNZ_END_OF_LIST_OF_FILE; rc == UNZ_OK; rc = unzGoToNextFile(zip)) {
        unz_file_info64 info{};
        char name[1024] = {};
        unzGetCurrentFileInfo64(zip, &info, name, sizeof(name), nullptr, 0, nullptr, 0);
        std::string content(info.uncompressed_size, '\0');
        if (unzOpenCurrentFile(zip) == UNZ_OK) {
            const int n = content.empty() ? 0 : unzReadCurrentFile(zip, content.data(), content.size());
            content.resize(n < 0 ? 0 : n);
            unzCloseCurrentFile(zip);
        }
        entries.push_back({name, content, static_cast<unsigned>(info.version >> 8),
                           static_cast<unsigned>(info.external_fa >> 16)});
    }
    if (zip) unzClose(zip);
    return entries;
}
