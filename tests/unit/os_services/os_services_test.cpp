// The OS services as each system provides them (run on Linux and, under
// Wine, on Windows): program start's "not found", free space and the memory
// figures. The instance lock and a started program: integration/platform.
#include <gtest/gtest.h>

#include "os/disk_space.h"
#include "os/process.h"
#include "os/system_facts.h"
#include "support/temp_dir.h"

TEST(OsServices, ProgramStartSaysFileNotFound) {
    TempDir dir;
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
