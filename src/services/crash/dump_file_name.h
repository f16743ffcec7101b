#pragma once
// Dump file names: "<module>(crashed)_<Y>-<M>-<D>-<h>-<m>-<s>.dmp" from the
// local time, numbers without padding, cut at 259 characters.
#include <ctime>
#include <string>

std::wstring FormatDumpFileName(const std::wstring& moduleName, const std::tm& localTime);
// The name for the current local time; always true.
bool GenerateDumpFilePath(const std::wstring& moduleName, std::wstring& path);
