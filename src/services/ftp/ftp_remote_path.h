#pragma once
// Remote paths of the FTP transfer: wide text with "/" between folders; a
// leading "/" makes them absolute on the server.
#include <string>

namespace ftp_path {

// Replaces every `from` by `to`, looking again right after each replacement,
// so that "//" -> "/" collapses any run of slashes into one.
void ReplaceAll(std::wstring& text, const std::wstring& from, const std::wstring& to);
// "\" -> "/", then runs of "/" -> one "/".
std::wstring Normalise(std::wstring path);
// The path up to and including its last "/"; empty when it holds none (a bare
// name lives in the current folder, there is no folder to make).
std::wstring GetRemoteFolderPart(const std::wstring& path);
// Normalised and cut at the last "/" (a trailing slash goes); "/" for a path
// directly below the root.
std::wstring FolderWithoutSlash(const std::wstring& path);

}  // namespace ftp_path
