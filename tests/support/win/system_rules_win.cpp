#include <windows.h>
#include <shellapi.h>

#include "support/system_rules.h"
#include "util/text_util.h"

bool NamesMayHoldQuestionMarks() { return false; }
bool NamesMayBeRawBytes() { return false; }

std::string ArgumentsAsReceived(const std::string& parameters) {
    // The C run-time's split, which CommandLineToArgvW follows.
    int count = 0;
    wchar_t** args = CommandLineToArgvW(text::FromUtf8("client.exe " + parameters).c_str(), &count);
    std::string lines;
    for (int i = 1; i < count; ++i) lines += text::ToUtf8(args[i]) + "\n";
    LocalFree(args);
    return lines;
}

bool NoChildLeftToReap() { return true; }

int CancelledUploadEndsWithinMs() { return 6000; }
