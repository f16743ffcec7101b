#pragma once
// The memory map of a traced process and what the dump takes from it.
#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

#include "services/crash/process_snapshot.h"

struct MapsEntry {
    uint64_t start = 0, end = 0, offset = 0;
    std::string permissions, path;
};

std::vector<MapsEntry> ReadMaps(pid_t process);
std::string ReadProcFile(const std::string& path);

// Reads process memory through /proc/<pid>/mem; false unless all bytes came.
bool ReadProcessMemory(int memFd, uint64_t address, void* out, size_t size);

// The stack block of a thread whose stack pointer is `sp`: from just below
// sp (the red zone) up, at most `limit` bytes, within the stack's mapping.
// Also finds the mapping above sp after an overflow, when sp left it.
MemoryBlock ReadStack(int memFd, const std::vector<MapsEntry>& maps, uint64_t sp, size_t limit);

// ELF files mapped in the process: base = start of the file's first mapping,
// with the GNU build id read from the loaded image.
std::vector<SnapshotModule> ListModules(int memFd, const std::vector<MapsEntry>& maps);

SnapshotSystem ReadSystemFacts();
