#pragma once
// The crash as the crashed process leaves it for its helper: plain data in
// the crashed process's own memory, filled by the hook on the crashed
// thread, read by the helper with ReadProcessMemory. The helper finds it
// through QUON_CRASH_HELPER="<process id>:<address in hex>".
#include <cstdint>

#include "services/crash/exception_handler.h"

constexpr const wchar_t* kCrashHelperVariable = L"QUON_CRASH_HELPER";
constexpr uint32_t kCrashRequestMagic = 0x51434857;

enum class CrashKind : int32_t { kException = 0, kPureCall = 1, kAbort = 2 };

struct CrashRequest {
    uint32_t magic;
    CrashKind kind;
    uint32_t thread;
    int32_t reportMode;
    uint32_t code;
    uint64_t address;
    uint64_t pointers;  // the EXCEPTION_POINTERS, in the crashed process
    uint64_t owner;     // the crashed thread's active window (its last popup), 0 for none
    CrashPromptTexts prompt;
};

// The helper's exit codes; any other code (a helper that crashed, or that
// could not start) counts as not handled.
constexpr unsigned long kCrashHandled = 0x48;
constexpr unsigned long kCrashNotHandled = 0x4e;
