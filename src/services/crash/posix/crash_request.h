#pragma once
// The crash as the crashed process hands it to its helper over a socket:
// plain data, filled in a signal handler.
#include <sys/types.h>
#include <ucontext.h>

#include <cstdint>

#include "services/crash/exception_handler.h"

constexpr const char* kCrashHelperVariable = "QUON_CRASH_HELPER";
constexpr uint32_t kCrashRequestMagic = 0x51434852;

enum class CrashKind : int32_t { kSignal = 0, kPureCall = 1, kTerminate = 2 };

struct CrashRequest {
    uint32_t magic;
    CrashKind kind;
    int32_t process;
    int32_t thread;
    int32_t signal;
    int32_t reportMode;
    uint64_t faultAddress;
    greg_t gregs[NGREG];
    int32_t hasFxSave;
    uint8_t fxsave[512];
    CrashPromptTexts prompt;
};

// Helper's answers.
constexpr char kCrashHandled = 'H';
constexpr char kCrashNotHandled = 'N';
