// The dump's layout where no debugger looks: the user streams, the directory,
// the system and exception records, and the dump file name (threads, stacks
// and modules are read by the debugger in the crash tests).
#include "services/crash/dump_file_name.h"
#include "services/crash/minidump_file_writer.h"
#include "support/minidump_reader.h"
#include "support/test_common.h"

namespace {

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
    const auto bytes = MinidumpFileWriter::Build(Snapshot(), {{0, "Default"}, {1, "Default"}}, 0, 1);
    const MinidumpReader dump(std::string(bytes.begin(), bytes.end()));
    EXPECT_EQ(dump.At<uint32_t>(0), minidump::kSignature);
    EXPECT_EQ(dump.types(), dump.entries()) << "a stream type appears twice";
    for (uint32_t type : {0u, 1u}) EXPECT_EQ(dump.Bytes(type), "Default");
    for (uint32_t type : {3u, 5u, 6u, 7u, uint32_t{minidump::kLinuxMaps}})
        EXPECT_TRUE(dump.Has(type)) << type;

    EXPECT_EQ(dump.At<uint16_t>(dump.Rva(minidump::kSystemInfoStream)),
              minidump::kProcessorArchitectureAmd64);
    EXPECT_EQ(dump.At<uint32_t>(dump.Rva(minidump::kSystemInfoStream) + 20), minidump::kPlatformLinux);
    EXPECT_EQ(dump.ExceptionThread(), 101u);
    EXPECT_EQ(dump.ExceptionCode(), 11u);
    EXPECT_EQ(dump.ThreadIds(), std::vector<uint32_t>{101});
}

TEST(DumpFileNameTest, NumbersCarryNoPaddingAndLongNamesAreCut) {
    std::tm t{.tm_sec = 9, .tm_min = 3, .tm_hour = 14, .tm_mday = 7, .tm_mon = 4, .tm_year = 2013 - 1900};
    EXPECT_EQ(FormatDumpFileName(L"QuonLauncher", t), L"QuonLauncher(crashed)_2013-5-7-14-3-9.dmp");
    EXPECT_EQ(FormatDumpFileName(std::wstring(300, L'x'), t).size(), 259u);
}

}  // namespace
