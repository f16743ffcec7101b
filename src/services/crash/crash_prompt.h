#pragma once
// The crash prompt: a Yes/No question with a caption. A box on the display
// when there is one, a question on the controlling terminal otherwise.
// QUON_CRASH_PROMPT_ANSWER=yes|no answers it without asking (for tests and
// unattended runs).
#include <string>

constexpr int kCrashPromptYes = 6;  // IDYES
constexpr int kCrashPromptNo = 7;   // IDNO

// kCrashPromptYes, kCrashPromptNo, or 0 when there was no way to ask, as a
// message box that cannot be shown returns 0.
int ShowCrashPrompt(const std::wstring& caption, const std::wstring& text);
