// Extraction never lands outside its folder, whatever the archive names.
#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "common/text_util.h"
#include "launcher/zip_extract.h"
#include "support/patch_set.h"
#include "support/temp_dir.h"

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
    std::vector<ZipItemReport> items;
    ASSERT_TRUE(ExtractZipArchive(text::FromUtf8(dir.Join("a.zip")), dir.wpath() + L"/install",
                                  [&](const ZipItemReport& item) {
                                      items.push_back(item);
                                      return true;
                                  }));
    ASSERT_EQ(items.size(), 5u);
    int refused = 0;
    for (const auto& item : items) refused += item.result == kZipOtherFailure;
    EXPECT_EQ(refused, 3);
    EXPECT_EQ(dir.ReadFile("outside/keep.txt"), "precious");
    EXPECT_EQ(dir.ReadFile("install/Sub/win.txt"), "backslashes");
    EXPECT_EQ(dir.ReadFile("install/Sub/ok.txt"), "fine");
    EXPECT_FALSE(std::filesystem::exists("/tmp/abs.txt") && ReadWholeFile("/tmp/abs.txt") == "evil");
}

TEST(ZipExtract, NotAZipIsReportedAsSuch) {
    TempDir dir;
    dir.WriteFile("bad.zip", "not a zip");
    EXPECT_FALSE(ExtractZipArchive(text::FromUtf8(dir.Join("bad.zip")), dir.wpath(), [](const ZipItemReport&) {
        return true;
    }));
}
