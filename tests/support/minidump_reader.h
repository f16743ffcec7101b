#pragma once
// Reads back the streams of a minidump file as the format lays them out.
// Fields out of the file's range read as zero (and fail the test).
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "services/crash/minidump_format.h"

class MinidumpReader {
public:
    struct Module {
        uint64_t base = 0;
        uint32_t size = 0;
        std::u16string name;
    };

    explicit MinidumpReader(std::string bytes) : m_bytes(std::move(bytes)) {
        m_entries = At<uint32_t>(8);
        for (size_t i = 0; i < m_entries && m_bytes.size() >= 16; ++i) {
            const size_t at = At<uint32_t>(12) + i * minidump::kDirectoryEntrySize;
            auto& entry = m_directory[At<uint32_t>(at)];
            // Writers may leave unused entries (type 0, empty) beside a user
            // stream of type 0: the first entry with content counts.
            if (entry.first == 0) entry = {At<uint32_t>(at + 4), At<uint32_t>(at + 8)};
        }
    }

    template <typename T>
    T At(size_t offset) const {
        T value{};
        EXPECT_LE(offset + sizeof value, m_bytes.size());
        if (offset + sizeof value <= m_bytes.size())
            std::memcpy(&value, m_bytes.data() + offset, sizeof value);
        return value;
    }
    // Entries in the directory, and the stream types among them.
    size_t entries() const { return m_entries; }
    size_t types() const { return m_directory.size(); }
    bool Has(uint32_t type) const { return m_directory.count(type) != 0; }
    // Where the stream starts; 0 when there is none.
    uint32_t Rva(uint32_t type) const { return Has(type) ? m_directory.at(type).second : 0; }
    std::string Bytes(uint32_t type) const {
        const auto [size, rva] = Has(type) ? m_directory.at(type) : std::pair<uint32_t, uint32_t>{};
        return rva + uint64_t{size} <= m_bytes.size() ? m_bytes.substr(rva, size) : "";
    }

    std::vector<uint32_t> ThreadIds() const {
        const uint32_t at = Rva(minidump::kThreadListStream);
        std::vector<uint32_t> ids(at ? At<uint32_t>(at) : 0);
        for (size_t i = 0; i < ids.size(); ++i) ids[i] = At<uint32_t>(at + 4 + i * minidump::kThreadSize);
        return ids;
    }
    std::vector<Module> Modules() const {
        const uint32_t at = Rva(minidump::kModuleListStream);
        std::vector<Module> modules(at ? At<uint32_t>(at) : 0);
        for (size_t i = 0; i < modules.size(); ++i) {
            const size_t m = at + 4 + i * minidump::kModuleSize;
            const uint32_t name = At<uint32_t>(m + 20);
            modules[i] = {At<uint64_t>(m), At<uint32_t>(m + 8),
                          std::u16string(At<uint32_t>(name) / 2, u'\0')};
            for (size_t c = 0; c < modules[i].name.size(); ++c)
                modules[i].name[c] = At<char16_t>(name + 4 + 2 * c);
        }
        return modules;
    }
    // The exception stream: its thread, the record's code and address.
    uint32_t ExceptionThread() const { return At<uint32_t>(Rva(minidump::kExceptionStream)); }
    uint32_t ExceptionCode() const { return At<uint32_t>(Rva(minidump::kExceptionStream) + 8); }
    uint64_t ExceptionAddress() const { return At<uint64_t>(Rva(minidump::kExceptionStream) + 24); }

private:
    std::string m_bytes;
    size_t m_entries = 0;
    std::map<uint32_t, std::pair<uint32_t, uint32_t>> m_directory;  // type -> size, rva
};
