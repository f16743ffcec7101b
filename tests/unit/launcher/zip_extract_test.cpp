// Extraction never lands outside its folder, whatever the archive names, and
// never under a name it cannot read as its maker meant it.
#include "launcher/zip_extract.h"

#include "support/test_common.h"
#include <minizip/zip.h>

#include "support/links.h"
#include "util/path_util.h"

namespace {
// Extracts the archive from its file and again from its bytes in memory:
// both must report the same items the same way.
std::vector<ZipItemReport> Extract(const TempDir& dir, const std::string& zip) {
    std::vector<ZipItemReport> items[2];
    const std::string bytes = ReadWholeFile(dir.Join(zip));
    const ZipSource sources[] = {ZipSource(text::FromUtf8(dir.Join(zip))), ZipSource::InMemory(bytes)};
    for (int i = 0; i < 2; ++i) {
        EXPECT_TRUE(ExtractZipArchive(sources[i], dir.wpath() + L"/install", [&](const ZipItemReport& item) {
            items[i].push_back(item);
            return true;
        }));
    }
    EXPECT_EQ(items[0].size(), items[1].size());
    for (size_t i = 0; i < items[0].size() && i < items[1].size(); ++i) {
        EXPECT_EQ(items[0][i].name, items[1][i].name);
        EXPECT_EQ(items[0][i].result, items[1][i].result);
        EXPECT_EQ(items[0][i].digest, items[1][i].digest);
    }
    return items[0];
}

struct RawItem {
    std::string name;  // bytes as stored
    unsigned maker;    // high byte of "version made by": 0 MS-DOS, 3 Unix, 10 NTFS, ...
    bool utf8Flag;
};

// A zip whose items carry the given name bytes, maker and flag; each holds its own index.
void WriteRawZip(const std::string& path, const std::vector<RawItem>& items) {
    zipFile zip = zipOpen64(path.c_str(), APPEND_STATUS_CREATE);
    ASSERT_NE(zip, nullptr);
    for (size_t i = 0; i < items.size(); ++i) {
        zip_fileinfo info{};
        ASSERT_EQ(zipOpenNewFileInZip4_64(zip, items[i].name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr,
                                          Z_DEFLATED, Z_DEFAULT_COMPRESSION, 0, -MAX_WBITS, DEF_MEM_LEVEL,
                                          Z_DEFAULT_STRATEGY, nullptr, 0, items[i].maker << 8,
                                          items[i].utf8Flag ? 1u << 11 : 0u, 0),
                  ZIP_OK);
        const std::string content = std::to_string(i);
        zipWriteInFileInZip(zip, content.data(), static_cast<unsigned>(content.size()));
        zipCloseFileInZip(zip);
    }
    zipClose(zip, nullptr);
}

// Names that Windows would read as another place (a drive, a share, a device,
// a stream, a name it trims) are refused on every system.
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

// The patch run refuses such names earlier too; this is the last guard.
TEST(ZipExtract, ItemsThatWouldLeaveTheFolderOrNameAWindowsPlaceAreRefusedTheRestExtracted) {
    for (const char* name : kHostile) EXPECT_FALSE(IsSafeRelativePath(text::FromUtf8(name))) << name;
    for (const char* name : kFine) EXPECT_TRUE(IsSafeRelativePath(text::FromUtf8(name))) << name;
    TempDir dir;
    dir.WriteFile("outside/keep.txt", "precious");
    std::filesystem::create_directories(dir.Join("install"));
    const bool linked = MakeFolderLink(dir.Join("outside"), dir.Join("install/Linked"));  // not everywhere
    std::map<std::string, std::string> items = {{"../outside/keep.txt", "evil"},
                                                {"/tmp/abs.txt", "evil"},
                                                {"Sub/\xf0\x9f\x98\x80.dat", "fine"}};  // a surrogate pair on Windows
    if (linked) items["Linked/keep.txt"] = "evil";
    for (const char* name : kHostile) items[name] = "evil";
    WriteZip(dir.Join("a.zip"), items);
    int refused = 0;
    for (const auto& item : Extract(dir, "a.zip")) refused += item.result == kZipOtherFailure;
    EXPECT_EQ(refused, 2 + linked + static_cast<int>(std::size(kHostile)));
    // Nothing written anywhere but the one good file.
    std::map<std::string, std::string> expected = {
        {"a.zip", dir.ReadFile("a.zip")}, {"install", "<folder>"}, {"install/Sub", "<folder>"},
        {"install/Sub/\xf0\x9f\x98\x80.dat", "fine"}, {"outside", "<folder>"}, {"outside/keep.txt", "precious"}};
    if (linked) expected["install/Linked"] = "<folder>";
    EXPECT_EQ(FolderTree(dir.path()), expected);
    EXPECT_FALSE(std::filesystem::exists("/tmp/abs.txt") && ReadWholeFile("/tmp/abs.txt") == "evil");
}

TEST(ZipExtract, NamesAreDecodedByTheirFlagAndMakerOrRefusedAndLongOnesReadWhole) {
    TempDir dir;
    std::string longName;  // past the 1024 bytes a name buffer might hold
    for (char c = 'a'; longName.size() < 1100; ++c) longName += std::string(200, c) + "/";
    longName += "end.txt";
    WriteRawZip(dir.Join("names.zip"), {
                                           {"flagged/\xc3\xa9.txt", 0, true},  // UTF-8 by its flag
                                           {"dos/caf\x82.txt", 0, false},      // CP437 from MS-DOS
                                           {"ntfs/\x9a.txt", 10, false},       // and from Windows
                                           {"unix/\xc3\xa9.txt", 3, false},    // the Unix maker's UTF-8
                                           {"any/plain.txt", 1, false},        // ASCII from any maker
                                           {longName, 3, false},
                                           {"bad/flagged\xff.txt", 3, true},  // flagged, not UTF-8
                                           {"bad/unix\xe9.txt", 3, false},    // Unix, not UTF-8
                                           {"bad/amiga\xe9.txt", 1, false},   // code page unknown
                                       });
    const std::vector<ZipItemReport> items = Extract(dir, "names.zip");
    ASSERT_EQ(items.size(), 9u);
    for (size_t i = 0; i < items.size(); ++i)
        EXPECT_EQ(items[i].result, i < 6 ? kZipOk : kZipOtherFailure) << i;
    auto files = FolderTree(dir.Join("install"));
    std::erase_if(files, [](const auto& file) { return file.second == "<folder>"; });
    EXPECT_EQ(files, (std::map<std::string, std::string>{{"flagged/\xc3\xa9.txt", "0"}, {"dos/caf\xc3\xa9.txt", "1"},
                                                          {"ntfs/\xc3\x9c.txt", "2"}, {"unix/\xc3\xa9.txt", "3"},
                                                          {"any/plain.txt", "4"}, {longName, "5"}}));
}

// Cut anywhere, an archive in memory is never read past its end (the
// sanitizer builds watch that); without its whole end record it is refused.
TEST(ZipExtract, AnArchiveInMemoryCutShortIsRefusedOrItsItemFails) {
    TempDir dir;
    WriteZip(dir.Join("a.zip"), {{"a.txt", std::string(5000, 'x')}});
    const std::string bytes = ReadWholeFile(dir.Join("a.zip"));
    for (size_t length = 0; length < bytes.size(); length += 7) {
        bool ok = false;
        const bool opened = ExtractZipArchive(ZipSource::InMemory(std::string_view(bytes).substr(0, length)),
                                              dir.wpath() + L"/install", [&](const ZipItemReport& item) {
                                                  ok = item.result == kZipOk;
                                                  return true;
                                              });
        if (length + 22 <= bytes.size()) {
            EXPECT_FALSE(opened && ok) << length;
        }
    }
}
