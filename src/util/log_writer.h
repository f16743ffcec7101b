#pragma once
// The diagnostic log: one line per report, appended to a file in the current
// folder, opened and closed for every line.
#include <cstddef>
#include <ctime>
#include <string>

// Local time as "2026-12-06 09h 05m 03s" into `out` (cut to capacity - 1).
void FormatLogTime(wchar_t* out, size_t capacity);
std::wstring FormatLogTime(const std::tm& local);

// "[time]function()-message [exe.ext][ThreadID:n][source.ext-line]\n", cut at
// 2047 characters. The message is copied, never used as a format.
std::wstring BuildLogLine(const std::wstring& time, const wchar_t* function, const std::wstring& message,
                          const std::wstring& exeNameExt, long threadId, const std::wstring& sourceNameExt,
                          int line);

// Appends one line to `logPath` as UTF-8. The process locale is left alone.
// A file that cannot be opened loses the line silently.
void WriteLogLine(const wchar_t* sourceFile, int line, const wchar_t* function, const wchar_t* logPath,
                  const std::wstring& message);

// Name and extension of a path: the text after the last "/", "\" or drive ":".
std::wstring FileNameWithExtension(const std::wstring& path);
