#pragma once
// The crash prompt: a Yes/No question with a caption. A box on the display
// when there is one, a question on the controlling terminal otherwise, No
// without either. QUON_CRASH_PROMPT_ANSWER=yes|no answers it without asking
// (for tests and unattended runs).
#include <string>

constexpr int kCrashPromptYes = 6;  // IDYES
constexpr int kCrashPromptNo = 7;   // IDNO

int ShowCrashPrompt(const std::wstring& caption, const std::wstring& text);
