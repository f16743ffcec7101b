#pragma once
// What a minidump records of a stopped process, gathered by the platform
// layer and laid out by MinidumpFileWriter.
#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "services/crash/minidump_format.h"

// x86-64 registers as both the kernel's signal context and ptrace give them.
struct Amd64Registers {
    uint64_t rax = 0, rbx = 0, rcx = 0, rdx = 0, rsi = 0, rdi = 0, rbp = 0, rsp = 0;
    uint64_t r8 = 0, r9 = 0, r10 = 0, r11 = 0, r12 = 0, r13 = 0, r14 = 0, r15 = 0;
    uint64_t rip = 0;
    uint32_t eflags = 0;
    uint16_t cs = 0, ds = 0, es = 0, fs = 0, gs = 0, ss = 0;
    bool hasFxSave = false;
    std::array<uint8_t, minidump::kFxSaveSize> fxsave{};  // FXSAVE image
};

using MinidumpContext = std::array<uint8_t, minidump::kContextSize>;

// The Windows AMD64 CONTEXT record holding these registers.
MinidumpContext BuildMinidumpContext(const Amd64Registers& regs);

struct MemoryBlock {
    uint64_t start = 0;
    std::vector<uint8_t> bytes;
};

struct SnapshotThread {
    uint32_t threadId = 0;
    MinidumpContext context{};
    MemoryBlock stack;
};

struct SnapshotModule {
    uint64_t base = 0;  // start of the file's first mapping
    uint64_t size = 0;
    std::string path;
    std::vector<uint8_t> buildId;  // empty when the file carries none
};

struct SnapshotException {
    uint32_t threadId = 0;
    uint32_t code = 0;  // the signal number: what debuggers of Linux dumps expect
    uint64_t address = 0;
    std::vector<uint64_t> parameters;
    MinidumpContext context{};
};

struct SnapshotSystem {
    uint16_t processorLevel = 0;
    uint16_t processorRevision = 0;
    uint8_t processorCount = 0;
    uint32_t majorVersion = 0, minorVersion = 0, buildNumber = 0;
    std::string version;  // kernel release and version text
    std::array<uint32_t, 3> vendorId{};
    uint32_t versionInformation = 0;
    uint32_t featureInformation = 0;
};

struct ProcessSnapshot {
    std::vector<SnapshotThread> threads;
    std::vector<SnapshotModule> modules;
    bool hasException = false;
    SnapshotException exception;
    SnapshotSystem system;
    // Streams written as they are (the /proc files), by stream type.
    std::vector<std::pair<uint32_t, std::string>> rawStreams;
};
