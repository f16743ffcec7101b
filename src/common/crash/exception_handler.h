#pragma once
// The crash prompt: the caption and text of the Yes/No question the crash
// handler asks before it writes a minidump. Process-wide, set at start-up.
#include <string>

class ExceptionHandler {
public:
    static void SetMessage(const std::wstring& caption, const std::wstring& text);
    static std::wstring GetCaption();
    static std::wstring GetText();
};
