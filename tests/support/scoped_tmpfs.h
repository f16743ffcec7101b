#pragma once
// A tmpfs with `options` ("size=64k") on `folder` (made when missing) for one
// scope; not `mounted` without root.
#include <string>

struct ScopedTmpfs {
    ScopedTmpfs(const std::string& folder, const std::string& options, unsigned long flags = 0);
    ~ScopedTmpfs();
    const std::string folder;
    const bool mounted;
};
