#pragma once
// Symbolic links for tests, made with the system's own call (MinGW's
// standard library has none). A test that needs one skips where the system
// cannot make it (Wine).
#include <string>

// A link at `link` to the folder `target`; false when the system refuses.
bool MakeFolderLink(const std::string& target, const std::string& link);
// A link at `link` to the file (or nothing) at `target`.
bool MakeFileLink(const std::string& target, const std::string& link);
