// Extraction never lands outside its folder, whatever the archive names, and
// never under a name it cannot read as its maker meant it.
#include "launcher/zip_extract.h"

#include <gtest/gtest.h>
#include <minizip/zip.h>

#include <filesystem>
#include <set>
#include <vector>

#include "base/file_system.h"
#include "util/text_util.h"
#include "support/links.h"
#include "support/patch_set.h"
#include "support/temp_dir.h"

namespace {
std::vector<ZipItemReport> Extract(const TempDir& dir, const std::string& zip) {
    std::vector<ZipItemReport> items;
    EXPECT_TRUE(ExtractZipArchive(text::FromUtf8(dir.Join(zip)), dir.wpath() + L"/install",
                                  [&](const ZipItemReport& item) {
                                      items.push_back(item);
                                      return true;
                                  }));
    return items;
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

// Through the file service: MinGW's directory iterator stops at MAX_PATH.
std::set<std::string> FilesBelow(const std::string& folder) {
    std::set<std::string> files;
    fsys::WalkTree(folder, [&](const std::string& path, fsys::Kind kind) {
        if (kind == fsys::Kind::kFile) files.insert(path.substr(folder.size() + 1));
    });
    return files;
}
}  // namespace

// The patch run refuses such names earlier too; this is the last guard.
TEST(ZipExtract, ItemsThatWouldLeaveTheFolderAreRefusedTheRestExtracted) {
    TempDir dir;
    dir.WriteFile("outside/keep.txt", "precious");
    std::filesystem::create_directories(dir.Join("install"));
    if (!MakeFolderLink(dir.Join("outside"), dir.Join("install/Linked"))) GTEST_SKIP() << "no folder links here";
    WriteZip(dir.Join("a.zip"), {{"../outside/keep.txt", "evil"},
                                 {"/tmp/abs.txt", "evil"},
                                 {"Linked/keep.txt", "evil"},
                                 {"Sub/ok.txt", "fine"}});
    int refused = 0;
    for (const auto& item : Extract(dir, "a.zip")) refused += item.result == kZipOtherFailure;
    EXPECT_EQ(refused, 3);
    EXPECT_EQ(dir.ReadFile("outside/keep.txt"), "precious");
    EXPECT_EQ(dir.ReadFile("install/Sub/ok.txt"), "fine");
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
    EXPECT_EQ(FilesBelow(dir.Join("install")),
              (std::set<std::string>{"flagged/\xc3\xa9.txt", "dos/caf\xc3\xa9.txt", "ntfs/\xc3\x9c.txt",
                                     "unix/\xc3\xa9.txt", "any/plain.txt", longName}));
    EXPECT_EQ(dir.ReadFile("install/dos/caf\xc3\xa9.txt"), "1");
    EXPECT_EQ(dir.ReadFile("install/" + longName), "5");
}
