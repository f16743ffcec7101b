// The OS services as each system provides them (run on Linux and, under
// Wine, on Windows): the instance lock, program start's result contract,
// free space and the memory figures.
#include <gtest/gtest.h>

#include "os/disk_space.h"
#include "os/process.h"
#include "os/system_facts.h"
#include "support/temp_dir.h"
#include "util/path_util.h"

TEST(OsServices, TheInstanceLockIsOneHoldersUntilItGoes) {
    const std::wstring name = L"QUON Launcher test lock";
    EXPECT_FALSE(IsInstanceLockHeld(name));
    {
        auto first = InstanceLock::TryAcquire(name);
        ASSERT_NE(first, nullptr);
        EXPECT_TRUE(IsInstanceLockHeld(name));
        EXPECT_EQ(InstanceLock::TryAcquire(name), nullptr);
    }
    EXPECT_FALSE(IsInstanceLockHeld(name));
    EXPECT_NE(InstanceLock::TryAcquire(name), nullptr);
}

TEST(OsServices, ProgramStartSaysStartedOrFileNotFound) {
    TempDir dir;
    std::wstring self;
    GetModuleFolder(self, false);
    // This test program again, running no test.
    EXPECT_EQ(StartProgram(self, L"--gtest_filter=None", dir.wpath()), 33);
    EXPECT_EQ(StartProgram(L"no-such-program", L"", dir.wpath()), 2);
}

TEST(OsServices, FreeSpaceAndMemoryAreReported) {
    TempDir dir;
    uint64_t available = 0;
    EXPECT_TRUE(fsys::AvailableBytes(dir.path(), &available));
    EXPECT_GT(available, 0u);
    MemoryFacts memory;
    ASSERT_TRUE(SystemFacts::Create()->GetMemory(memory));
    EXPECT_GT(memory.totalPhys, 0u);
    EXPECT_LE(memory.availPhys, memory.totalPhys);
    EXPECT_LE(memory.memoryLoad, 100u);
}
