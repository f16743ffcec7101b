#pragma once
// The launcher's message boxes: MessageBoxW with the text unchanged, the
// caption given (the executable's base name) and only an OK button.
#include <windows.h>

#include <string>

// Runs the box modally over `owner` (null: a box of its own) with the
// modality of `style` and returns once it is answered. While it is open,
// `*shown` holds the box's window, so that a closing view can answer it.
void RunMessageBox(HWND owner, const std::wstring& text, const std::wstring& caption, unsigned style,
                   HWND* shown);
// Answers a box that RunMessageBox shows, as its OK button would.
void AnswerMessageBox(HWND box);
