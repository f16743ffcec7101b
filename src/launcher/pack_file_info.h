#pragma once
// One file of a list: what is installed (client list) or what must be
// (server list).
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "launcher/list_checksum.h"

struct PackFileInfo {
    static constexpr size_t kPathCapacity = 512;
    static constexpr size_t kChecksumCapacity = 64;

    std::wstring szPath;  // relative to the install folder, "\" separators
    int32_t nFileSize = 0;
    int32_t nDownloadSize = 0;
    ListChecksum szChecksum;  // 32 lower-case hex digits once computed

    void SetPath(std::wstring_view path) { szPath = path.substr(0, kPathCapacity); }
    void SetChecksum(std::wstring_view sum) { szChecksum = sum.substr(0, kChecksumCapacity); }
};

using PackFileList = std::vector<std::unique_ptr<PackFileInfo>>;
