#pragma once
// Lays a process snapshot out as a minidump: header, stream directory, the
// thread, module, memory, exception and system streams, the raw Linux
// streams, and user streams.
#include <cstdint>
#include <string>
#include <vector>

#include "services/crash/process_snapshot.h"

struct MinidumpUserStream {
    uint32_t type = 0;
    std::string bytes;
};

class MinidumpFileWriter {
public:
    // The whole dump as bytes; `flags` is the dump type recorded in the header.
    static std::vector<uint8_t> Build(const ProcessSnapshot& snapshot,
                                      const std::vector<MinidumpUserStream>& user, uint64_t flags,
                                      uint32_t timeStamp);
};
