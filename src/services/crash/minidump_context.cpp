#include <cstring>

#include "services/crash/process_snapshot.h"

namespace {
template <typename T>
void Put(MinidumpContext& context, size_t offset, T value) {
    std::memcpy(context.data() + offset, &value, sizeof value);
}
}  // namespace

MinidumpContext BuildMinidumpContext(const Amd64Registers& regs) {
    namespace at = minidump::context_offset;
    MinidumpContext context{};
    uint32_t flags = minidump::kContextAmd64 | minidump::kContextControl | minidump::kContextInteger |
                     minidump::kContextSegments;
    if (regs.hasFxSave) flags |= minidump::kContextFloatingPoint;
    Put(context, at::kContextFlags, flags);
    const uint16_t segments[] = {regs.cs, regs.ds, regs.es, regs.fs, regs.gs, regs.ss};
    for (size_t i = 0; i < 6; ++i) Put(context, at::kSegCs + 2 * i, segments[i]);
    Put(context, at::kEFlags, regs.eflags);
    // Windows order: Rax, Rcx, Rdx, Rbx, Rsp, Rbp, Rsi, Rdi, R8-R15.
    const uint64_t integers[] = {regs.rax, regs.rcx, regs.rdx, regs.rbx, regs.rsp, regs.rbp,
                                 regs.rsi, regs.rdi, regs.r8,  regs.r9,  regs.r10, regs.r11,
                                 regs.r12, regs.r13, regs.r14, regs.r15};
    for (size_t i = 0; i < 16; ++i) Put(context, at::kRax + 8 * i, integers[i]);
    Put(context, at::kRip, regs.rip);
    if (regs.hasFxSave) {
        // The FXSAVE image is the Windows XMM_SAVE_AREA32; MxCsr sits at 24.
        std::memcpy(context.data() + at::kFltSave, regs.fxsave.data(), regs.fxsave.size());
        uint32_t mxcsr;
        std::memcpy(&mxcsr, regs.fxsave.data() + 24, sizeof mxcsr);
        Put(context, at::kMxCsr, mxcsr);
    }
    return context;
}
