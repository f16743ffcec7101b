// The file-system service on real files: kinds, listings, commits that
// replace whole files, temporaries within the system's name cap.
#include "base/file_system.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "util/file_util.h"
#include "util/text_util.h"
#include "support/links.h"
#include "support/temp_dir.h"

namespace stdfs = std::filesystem;

TEST(FileSystem, KindsTellMissingFromThereButNotAFile) {
    TempDir dir;
    dir.WriteFile("f", "x");
    stdfs::create_directory(dir.Join("d"));
    const bool linked = MakeFileLink("loop", dir.Join("loop"));
    for (auto [name, kind] : {std::pair{"f", fsys::Kind::kFile},
                              {"d", fsys::Kind::kFolder},
                              {"nothing", fsys::Kind::kMissing},
                              {"f/below", fsys::Kind::kMissing}})
        EXPECT_EQ(fsys::KindOf(dir.Join(name)), kind) << name;
    if (linked) {
        EXPECT_EQ(fsys::KindOfTarget(dir.Join("loop")), fsys::Kind::kUnknown);
        EXPECT_FALSE(NothingAt(text::FromUtf8(dir.Join("loop"))));
    }
    EXPECT_FALSE(NothingAt(text::FromUtf8(dir.Join("d"))));
    EXPECT_TRUE(NothingAt(text::FromUtf8(dir.Join("nothing"))));
    fsys::File file;
    EXPECT_FALSE(file.Open(dir.Join("d"), fsys::File::Mode::kRead));
    EXPECT_EQ(errno, EISDIR);
    EXPECT_FALSE(fsys::MakeFolder(dir.Join("f")));
    EXPECT_EQ(errno, EEXIST);
}

TEST(FileSystem, ListingWithSizesGivesWhatALookAtEachFileGives) {
    TempDir dir;
    dir.WriteFile("empty", "");
    dir.WriteFile("big", std::string(300001, 'b'));
    dir.WriteFile("sub/inner", "not counted");
    if (!MakeFileLink(dir.Join("big"), dir.Join("to_file")) ||
        !MakeFolderLink(dir.Join("sub"), dir.Join("to_folder")) || !MakeFileLink("nowhere", dir.Join("dangling")))
        GTEST_SKIP() << "no links here";
    std::vector<fsys::FolderEntry> entries;
    ASSERT_TRUE(fsys::ListFolderWithSizes(dir.path(), entries));
    std::map<std::string, std::pair<fsys::Kind, int64_t>> seen;
    for (const auto& e : entries) seen[e.name] = {e.kind, e.size};
    using K = fsys::Kind;
    const std::map<std::string, std::pair<fsys::Kind, int64_t>> expected = {
        {"empty", {K::kFile, 0}},      {"big", {K::kFile, 300001}},
        {"sub", {K::kFolder, -1}},     {"to_file", {K::kLink, 300001}},  // the target's size
        {"to_folder", {K::kLink, -1}}, {"dangling", {K::kLink, -1}}};
    EXPECT_EQ(seen, expected);
}
TEST(FileSystem, CommitReplacesWholeFilesAndLeavesNoTemporary) {
    TempDir dir;
    const std::string target = dir.Join("list.lit");
    dir.WriteFile("list.lit", "old");
    for (fsys::Durability durability : {fsys::Durability::kNone, fsys::Durability::kFileAndFolder}) {
        fsys::TempFile temp;
        ASSERT_TRUE(temp.Create(target));
        EXPECT_TRUE(fsys::IsTemporaryName(stdfs::path(temp.TempPath()).filename().string()));
        EXPECT_TRUE(temp.Write("new"));
        EXPECT_EQ(ReadWholeFile(target), "old");
        temp.Discard();
        EXPECT_EQ(ReadWholeFile(target), "old");
        EXPECT_TRUE(fsys::WriteFileAtomically(target, "new", durability));
        EXPECT_EQ(ReadWholeFile(target), "new");
        dir.WriteFile("list.lit", "old");
    }
    // A name at the system's cap still gets a temporary beside it.
    const std::string longName = dir.Join(std::string(250, 'n'));
    fsys::FolderSyncBatch batch;
    fsys::TempFile temp;
    ASSERT_TRUE(temp.Create(longName));
    EXPECT_LE(stdfs::path(temp.TempPath()).filename().string().size(), 255u);
    EXPECT_TRUE(temp.Write("x"));
    EXPECT_TRUE(temp.Commit(fsys::Durability::kFileAndFolder, 0, &batch));
    EXPECT_TRUE(batch.Flush());
    // A read-only file (as an archive may ask for) is replaced like any other.
    fsys::TempFile readOnly;
    ASSERT_TRUE(readOnly.Create(target) && readOnly.Write("read-only"));
    ASSERT_TRUE(readOnly.Commit(fsys::Durability::kNone, 0444));
    EXPECT_TRUE(fsys::WriteFileAtomically(target, "replaced"));
    EXPECT_EQ(ReadWholeFile(target), "replaced");
    // A folder in the target's place is refused, not replaced.
    stdfs::create_directory(dir.Join("folder"));
    EXPECT_FALSE(fsys::WriteFileAtomically(dir.Join("folder"), "x"));
    EXPECT_TRUE(stdfs::is_directory(dir.Join("folder")));
    EXPECT_EQ(std::distance(stdfs::directory_iterator(dir.path()), stdfs::directory_iterator()), 3);
}
