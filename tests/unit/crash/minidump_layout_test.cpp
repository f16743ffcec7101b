// The dump's layout where no debugger looks: the user streams, the directory,
// the module records, and the dump file name.
#include <gtest/gtest.h>

#include <cstring>
#include <map>

#include "services/crash/dump_file_name.h"
#include "services/crash/minidump_file_writer.h"

namespace {

template <typename T>
T At(const std::vector<uint8_t>& bytes, size_t offset) {
    T value{};
    EXPECT_LE(offset + sizeof value, bytes.size());
    if (offset + sizeof value <= bytes.size()) std::memcpy(&value, bytes.data() + offset, sizeof value);
    return value;
}

struct Entry {
    uint32_t size, rva;
};

std::map<uint32_t, Entry> Directory(const std::vector<uint8_t>& dump, size_t& entries) {
    std::map<uint32_t, Entry> directory;
    entries = At<uint32_t>(dump, 8);
    const uint32_t rva = At<uint32_t>(dump, 12);
    for (size_t i = 0; i < entries; ++i) {
        const size_t at = rva + i * minidump::kDirectoryEntrySize;
        directory[At<uint32_t>(dump, at)] = {At<uint32_t>(dump, at + 4), At<uint32_t>(dump, at + 8)};
    }
    return directory;
}

ProcessSnapshot TwoThreadSnapshot() {
    ProcessSnapshot snapshot;
    Amd64Registers regs;
    regs.rip = 0x401000;
    regs.rsp = 0x7ff000;
    for (uint32_t tid : {100u, 101u}) {
        SnapshotThread thread{
            tid, BuildMinidumpContext(regs), {0x7ff000 - 128, std::vector<uint8_t>(256, 0xab)}};
        snapshot.threads.push_back(thread);
    }
    snapshot.modules.push_back({0x400000, 0x2000, "/opt/quon/QuonLauncher.exe", {0xde, 0xad, 0xbe, 0xef}});
    snapshot.hasException = true;
    snapshot.exception.threadId = 101;
    snapshot.exception.code = 11;
    snapshot.exception.context = BuildMinidumpContext(regs);
    snapshot.rawStreams.emplace_back(minidump::kLinuxMaps,
                                     "400000-402000 r-xp 00000000 08:01 1 /opt/quon/QuonLauncher.exe\n");
    return snapshot;
}

TEST(MinidumpLayoutTest, EveryStreamOnceAndTheTwoDefaultUserStreams) {
    const auto dump = MinidumpFileWriter::Build(TwoThreadSnapshot(), {{0, "Default"}, {1, "Default"}}, 0, 1);
    EXPECT_EQ(At<uint32_t>(dump, 0), minidump::kSignature);
    size_t entries = 0;
    const auto directory = Directory(dump, entries);
    EXPECT_EQ(directory.size(), entries) << "a stream type appears twice";
    for (uint32_t type : {0u, 1u}) {
        ASSERT_TRUE(directory.count(type));
        EXPECT_EQ(directory.at(type).size, 7u);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(dump.data()) + directory.at(type).rva, 7),
                  "Default");
    }
    for (uint32_t type : {3u, 4u, 5u, 6u, 7u, uint32_t{minidump::kLinuxMaps}})
        EXPECT_TRUE(directory.count(type)) << type;

    const Entry system = directory.at(minidump::kSystemInfoStream);
    EXPECT_EQ(At<uint16_t>(dump, system.rva), minidump::kProcessorArchitectureAmd64);
    EXPECT_EQ(At<uint32_t>(dump, system.rva + 20), minidump::kPlatformLinux);

    const Entry exception = directory.at(minidump::kExceptionStream);
    EXPECT_EQ(At<uint32_t>(dump, exception.rva), 101u);
    EXPECT_EQ(At<uint32_t>(dump, exception.rva + 8), 11u);
}

TEST(MinidumpLayoutTest, ThreadsCarryAmd64ContextsAndStacksThatTheMemoryListHolds) {
    const auto dump = MinidumpFileWriter::Build(TwoThreadSnapshot(), {}, 0, 1);
    size_t entries = 0;
    const auto directory = Directory(dump, entries);
    const uint32_t threads = directory.at(minidump::kThreadListStream).rva;
    const uint32_t memory = directory.at(minidump::kMemoryListStream).rva;
    ASSERT_EQ(At<uint32_t>(dump, threads), 2u);
    ASSERT_EQ(At<uint32_t>(dump, memory), 2u);
    for (size_t i = 0; i < 2; ++i) {
        const size_t thread = threads + 4 + i * minidump::kThreadSize;
        const uint32_t contextSize = At<uint32_t>(dump, thread + 40);
        const uint32_t context = At<uint32_t>(dump, thread + 44);
        EXPECT_EQ(contextSize, minidump::kContextSize);
        EXPECT_TRUE(At<uint32_t>(dump, context + 0x30) & minidump::kContextAmd64);
        EXPECT_EQ(At<uint64_t>(dump, context + 0xf8), 0x401000u);  // Rip
        EXPECT_EQ(At<uint64_t>(dump, context + 0x98), 0x7ff000u);  // Rsp
        // The thread's stack descriptor and the memory list's agree.
        const size_t listed = memory + 4 + i * minidump::kMemoryDescriptorSize;
        EXPECT_EQ(At<uint64_t>(dump, thread + 24), At<uint64_t>(dump, listed));
        EXPECT_EQ(At<uint32_t>(dump, thread + 32), 256u);
        EXPECT_EQ(At<uint32_t>(dump, thread + 36), At<uint32_t>(dump, listed + 12));
        EXPECT_EQ(dump[At<uint32_t>(dump, listed + 12)], 0xab);
    }
}

TEST(MinidumpLayoutTest, ModulesNameTheirFileAndCarryTheBuildId) {
    const auto dump = MinidumpFileWriter::Build(TwoThreadSnapshot(), {}, 0, 1);
    size_t entries = 0;
    const uint32_t modules = Directory(dump, entries).at(minidump::kModuleListStream).rva;
    ASSERT_EQ(At<uint32_t>(dump, modules), 1u);
    const size_t module = modules + 4;
    EXPECT_EQ(At<uint64_t>(dump, module), 0x400000u);
    const uint32_t name = At<uint32_t>(dump, module + 20);
    const std::u16string expected = u"/opt/quon/QuonLauncher.exe";
    ASSERT_EQ(At<uint32_t>(dump, name), expected.size() * 2);
    EXPECT_EQ(std::memcmp(dump.data() + name + 4, expected.data(), expected.size() * 2), 0);
    const uint32_t cvSize = At<uint32_t>(dump, module + 76);
    const uint32_t cv = At<uint32_t>(dump, module + 80);
    ASSERT_EQ(cvSize, 8u);
    EXPECT_EQ(At<uint32_t>(dump, cv), minidump::kCodeViewElfBuildId);
    EXPECT_EQ(At<uint32_t>(dump, cv + 4), 0xefbeaddeu);
}

TEST(DumpFileNameTest, NumbersCarryNoPaddingAndLongNamesAreCut) {
    std::tm t{};
    t.tm_year = 2013 - 1900;
    t.tm_mon = 4;
    t.tm_mday = 7;
    t.tm_hour = 14;
    t.tm_min = 3;
    t.tm_sec = 9;
    EXPECT_EQ(FormatDumpFileName(L"QuonLauncher", t), L"QuonLauncher(crashed)_2013-5-7-14-3-9.dmp");
    EXPECT_EQ(FormatDumpFileName(std::wstring(300, L'x'), t).size(), 259u);
}

}  // namespace
