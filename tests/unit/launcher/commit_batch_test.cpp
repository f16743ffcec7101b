// The order in which a batch of unpacked files is made durable and recorded,
// seen through a recording of its steps on real files, and what each failed
// step leaves on disk and in the list.
#include "support/test_common.h"

#include "launcher/commit_batch.h"
#include "launcher/list_file_format.h"

namespace {

// Records every step by the last component it touches; the first step whose
// record starts with `failAt` (the second, for "fs#2") fails with EIO
// instead of running.
class RecordingSteps : public CommitSteps {
public:
    explicit RecordingSteps(std::string failAt) : m_failAt(std::move(failAt)) {
        if (m_failAt.size() > 2 && m_failAt[m_failAt.size() - 2] == '#') {
            m_skip = m_failAt.back() - '1';
            m_failAt.resize(m_failAt.size() - 2);
        }
    }
    bool SyncData(fsys::TempFile& file) override { return Pass("data " + Last(file.Target())) && CommitSteps::SyncData(file); }
    bool SyncFileSystem(const std::string& path) override { return Pass("fs") && CommitSteps::SyncFileSystem(path); }
    bool Rename(fsys::TempFile& file) override { return Pass("rename " + Last(file.Target())) && CommitSteps::Rename(file); }
    bool SyncFolder(const std::string& folder) override { return Pass("folder " + Last(folder)) && CommitSteps::SyncFolder(folder); }
    bool AppendList(const std::wstring& list, const std::vector<const PackFileInfo*>& entries) override {
        std::string call = "list";
        for (const PackFileInfo* entry : entries) call += " " + text::ToUtf8(entry->szPath);
        return Pass(call) && CommitSteps::AppendList(list, entries);
    }
    std::string calls;

private:
    static std::string Last(const std::string& path) { return path.substr(path.find_last_of('/') + 1); }
    bool Pass(const std::string& call) {
        calls += (calls.empty() ? "" : ", ") + call;
        if (m_failAt.empty() || call.rfind(m_failAt, 0) != 0 || m_skip-- > 0) return true;
        errno = EIO;
        return false;
    }
    std::string m_failAt;
    int m_skip = 0;
};

// A file `name` holding its own name, added to the batch with its list entry.
void Add(CCommitBatch& batch, const TempDir& dir, const char* name) {
    auto file = std::make_unique<fsys::TempFile>();
    ASSERT_TRUE(file->Create(dir.Join(name)) && file->Write(std::string(name)));
    auto entry = std::make_unique<PackFileInfo>();
    entry->SetPath(text::FromUtf8(name));
    batch.Add(std::move(file), std::move(entry), true, std::strlen(name));
}

struct BatchCase {
    const char* failAt;
    BatchDataSync dataSync;
    const char* calls;
    const char* recorded;  // list paths recorded, in order
    const char* failedFile;  // target of the reported failure ("" none, "list")
    const char* inPlace;     // files at their target afterwards
};

class CommitBatchTest : public ::testing::TestWithParam<BatchCase> {};

TEST_P(CommitBatchTest, DataThenRenameThenFoldersThenLinesUpToTheFirstFailure) {
    const BatchCase& c = GetParam();
    if (c.dataSync == BatchDataSync::kFileSystem && !fsys::CanSyncFileSystem())
        GTEST_SKIP() << "this user cannot sync a whole file system here";
    TempDir dir;
    RecordingSteps steps(c.failAt);
    const std::wstring list = text::FromUtf8(dir.Join("packclit.lit"));
    CCommitBatch batch(steps, list, {.dataSync = c.dataSync});
    // a and c in one folder, b in another: two folder syncs for three files.
    for (const char* name : {"d1/a", "d2/b", "d1/c"}) {
        std::filesystem::create_directories(dir.Join(std::string(name).substr(0, 2)));
        ASSERT_NO_FATAL_FAILURE(Add(batch, dir, name));
    }
    ASSERT_TRUE(batch.Holds(dir.Join("d2/b")));

    std::vector<std::unique_ptr<PackFileInfo>> recorded;
    const CCommitBatch::Outcome outcome = batch.Flush(recorded);
    EXPECT_EQ(steps.calls, c.calls);
    EXPECT_TRUE(batch.Empty());

    std::string names;
    for (const auto& entry : recorded) names += (names.empty() ? "" : " ") + text::ToUtf8(entry->szPath);
    EXPECT_EQ(names, c.recorded);
    PackFileList lines;
    ReadListFile(list, lines);
    EXPECT_EQ(lines.size(), recorded.size());
    const std::string failed = c.failedFile;
    if (failed.empty()) {
        EXPECT_EQ(outcome.failure, CCommitBatch::Failure::kNone);
    } else if (failed == "list") {
        EXPECT_EQ(outcome.failure, CCommitBatch::Failure::kList);
        EXPECT_EQ(outcome.error, EIO);
    } else {
        EXPECT_EQ(outcome.failure, CCommitBatch::Failure::kFile);
        EXPECT_EQ(outcome.path, dir.Join(failed));
        EXPECT_EQ(outcome.error, EIO);
    }
    // Whole or absent, never a temporary left behind.
    std::string inPlace;
    for (const auto& [relative, content] : FolderTree(dir.path())) {
        EXPECT_FALSE(fsys::IsTemporaryName(std::filesystem::path(relative).filename().string())) << relative;
        if (content == "<folder>" || relative == "packclit.lit") continue;
        EXPECT_EQ(content, relative);
        inPlace += (inPlace.empty() ? "" : " ") + relative;
    }
    EXPECT_EQ(inPlace, c.inPlace);
}

constexpr const char* kAll =
    "data a, data b, data c, rename a, rename b, rename c, folder d1, folder d2, list d1/a d2/b d1/c";

INSTANTIATE_TEST_SUITE_P(
    Steps, CommitBatchTest,
    ::testing::Values(
        BatchCase{"", BatchDataSync::kPerFile, kAll, "d1/a d2/b d1/c", "", "d1/a d1/c d2/b"},
        BatchCase{"", BatchDataSync::kFileSystem,
                  "fs, rename a, rename b, rename c, fs, list d1/a d2/b d1/c", "d1/a d2/b d1/c", "",
                  "d1/a d1/c d2/b"},
        // The files after a failed one wait for nothing: they are dropped.
        BatchCase{"data b", BatchDataSync::kPerFile, "data a, data b, rename a, folder d1, list d1/a", "d1/a", "d2/b",
                  "d1/a"},
        BatchCase{"fs", BatchDataSync::kFileSystem, "fs", "", "d1/a", ""},
        // The names not durable: all in place and whole, none recorded.
        BatchCase{"fs#2", BatchDataSync::kFileSystem, "fs, rename a, rename b, rename c, fs", "", "d1/a",
                  "d1/a d1/c d2/b"},
        BatchCase{"rename b", BatchDataSync::kPerFile, "data a, data b, data c, rename a, rename b, folder d1, list d1/a",
                  "d1/a", "d2/b", "d1/a"},
        // Renamed but its folder not durable: whole, not recorded, and so
        // is every file after it.
        BatchCase{"folder d2", BatchDataSync::kPerFile,
                  "data a, data b, data c, rename a, rename b, rename c, folder d1, folder d2, list d1/a", "d1/a",
                  "d2/b", "d1/a d1/c d2/b"},
        BatchCase{"folder d1", BatchDataSync::kPerFile,
                  "data a, data b, data c, rename a, rename b, rename c, folder d1, folder d2", "", "d1/a",
                  "d1/a d1/c d2/b"},
        BatchCase{"list", BatchDataSync::kPerFile, kAll, "", "list", "d1/a d1/c d2/b"}),
    [](const auto& info) { return "case" + std::to_string(info.index); });

// A batch handed over is committed on its own thread while the next one
// fills; the next is committed after it, or dropped when it failed.
TEST(CommitBatchHandOver, TheNextBatchFollowsTheOneHandedOverOrIsDroppedWithItsFailure) {
    if (!fsys::CanSyncFileSystem()) GTEST_SKIP() << "this user cannot sync a whole file system here";
    for (const std::string failAt : {"", "rename a"}) {
        TempDir dir;
        RecordingSteps steps(failAt);
        const std::wstring list = text::FromUtf8(dir.Join("packclit.lit"));
        CCommitBatch batch(steps, list, {});
        std::vector<std::unique_ptr<PackFileInfo>> recorded;
        for (const char* name : {"a", "b"}) {
            ASSERT_NO_FATAL_FAILURE(Add(batch, dir, name));
            if (*name == 'a') EXPECT_EQ(batch.Hand(recorded).failure, CCommitBatch::Failure::kNone) << failAt;
        }
        EXPECT_TRUE(batch.Holds(dir.Join("a")));  // handed over, not yet landed
        const CCommitBatch::Outcome outcome = batch.Flush(recorded);
        EXPECT_TRUE(batch.Idle());
        PackFileList lines;
        ReadListFile(list, lines);
        if (failAt.empty()) {
            EXPECT_EQ(steps.calls, "fs, rename a, fs, list a, fs, rename b, fs, list b");
            EXPECT_EQ(outcome.failure, CCommitBatch::Failure::kNone);
            ASSERT_EQ(recorded.size(), 2u);
            EXPECT_EQ(recorded[1]->szPath, L"b");
            EXPECT_EQ(lines.size(), 2u);
        } else {
            EXPECT_EQ(steps.calls, "fs, rename a");
            EXPECT_EQ(outcome.path, dir.Join("a"));
            EXPECT_TRUE(recorded.empty());
            EXPECT_TRUE(lines.empty());
            EXPECT_FALSE(std::filesystem::exists(dir.Join("b")));
            for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
                EXPECT_FALSE(fsys::IsTemporaryName(entry.path().filename().string()));
        }
    }
}

}  // namespace
