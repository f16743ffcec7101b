// Extraction never lands outside its folder, whatever the archive names, and
// never under a name it cannot read as its maker meant it.
#include "launcher/zip_extract.h"

#include <gtest/gtest.h>
#include <minizip/zip.h>

#include <filesystem>
#include <map>
#include <set>
#include <vector>

#include "util/text_util.h"
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

std::set<std::string> FilesBelow(const std::string& folder) {
    std::set<std::string> files;
    for (const auto& e : std::filesystem::recursive_directory_iterator(folder)) {
        if (e.is_regular_file()) files.insert(std::filesystem::relative(e.path(), folder).string());
    }
    return files;
}
}  // namespace

TEST(ZipExtract, ItemsThatWouldLeaveTheFolderAreRefusedTheRestExtracted) {
    TempDir dir;
    dir.WriteFile("outside/keep.txt", "precious");
    std::filesystem::create_directories(dir.Join("install"));
    std::filesystem::create_directory_symlink(dir.Join("outside"), dir.Join("install/Linked"));
    WriteZip(dir.Join("a.zip"), {{"../outside/keep.txt", "evil"},
                                 {"/tmp/abs.txt", "evil"},
                                 {"Linked/keep.txt", "evil"},
                                 {"Sub\\win.txt", "backslashes"},
                                 {"Sub/ok.txt", "fine"}});
    const std::vector<ZipItemReport> items = Extract(dir, "a.zip");
    ASSERT_EQ(items.size(), 5u);
    int refused = 0;
    for (const auto& item : items) refused += item.result == kZipOtherFailure;
    EXPECT_EQ(refused, 3);
    EXPECT_EQ(dir.ReadFile("outside/keep.txt"), "precious");
    EXPECT_EQ(dir.ReadFile("install/Sub/win.txt"), "backslashes");
    EXPECT_EQ(dir.ReadFile("install/Sub/ok.txt"), "fine");
    EXPECT_FALSE(std::filesystem::exists("/tmp/abs.txt") && ReadWholeFile("/tmp/abs.txt") == "evil");

    dir.WriteFile("bad.zip", "not a zip");
    EXPECT_FALSE(ExtractZipArchive(text::FromUtf8(dir.Join("bad.zip")), dir.wpath(),
                                   [](const ZipItemReport&) { return true; }));
}

TEST(ZipExtract, NamesOf1024BytesAndMoreAreReadWhole) {
    TempDir dir;
    std::string name;
    for (char c = 'a'; name.size() < 1100; ++c) name += std::string(200, c) + "/";
    name += "end.txt";
    WriteRawZip(dir.Join("long.zip"), {{name, 3, false}});
    const std::vector<ZipItemReport> items = Extract(dir, "long.zip");
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].result, kZipOk);
    EXPECT_EQ(items[0].name, text::FromUtf8(name));
    EXPECT_EQ(dir.ReadFile("install/" + name), "0");
}

TEST(ZipExtract, NamesAreDecodedByTheirFlagAndMakerOrRefused) {
    TempDir dir;
    WriteRawZip(dir.Join("names.zip"), {
                                           {"flagged/\xc3\xa9.txt", 0, true},  // UTF-8 by its flag
                                           {"dos/caf\x82.txt", 0, false},      // CP437 from MS-DOS
                                           {"ntfs/\x9a.txt", 10, false},       // and from Windows
                                           {"unix/\xc3\xa9.txt", 3, false},    // the Unix maker's UTF-8
                                           {"any/plain.txt", 1, false},        // ASCII from any maker
                                           {"bad/flagged\xff.txt", 3, true},   // flagged, not UTF-8
                                           {"bad/unix\xe9.txt", 3, false},     // Unix, not UTF-8
                                           {"bad/amiga\xe9.txt", 1, false},    // code page unknown
                                       });
    const std::vector<ZipItemReport> items = Extract(dir, "names.zip");
    ASSERT_EQ(items.size(), 8u);
    for (size_t i = 0; i < items.size(); ++i)
        EXPECT_EQ(items[i].result, i < 5 ? kZipOk : kZipOtherFailure) << i;
    EXPECT_EQ(FilesBelow(dir.Join("install")),
              (std::set<std::string>{"flagged/\xc3\xa9.txt", "dos/caf\xc3\xa9.txt", "ntfs/\xc3\x9c.txt",
                                     "unix/\xc3\xa9.txt", "any/plain.txt"}));
    EXPECT_EQ(dir.ReadFile("install/dos/caf\xc3\xa9.txt"), "1");
}

TEST(ZipExtract, TheDigestTakenWhileWritingIsTheFileOnDiskAndOnlyForAWrittenItem) {
    TempDir dir;
    std::string big(700 * 1024, '\0');  // several write blocks
    for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7919 % 251);
    std::filesystem::create_directories(dir.Join("install/Blocked"));
    WriteZip(dir.Join("d.zip"), {{"Data/big.bin", big}, {"empty.txt", ""}, {"../out.txt", "x"}, {"Blocked", "x"}});
    const std::vector<ZipItemReport> items = Extract(dir, "d.zip");
    ASSERT_EQ(items.size(), 4u);
    std::map<std::wstring, const ZipItemReport*> byName;
    for (const auto& item : items) byName[item.name] = &item;
    const ZipItemReport& written = *byName.at(L"Data/big.bin");
    EXPECT_EQ(written.written, dir.Join("install/Data/big.bin"));
    EXPECT_EQ(text::ToUtf8(written.digest), Md5Of(ReadWholeFile(written.written)));
    EXPECT_EQ(text::ToUtf8(byName.at(L"empty.txt")->digest), "d41d8cd98f00b204e9800998ecf8427e");
    // Refused, or a folder in the way: no path, no digest to stand for a file.
    for (const wchar_t* failed : {L"../out.txt", L"Blocked"}) {
        EXPECT_NE(byName.at(failed)->result, kZipOk);
        EXPECT_TRUE(byName.at(failed)->written.empty());
        EXPECT_TRUE(byName.at(failed)->digest.empty());
    }
}

TEST(ZipExtract, DigestsOfItemsAroundTheSizeWhereHashingMovesToItsOwnThreadMatchTheFiles) {
    TempDir dir;
    constexpr size_t kMiB = 1024 * 1024;
    // In archive order: below, at and above the size hashed on a second
    // thread, a block boundary, and a small item after the large ones.
    const std::map<std::string, size_t> sizes = {
        {"a.bin", kMiB - 1},         {"b.bin", kMiB}, {"c.bin", kMiB + 1}, {"d.bin", 3 * kMiB + 256 * 1024},
        {"e.bin", 3 * kMiB + 12345}, {"f.bin", 10}};
    std::map<std::string, std::string> entries;
    unsigned seed = 1;
    for (const auto& [name, size] : sizes) {
        std::string bytes(size, '\0');
        for (char& c : bytes) c = static_cast<char>((seed = seed * 1103515245u + 12345u) >> 24);
        entries[name] = std::move(bytes);
    }
    WriteZip(dir.Join("sizes.zip"), entries);
    const std::vector<ZipItemReport> items = Extract(dir, "sizes.zip");
    ASSERT_EQ(items.size(), sizes.size());
    for (const auto& item : items) {
        const std::string name = text::ToUtf8(item.name);
        SCOPED_TRACE(name);
        EXPECT_EQ(item.result, kZipOk);
        EXPECT_EQ(ReadWholeFile(dir.Join("install/" + name)), entries.at(name));
        EXPECT_EQ(text::ToUtf8(item.digest), Md5Of(entries.at(name)));
    }
}
