#pragma once
// File helpers. They never follow a symbolic link out of the folder they are
// given: links are removed, not their targets.
#include <string>
#include <string_view>

// Clears the read-only bit and deletes the file. With `missingIsSuccess` a
// file that does not exist (or cannot be reached) counts as deleted.
bool DeleteLocalFile(bool missingIsSuccess, std::wstring_view path);
// Deletes a folder with all its content; the result is ignored by design.
void RemoveFolderTree(std::wstring_view path);
// Empties `folder` recursively of entries matching `pattern` ("*.*" = all),
// then tries to remove it; failures are silent.
void DeleteFilesInFolder(std::wstring_view folder, std::wstring_view pattern);

// True when `relative` is a safe relative path (IsSafeRelativePath) and none
// of the folders on its way below `base` is a symbolic link, so that writing
// or deleting it cannot land outside `base`. Folders that do not exist yet
// are fine: they will be made as real folders.
bool StaysInsideFolder(std::wstring_view base, std::wstring_view relative);

// A regular file (links followed) / a folder is there.
bool FileExists(std::wstring_view path);
bool FolderExists(std::wstring_view path);
// Nothing at all is there: no file, folder, link or entry that cannot be
// looked at. The test to use before creating something in its place, since
// a folder or an unreadable file is not a missing file.
bool NothingAt(std::wstring_view path);

// Writes `bytes` to `path` through a temporary file in the same folder and a
// rename, synced before and after, so that a crash or a power cut leaves
// either the old or the new file. On failure errno tells why.
bool WriteFileAtomically(std::wstring_view path, std::string_view bytes);
