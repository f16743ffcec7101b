// Paths near the cap of the path buffers, names the list cannot spell, and
// client lists too large to be real.
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "patch_fixture.h"

namespace {
// An install folder deep enough that a short relative path still fits the
// 259 characters of a path buffer and a longer one does not.
class DeepInstall : public PatchRun {
protected:
    DeepInstall() : PatchRun(std::string(100, 'i') + "/" + std::string(100, 'j')) {}
};

std::string Repeat(const std::string& piece, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) out += piece;
    return out;
}
}  // namespace

TEST_F(PatchRun, AnArchiveUrlLongerThanAPathBufferIsFetchedWhole) {
    // Percent-encoded, the name passes 259 characters; the local path does not.
    const std::string name = "Data/" + Repeat("\xc3\xa9", 45) + ".dat";
    Publish({{L"Data\\" + text::FromUtf8(Repeat("\xc3\xa9", 45)) + L".dat", {"accented"}}});
    EXPECT_EQ(Run(), STATE_IDLE);
    EXPECT_EQ(Read(name), "accented");
    EXPECT_EQ(Fetches(name), 1);
}

TEST_F(DeepInstall, AnEntryWhoseLocalPathPassesTheCapIsReportedNotFetched) {
    ASSERT_LT(Install("a.dat").size(), 240u);
    const std::string longName = "Data/" + std::string(40, 'x') + ".dat";
    ASSERT_GT(Install(longName).size(), 259u);
    Publish({{text::FromUtf8("Data\\" + std::string(40, 'x') + ".dat"), {"long"}}, {L"a.dat", {"a"}}});
    EXPECT_EQ(Run(), STATE_END);
    ASSERT_EQ(view->Boxes().size(), 1u);
    EXPECT_EQ(view->Boxes()[0],
              text::FormatW(GetLauncherMessage(8), text::FromUtf8(strerror(ENAMETOOLONG)).c_str(),
                            ENAMETOOLONG, text::FromUtf8(Install(longName)).c_str()));
    EXPECT_EQ(Fetches(longName), 0);
    EXPECT_FALSE(Exists("Data"));  // nothing made under a cut name either
}

TEST_F(DeepInstall, TheScanSkipsFilesPastTheCapWithALogLineAndKeepsThem) {
    const std::string longName = "Data/" + std::string(40, 'x') + ".dat";
    Put(longName, "the player's");
    Put("Data/short.dat", "obsolete");
    Publish({{L"a.dat", {"a"}}});
    EXPECT_EQ(Run(), STATE_IDLE);
    EXPECT_TRUE(view->Boxes().empty());
    EXPECT_EQ(Read(longName), "the player's");
    EXPECT_FALSE(Exists("Data/short.dat"));  // the rest was scanned
    EXPECT_NE(Log().find(L"Skipped (path too long): "), std::wstring::npos) << text::ToUtf8(Log());
}

TEST_F(PatchRun, NamesThatAreNotUtf8AreSkippedTheRestScannedAndPatched) {
    Put("bad\xff.dat", "raw bytes");
    Put("Data/b\xfe/x.dat", "raw folder");
    Put("Data/obsolete.dat", "gone");
    Put("a.dat", "old");
    Publish({{L"a.dat", {"a"}}});
    EXPECT_EQ(Run(), STATE_IDLE);
    EXPECT_TRUE(view->Boxes().empty());
    EXPECT_EQ(Read("a.dat"), "a");
    EXPECT_FALSE(Exists("Data/obsolete.dat"));
    EXPECT_EQ(Read("bad\xff.dat"), "raw bytes");
    EXPECT_EQ(Read("Data/b\xfe/x.dat"), "raw folder");
    EXPECT_NE(Log().find(L"Skipped (name is not UTF-8): "), std::wstring::npos);
    EXPECT_NE(Log().find(L"bad\\xFF.dat"), std::wstring::npos) << text::ToUtf8(Log());

    // The next rebuild is as clean: nothing fetched that is in place.
    dlg->OnBnClickedButtonRepair();
    for (int i = 0; i < 5000 && !(dlg->GetState() == STATE_IDLE && view->ButtonsEnabled()); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    EXPECT_TRUE(view->Boxes().empty());
    EXPECT_EQ(Fetches("a.dat"), 1);
}

TEST_F(PatchRun, AClientListTooLargeToBeRealIsRebuiltFromTheDisk) {
    Put("a.dat", "a");
    Put("packclit.lit", "");
    // Sparse: no disk space, but larger than any real install's list.
    ASSERT_EQ(truncate(Install("packclit.lit").c_str(), static_cast<off_t>(kMaxListBytes) + 2), 0);
    Publish({{L"a.dat", {"a"}}});
    EXPECT_EQ(Run(), STATE_IDLE);
    EXPECT_EQ(Fetches("a.dat"), 0);  // found on disk by the rebuild
    EXPECT_LT(std::filesystem::file_size(Install("packclit.lit")), 1000u);
}
