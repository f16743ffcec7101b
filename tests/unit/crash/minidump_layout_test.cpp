// The dump's layout where no debugger looks: the user streams, the directory,
// the system and exception records, and the dump file name (threads, stacks
// and modules are read by the debugger in the crash tests).
#include "support/test_common.h"

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

ProcessSnapshot Snapshot() {
    ProcessSnapshot snapshot;
    Amd64Registers regs;
    snapshot.threads.push_back(
        {101, BuildMinidumpContext(regs), {0x7ff000, std::vector<uint8_t>(256, 0xab)}});
    snapshot.hasException = true;
    snapshot.exception.threadId = 101;
    snapshot.exception.code = 11;
    snapshot.exception.context = BuildMinidumpContext(regs);
    snapshot.rawStreams.emplace_back(minidump::kLinuxMaps,
                                     "400000-402000 r-xp 00000000 08:01 1 /opt/quon/QuonLauncher.exe\n");
    return snapshot;
}

TEST(MinidumpLayoutTest, UserStreamsSystemAndExceptionWhereTheFormatPutsThem) {
    const auto dump = MinidumpFileWriter::Build(Snapshot(), {{0, "Default"}, {1, "Default"}}, 0, 1);
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
    for (uint32_t type : {3u, 5u, 6u, 7u, uint32_t{minidump::kLinuxMaps}})
        EXPECT_TRUE(directory.count(type)) << type;

    const Entry system = directory.at(minidump::kSystemInfoStream);
    EXPECT_EQ(At<uint16_t>(dump, system.rva), minidump::kProcessorArchitectureAmd64);
    EXPECT_EQ(At<uint32_t>(dump, system.rva + 20), minidump::kPlatformLinux);

    const Entry exception = directory.at(minidump::kExceptionStream);
    EXPECT_EQ(At<uint32_t>(dump, exception.rva), 101u);
    EXPECT_EQ(At<uint32_t>(dump, exception.rva + 8), 11u);
}

TEST(DumpFileNameTest, NumbersCarryNoPaddingAndLongNamesAreCut) {
    std::tm t{.tm_sec = 9, .tm_min = 3, .tm_hour = 14, .tm_mday = 7, .tm_mon = 4, .tm_year = 2013 - 1900};
    EXPECT_EQ(FormatDumpFileName(L"QuonLauncher", t), L"QuonLauncher(crashed)_2013-5-7-14-3-9.dmp");
    EXPECT_EQ(FormatDumpFileName(std::wstring(300, L'x'), t).size(), 259u);
}

}  // namespace
