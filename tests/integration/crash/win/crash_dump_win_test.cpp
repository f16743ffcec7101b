// What Wine cannot show of a stack overflow: every thread the program starts
// keeps stack for the crash handler.
#include <windows.h>

#include "os/thread_start.h"
#include "services/crash/crash_hooks.h"
#include "support/test_common.h"

namespace {

TEST(CrashDumpWinTest, EveryStartedThreadKeepsStackForTheHandler) {
    SetThreadPreparation(PrepareThreadForCrash);
    ULONG kept = 0;
    StartThread([&kept] { SetThreadStackGuarantee(&kept); }).join();
    SetThreadPreparation(nullptr);
    EXPECT_GE(kept, 64u * 1024);
}

}  // namespace
