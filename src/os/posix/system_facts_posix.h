#pragma once
// Pieces of the Linux system facts that are worth testing on their own:
// parsers of the /proc and /etc texts, and the display queries.
#include <map>
#include <string>

#include "os/system_facts.h"

namespace posix_facts {

// "KEY=value" lines of os-release; quotes and backslash escapes removed.
std::map<std::string, std::string> ParseOsRelease(const std::string& text);
// /proc/meminfo ("Name:   123 kB") in bytes.
std::map<std::string, uint64_t> ParseMeminfo(const std::string& text);
bool MemoryFromMeminfo(const std::map<std::string, uint64_t>& info, MemoryFacts& memory);
// The first processor block of /proc/cpuinfo; `machine` is uname's.
bool CpuFromCpuinfo(const std::string& text, const std::string& machine, CpuFacts& cpu);

bool PrimaryDisplayAdapter(const std::string& drmClassFolder, std::wstring& description);
void PrimaryScreenSize(int& width, int& height);

}  // namespace posix_facts
