// What the player is told, and what stays recorded, when a patched file
// cannot be read back, made durable, or when a repair finds its old list.

#include "patch_fixture.h"

namespace {
// The real steps, folder by folder, except that syncing one folder fails.
class FolderSyncFails : public CommitSteps {
public:
    explicit FolderSyncFails(std::string folder) : m_folder(std::move(folder)) {}
    BatchDataSync Method() const override { return BatchDataSync::kPerFile; }
    bool SyncFolder(const std::string& folder) override {
        if (folder != m_folder) return CommitSteps::SyncFolder(folder);
        errno = EIO;
        return false;
    }

private:
    std::string m_folder;
};
}  // namespace

TEST_F(PatchRun, AFileThatCannotBeReadBackIsReportedWithItsOwnReason) {
    // An archive that makes a folder where the file belongs: the read-back
    // fails with EISDIR, whatever the clean-up after it leaves in errno.
    Publish({{L"a.dat", {"", "a.dat/"}}, {L"b.dat", {"b"}}});
    EXPECT_EQ(Run(), STATE_END);
    ASSERT_FALSE(view->Boxes().empty());
    const std::wstring target = root.wpath() + L"/install/a.dat";
    EXPECT_EQ(view->Boxes()[0], text::FormatW(GetLauncherMessage(8), L"Is a directory", EISDIR, target.c_str()));
}

TEST_F(PatchRun, AFolderThatCannotBeSyncedIsAFailedWriteAndRecordsNothingFromItsFile) {
    FolderSyncFails steps(Install("Data"));
    platform.m_commits = &steps;
    Publish({{L"1.dat", {"1"}}, {L"Data\\b.dat", {"b"}}, {L"e.dat", {"e"}}});
    EXPECT_EQ(Run(), STATE_END);
    ASSERT_EQ(view->Boxes().size(), 1u);
    const std::wstring target = root.wpath() + L"/install/Data/b.dat";
    EXPECT_EQ(view->Boxes()[0], text::FormatW(GetLauncherMessage(8), L"Input/output error", EIO, target.c_str()));
    EXPECT_NE(Log().find(L"Function :[CGameLauncherDlg::Ls_Update]"), std::wstring::npos);
    // The file before it stays recorded; it and the one after it are not.
    PackFileList recorded;
    ASSERT_TRUE(ReadListFile(text::FromUtf8(Install("packclit.lit")), recorded));
    ASSERT_EQ(recorded.size(), 1u);
    EXPECT_EQ(recorded[0]->szPath, L"1.dat");
}

TEST_F(PatchRun, RepairThatFindsItsClientListStillThereReadsItOnce) {
    Publish({{L"a.dat", {"a"}}, {L"b.dat", {"b"}}});
    ASSERT_EQ(Run(), STATE_IDLE);
    const std::string list = ReadWholeFile(Install("packclit.lit"));
    // The list comes back while the server list is fetched, as one the
    // repair could not delete would have stayed.
    server.StallAfter("/patch_qa/packserv.txt", 0, std::chrono::milliseconds(300));
    const int before = server.RequestCount("/patch_qa/packserv.txt");
    dlg->OnBnClickedButtonRepair();
    WaitUntil([&] { return server.RequestCount("/patch_qa/packserv.txt") != before; }, 20000);
    Put("packclit.lit", list);
    server.ClearFaults();

    EXPECT_EQ(Settle(), STATE_IDLE);
    EXPECT_EQ(dlg->m_vecClientList.size(), 2u);
    PackFileList recorded;
    ASSERT_TRUE(ReadListFile(text::FromUtf8(Install("packclit.lit")), recorded));
    EXPECT_EQ(recorded.size(), 2u);
}
