#pragma once
// The minidump file format as debuggers read it: stream types, record sizes
// and the AMD64 processor context. All records are little-endian and packed;
// the writer lays them out byte by byte, so no struct here is written raw.
#include <cstddef>
#include <cstdint>

namespace minidump {

constexpr uint32_t kSignature = 0x504d444d;  // "MDMP"
constexpr uint32_t kVersion = 0xa793;
constexpr size_t kHeaderSize = 32;
constexpr size_t kDirectoryEntrySize = 12;

enum StreamType : uint32_t {
    kUnusedStream = 0,
    kReservedStream0 = 1,
    kThreadListStream = 3,
    kModuleListStream = 4,
    kMemoryListStream = 5,
    kExceptionStream = 6,
    kSystemInfoStream = 7,
    kLinuxCpuInfo = 0x47670003,
    kLinuxProcStatus = 0x47670004,
    kLinuxLsbRelease = 0x47670005,
    kLinuxCmdLine = 0x47670006,
    kLinuxEnviron = 0x47670007,
    kLinuxAuxv = 0x47670008,
    kLinuxMaps = 0x47670009,
};

constexpr size_t kThreadSize = 48;
constexpr size_t kModuleSize = 108;
constexpr size_t kMemoryDescriptorSize = 16;
constexpr size_t kExceptionStreamSize = 168;
constexpr size_t kSystemInfoSize = 56;
constexpr size_t kMaxExceptionParameters = 15;

constexpr uint16_t kProcessorArchitectureAmd64 = 9;
constexpr uint32_t kPlatformLinux = 0x8201;
constexpr uint32_t kCodeViewElfBuildId = 0x4270454c;  // "LEpB"
constexpr uint32_t kFixedFileInfoSignature = 0xfeef04bd;

// Windows AMD64 CONTEXT.
constexpr size_t kContextSize = 1232;
constexpr uint32_t kContextAmd64 = 0x100000;
constexpr uint32_t kContextControl = 0x1;
constexpr uint32_t kContextInteger = 0x2;
constexpr uint32_t kContextSegments = 0x4;
constexpr uint32_t kContextFloatingPoint = 0x8;
constexpr size_t kFxSaveSize = 512;

namespace context_offset {
constexpr size_t kContextFlags = 0x30;
constexpr size_t kMxCsr = 0x34;
constexpr size_t kSegCs = 0x38;  // then Ds, Es, Fs, Gs, Ss (16 bits each)
constexpr size_t kEFlags = 0x44;
constexpr size_t kRax = 0x78;  // then Rcx, Rdx, Rbx, Rsp, Rbp, Rsi, Rdi, R8-R15
constexpr size_t kRip = 0xf8;
constexpr size_t kFltSave = 0x100;
}  // namespace context_offset

}  // namespace minidump
