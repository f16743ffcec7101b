// Names from a list or an archive that Windows would read as another place
// (a drive, a share, a device, a stream, a name it trims) are refused on
// every system, and extracting them writes nothing anywhere.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "launcher/zip_extract.h"
#include "support/patch_set.h"
#include "support/temp_dir.h"
#include "util/path_util.h"
#include "util/text_util.h"

namespace {
// clang-format off
const char* const kHostile[] = {
    "C:\\x.dat", "C:x.dat", "c:/x.dat", "\\\\server\\share\\x.dat", "\\\\?\\C:\\x.dat", "\\\\.\\PhysicalDrive0",
    "/abs.dat", "a.dat:stream", "a.dat::$DATA", "Sub\\..\\..\\x.dat", "CON", "con.txt", "Sub/NUL",
    "aux.tar.gz", "PRN", "COM1", "com9.log", "LPT1", "Lpt9.dat", "CON .txt", "COM\xc2\xb9", "dot.",
    "space ", "Sub./x.dat", "Sub /x.dat",
};
const char* const kFine[] = {"Data\\a.dat", "CONSOLE.dat", "COM10", "LPT0.txt", "nul_x.dat", "Sub/.hidden",
                             "a..b", "\xf0\x9f\x98\x80.dat"};
// clang-format on
}  // namespace

TEST(HostilePaths, WindowsPlacesAreRefusedOrdinaryNamesKept) {
    for (const char* name : kHostile) EXPECT_FALSE(IsSafeRelativePath(text::FromUtf8(name))) << name;
    for (const char* name : kFine) EXPECT_TRUE(IsSafeRelativePath(text::FromUtf8(name))) << name;
}

TEST(HostilePaths, ExtractionRefusesEachAndWritesOnlyTheGoodOne) {
    TempDir dir;
    std::filesystem::create_directories(dir.Join("install"));
    std::map<std::string, std::string> items;
    for (const char* name : kHostile) items[name] = "evil";
    items["Good/\xf0\x9f\x98\x80.dat"] = "fine";  // past U+FFFF: a surrogate pair on Windows
    WriteZip(dir.Join("a.zip"), items);
    int refused = 0;
    EXPECT_TRUE(ExtractZipArchive(text::FromUtf8(dir.Join("a.zip")), dir.wpath() + L"/install",
                                  [&](const ZipItemReport& item) {
                                      refused += item.result == kZipOtherFailure;
                                      return true;
                                  }));
    EXPECT_EQ(refused, static_cast<int>(std::size(kHostile)));
    int entries = 0;
    for (const auto& e : std::filesystem::recursive_directory_iterator(Utf8Path(dir.path()))) {
        ++entries;
        EXPECT_TRUE(e.path().filename() == "a.zip" || e.path().filename() == "install" ||
                    e.path().filename() == "Good" || e.path().filename() == u8"\U0001F600.dat")
            << e.path();
    }
    EXPECT_EQ(entries, 4);
    EXPECT_EQ(dir.ReadFile("install/Good/\xf0\x9f\x98\x80.dat"), "fine");
}
