#pragma once
// Reads back the streams of a minidump file as the format lays them out: the
// directory, the system, thread, module and exception records and any
// stream's raw bytes. Fields out of the file's range read as zero (and fail
// the test).
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "services/crash/minidump_format.h"

class MinidumpReader {
public:
    struct Entry {
        uint32_t size = 0, rva = 0;
    };
    struct Module {
        uint64_t base = 0;
        uint32_t size = 0;
        std::u16string name;
    };

    explicit MinidumpReader(std::vector<uint8_t> bytes) : m_bytes(std::move(bytes)) {
        m_entries = At<uint32_t>(8);
        const uint32_t rva = At<uint32_t>(12);
        for (size_t i = 0; i < m_entries && m_bytes.size() >= 16; ++i) {
            const size_t at = rva + i * minidump::kDirectoryEntrySize;
            const uint32_t type = At<uint32_t>(at);
            const Entry entry{At<uint32_t>(at + 4), At<uint32_t>(at + 8)};
            // Writers may leave unused entries (type 0, nothing in them)
            // beside a user stream of type 0.
            if (!m_directory.count(type) || m_directory[type].size == 0) m_directory[type] = entry;
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
    uint32_t signature() const { return At<uint32_t>(0); }
    // Entries in the directory; `directory` holds each type once, the first
    // entry of that type with content.
    size_t entries() const { return m_entries; }
    const std::map<uint32_t, Entry>& directory() const { return m_directory; }
    bool Has(uint32_t type) const { return m_directory.count(type) != 0; }
    Entry Stream(uint32_t type) const { return Has(type) ? m_directory.at(type) : Entry{}; }
    std::string Bytes(uint32_t type) const {
        const Entry e = Stream(type);
        if (e.rva + uint64_t{e.size} > m_bytes.size()) return "";
        return std::string(reinterpret_cast<const char*>(m_bytes.data()) + e.rva, e.size);
    }

    std::vector<uint32_t> ThreadIds() const {
        const uint32_t at = Stream(minidump::kThreadListStream).rva;
        std::vector<uint32_t> ids(at ? At<uint32_t>(at) : 0);
        for (size_t i = 0; i < ids.size(); ++i) ids[i] = At<uint32_t>(at + 4 + i * minidump::kThreadSize);
        return ids;
    }
    std::vector<Module> Modules() const {
        const uint32_t at = Stream(minidump::kModuleListStream).rva;
        std::vector<Module> modules(at ? At<uint32_t>(at) : 0);
        for (size_t i = 0; i < modules.size(); ++i) {
            const size_t m = at + 4 + i * minidump::kModuleSize;
            modules[i].base = At<uint64_t>(m);
            modules[i].size = At<uint32_t>(m + 8);
            const uint32_t name = At<uint32_t>(m + 20);
            modules[i].name.resize(At<uint32_t>(name) / 2);
            for (size_t c = 0; c < modules[i].name.size(); ++c)
                modules[i].name[c] = At<char16_t>(name + 4 + 2 * c);
        }
        return modules;
    }
    // The exception stream: the thread, then the record's code and address.
    uint32_t ExceptionThread() const { return At<uint32_t>(Stream(minidump::kExceptionStream).rva); }
    uint32_t ExceptionCode() const { return At<uint32_t>(Stream(minidump::kExceptionStream).rva + 8); }
    uint64_t ExceptionAddress() const { return At<uint64_t>(Stream(minidump::kExceptionStream).rva + 24); }
    uint16_t ProcessorArchitecture() const { return At<uint16_t>(Stream(minidump::kSystemInfoStream).rva); }
    uint32_t PlatformId() const { return At<uint32_t>(Stream(minidump::kSystemInfoStream).rva + 20); }

private:
    std::vector<uint8_t> m_bytes;
    size_t m_entries = 0;
    std::map<uint32_t, Entry> m_directory;
};
