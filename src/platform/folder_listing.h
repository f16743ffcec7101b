#pragma once
// The entries of one folder as the file system holds them, for walks that
// must not leave the tree they walk: links are reported, never followed.
#include <cstdint>
#include <string>
#include <vector>

enum class FolderEntryKind {
    kFile,      // a regular file
    kFolder,    // a real folder, not a link to one
    kFileLink,  // a symbolic link to a regular file; the size is that file's
    kOther,     // links to folders or to nothing, devices, pipes, sockets
};

struct FolderEntry {
    std::string name;  // raw bytes: not checked as UTF-8
    FolderEntryKind kind = FolderEntryKind::kOther;
    uint64_t size = 0;  // files and file links
};

// Appends the entries of `folder` (a native path), without "." and "..", in
// the order the file system gives them. False when the folder cannot be
// opened; entries that vanish while they are listed are left out.
bool ListFolder(const std::string& folder, std::vector<FolderEntry>& entries);
