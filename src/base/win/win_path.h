#pragma once
// The edge between the launcher's UTF-8 paths ("/" or "\" between
// components) and the wide paths the Windows calls take, and between the
// system's error numbers and errno. Used by the win/ implementations only.
#include <windows.h>

#include <string>
#include <string_view>

namespace fsys::win {

// UTF-8 -> UTF-16 with "\" separators; a bare drive ("C:") becomes its root,
// a path too long for the plain calls becomes "\\?\" and the full path.
// Characters past U+FFFF become surrogate pairs.
std::wstring Wide(std::string_view utf8);
// UTF-16 -> UTF-8, as it is.
std::string Utf8(std::wstring_view wide);
// UTF-16 -> UTF-8 with "/" separators, the form the layers above use.
std::string Utf8Path(std::wstring_view wide);
// errno for a GetLastError() value, as the C run-time maps them.
int ErrnoOf(DWORD error);
// errno = ErrnoOf(GetLastError()); returns false for `return Fail();`.
bool Fail();

}  // namespace fsys::win
