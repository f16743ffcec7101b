#pragma once
// Room left on the file system that holds a path.
#include <cstdint>
#include <string>

namespace fsys {
// Bytes an unprivileged writer may still use there; false when the path's
// file system cannot be asked.
bool AvailableBytes(const std::string& path, uint64_t* bytes);
}  // namespace fsys
