#pragma once
// Lists the files of a game build folder as the patch lists name them, and
// finds the names that a list line cannot carry.
#include <cstdint>
#include <string>
#include <vector>

struct BuildFile {
    std::wstring relativePath;  // "\" separators, as in the lists
    std::string nativePath;     // full path on disk
    uint64_t size = 0;
    uint32_t mode = 0;  // st_mode of the file (following a symbolic link)
    int64_t mtime = 0;
};

// Walks `buildFolder`; the files come back sorted by relative path. Every name
// that cannot be published is described in `problems` (one text each); the
// caller must then write nothing.
std::vector<BuildFile> ScanBuildFolder(const std::string& buildFolder, std::vector<std::string>& problems);
