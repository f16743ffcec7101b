#pragma once
// Writes the patch archive of one file: a zip holding the file under its
// relative path ("/" separators), with the Unix mode bits kept.
#include <cstdint>
#include <string>

#include "build_scan.h"

struct ArchiveResult {
    bool ok = false;
    std::string error;
    std::wstring checksum;  // MD5 of the bytes that went into the archive
    uint64_t fileSize = 0;  // bytes that went into the archive
};

// Writes the archive to `archivePath` (created or truncated).
ArchiveResult WriteFileArchive(const BuildFile& file, const std::string& archivePath);
