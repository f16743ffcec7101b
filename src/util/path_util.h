#pragma once
// Path helpers on wide text. Lists and messages keep the Windows spelling
// ("\" between components); NativePath turns it into a Linux path where the
// file system is touched.
#include <string>
#include <string_view>

std::wstring GetParentPath(std::wstring_view path);
std::wstring GetLastPathComponent(std::wstring_view path);
// Creates every folder named by the text before each separator (the last
// component is not created); false when one of them is missing afterwards.
bool CreateFoldersAlongPath(std::wstring_view path);
void ReplaceChar(std::wstring& text, wchar_t newChar, wchar_t oldChar);
void RemoveChar(std::wstring& text, wchar_t ch);
// Full path of the running executable; with `cut` only its folder, without a
// trailing separator.
void GetModuleFolder(std::wstring& out, bool cut);

// "\" -> "/", then UTF-8.
std::string NativePath(std::wstring_view path);

// True when a relative path from a list or an archive stays inside the folder
// it is relative to and names an ordinary file there on every system: not
// empty, not absolute, no drive or stream (":"), no ".." component, no
// control characters, no component ending in a dot or a space, no device
// name (CON, NUL, COM1, ... with or without an extension).
bool IsSafeRelativePath(std::wstring_view relative);
