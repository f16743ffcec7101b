#pragma once
// Helpers for building list bytes and entries in the list format tests.
#include <memory>
#include <string>

#include "common/text_util.h"
#include "launcher/pack_file_info.h"

inline std::unique_ptr<PackFileInfo> MakeEntry(int32_t size, int32_t download, std::wstring sum,
                                               std::wstring path) {
    auto e = std::make_unique<PackFileInfo>();
    e->nFileSize = size;
    e->nDownloadSize = download;
    e->szChecksum = std::move(sum);
    e->szPath = std::move(path);
    return e;
}

// UTF-16LE bytes of `text` as they stand (no mark, no line-end translation).
inline std::string Utf16(const std::wstring& text) {
    return text::EncodeUtf16LE(text);
}
inline std::string Utf16Bom(const std::wstring& text) {
    return "\xFF\xFE" + Utf16(text);
}

inline std::string Describe(const PackFileInfo& e) {
    return std::to_string(e.nFileSize) + "|" + std::to_string(e.nDownloadSize) + "|" +
           text::ToUtf8(e.szChecksum) + "|" + text::ToUtf8(e.szPath);
}
