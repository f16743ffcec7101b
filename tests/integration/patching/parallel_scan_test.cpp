// The rebuild of the client list hashes on several threads: the list file,
// the progress and the report of an unreadable file stay those of one pass.

#include "base/process_facts.h"
#include "patch_fixture.h"
#include "support/links.h"

namespace {
class ParallelScan : public PatchRun {
protected:
    // A dialog that is not started: the scan runs on the test's thread.
    // `workers` 0: one per core.
    std::unique_ptr<CGameLauncherDlg> Make(unsigned workers) {
        platform.Config().scanWorkers = workers;
        view = std::make_unique<RecordingView>();
        return std::make_unique<CGameLauncherDlg>(platform, *view,
                                                  std::vector<std::wstring>{exe, L"QA", L"FromUpdater"});
    }
    // packclit.lit as a rebuild with `workers` threads writes it.
    std::string RebuildWith(unsigned workers) {
        auto scan = Make(workers);
        EXPECT_EQ(scan->RebuildClientList(), S_OK);
        EXPECT_EQ(scan->m_dwFileRecv.load(), scan->m_vecClientList.size());
        EXPECT_EQ(scan->m_dwFileSize.load(), scan->m_vecClientList.size());
        // The last text shown is that of the last file in list order.
        EXPECT_EQ(scan->GetStatusSnapshot().currentFile, L"Check: " + scan->m_vecClientList.back()->szPath);
        const std::string list = Read("packclit.lit");
        std::filesystem::remove(Install("packclit.lit"));
        return list;
    }
};
}  // namespace

TEST_F(ParallelScan, WritesTheSameClientListAndReportsAnUnreadableFileAsOnePass) {
    for (int i = 0; i < 400; ++i) {
        // Sizes across the digest's block and read-buffer edges, a few large.
        const size_t size = i % 50 == 0 ? 300000 + i : (i * 7919) % 5000;
        Put("Data/d" + std::to_string(i % 7) + "/f" + std::to_string(i) + ".dat",
            std::string(size, static_cast<char>('a' + i % 26)));
    }
    Put("Config/Option.json", "{}");
    // Links: to a file, listed with the file's size and digest; to a folder,
    // not followed.
    // Wine makes none: then the plain files alone.
    const bool links = MakeFileLink(Install("Data/d0/f0.dat"), Install("Linked.dat")) &&
                       MakeFolderLink(Install("Data"), Install("LinkedFolder"));
    const std::string serial = RebuildWith(1);
    ASSERT_GT(serial.size(), 400u * 2 * 60);
    EXPECT_TRUE(RebuildWith(4) == serial);
    EXPECT_TRUE(RebuildWith(0) == serial);
    // The digests are right, not only alike.
    root.WriteFile(installFolder + "/packclit.lit", serial);
    auto reader = Make(1);
    ASSERT_EQ(reader->ReadClientListFile(), S_OK);
    ASSERT_EQ(reader->m_vecClientList.size(), links ? 401u : 400u);
    for (const auto& entry : reader->m_vecClientList) {
        std::string relative = text::ToUtf8(entry->szPath);
        for (char& c : relative) c = c == '\\' ? '/' : c;
        const std::string bytes = Read(relative);
        EXPECT_EQ(text::ToUtf8(entry->szChecksum.str()), Md5Of(bytes));
        EXPECT_EQ(entry->nFileSize, static_cast<int32_t>(bytes.size())) << relative;
    }

    for (unsigned workers : {1u, 4u}) {
        auto scan = Make(workers);
        ASSERT_EQ(scan->RebuildClientList(), S_OK);
        const std::wstring first = scan->FullPath(scan->m_vecClientList[120]->szPath);
        const std::wstring later = scan->FullPath(scan->m_vecClientList[122]->szPath);
        const std::string firstBytes = ReadWholeFile(text::ToUtf8(first));
        // Both vanish after the listing; the later one would be met first by
        // a worker that runs ahead.
        ASSERT_TRUE(std::filesystem::remove(Utf8Path(text::ToUtf8(first))));
        ASSERT_TRUE(std::filesystem::remove(Utf8Path(text::ToUtf8(later))));
        EXPECT_FALSE(scan->Build_byclientchecksum());
        ASSERT_EQ(Boxes().size(), 1u);
        const std::wstring box = Boxes()[0];
        EXPECT_EQ(box, text::FormatW(GetLauncherMessage(8), text::FromUtf8(fsys::SystemErrorText(ENOENT)).c_str(), ENOENT,
                                     first.c_str()));
        EXPECT_EQ(view->m_closeRequests.load(), 1);
        EXPECT_EQ(scan->GetPendingError(), box);
        EXPECT_EQ(scan->m_dwFileRecv.load(), 120u);
        root.WriteFile(text::ToUtf8(first).substr(root.path().size() + 1), firstBytes);
        root.WriteFile(text::ToUtf8(later).substr(root.path().size() + 1), "back");
    }
}
