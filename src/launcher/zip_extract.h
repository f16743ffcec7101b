#pragma once
// Extracting every item of a zip archive below a folder, refusing any item
// whose name would land outside it.
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/file_system.h"

enum ZipExtractResult : int {
    kZipOk = 0,
    kZipOtherFailure = 0x200,  // damaged item, unreadable archive, unsafe name
    kZipWriteFailure = 0x400,  // the output could not be written: disk full
};

struct ZipItemReport {
    std::wstring name;  // as stored
    int result;
    // For an item written in full: the native path it was committed to and
    // the MD5 text of the bytes written there, computed while they were
    // written (the same bytes a read-back would give).
    std::string written;
    std::wstring digest;
};

// Where an archive is: a file, or its bytes already in memory (which must
// outlive the extraction).
struct ZipSource {
    ZipSource(std::wstring file) : path(std::move(file)) {}  // NOLINT: a path is a source
    static ZipSource InMemory(std::string_view bytes) {
        ZipSource source{std::wstring()};
        source.bytes = bytes;
        source.inMemory = true;
        return source;
    }
    std::wstring path;
    std::string_view bytes;
    bool inMemory = false;
};

// Opens the archive; false when it cannot be read as a zip at all.
// `onItem` sees every item's result and may stop the pass by returning false.
// Once `stop` is raised the pass ends within one block: the item being
// written is dropped (its target untouched) and no further item is begun.
// Every item is committed (durable, renamed, its folder synced) as it is
// written; with `uncommitted`, each item written in full is instead left as
// a temporary and added there in item order, and
// its report's `written` names the target it is meant for.
bool ExtractZipArchive(const ZipSource& archive, const std::wstring& folder,
                       const std::function<bool(const ZipItemReport&)>& onItem,
                       const std::atomic<bool>* stop = nullptr,
                       std::vector<std::unique_ptr<fsys::TempFile>>* uncommitted = nullptr);
