// Paths near the cap of the path buffers, names the list cannot spell, and
// client lists too large to be real.

#include "base/process_facts.h"
#include "patch_fixture.h"
#include "support/system_rules.h"

namespace {
// An install folder deep enough that a short relative path still fits the
// 259 characters of a path buffer and a longer one does not.
class DeepInstall : public PatchRun {
protected:
    // As deep on every system: the temporary folder's length is taken off.
    DeepInstall()
        : PatchRun(std::string(104 - std::filesystem::temp_directory_path().string().size(), 'i') + "/" +
                   std::string(100, 'j')) {}
};
}  // namespace

TEST_F(DeepInstall, PathsPastTheCapAreSkippedByTheScanAndReportedByTheUpdateNotFetched) {
    ASSERT_LT(Install("a.dat").size(), 240u);
    const std::string onDisk = "Data/" + std::string(40, 'x') + ".dat";
    const std::string listed = "Data/" + std::string(40, 'y') + ".dat";
    // A folder past the cap too: the scan goes past it, not into it.
    const std::string deep = "Data/" + std::string(40, 'z') + "/sub/bottom.dat";
    ASSERT_GT(Install(listed).size(), 259u);
    Put(onDisk, "the player's");
    Put(deep, "beyond the cap");
    Put("Data/short.dat", "obsolete");
    Publish({{text::FromUtf8("Data\\" + std::string(40, 'y') + ".dat"), {"long"}}, {L"a.dat", {"a"}}});
    EXPECT_EQ(Run(), STATE_END);

    // The scan kept what it could not list, with a log line, and went on.
    EXPECT_EQ(Read(onDisk), "the player's");
    EXPECT_EQ(Read(deep), "beyond the cap");
    EXPECT_FALSE(Exists("Data/short.dat"));
    EXPECT_NE(Log().find(L"Skipped (path too long): "), std::wstring::npos) << text::ToUtf8(Log());
    // The update reported the entry as a file it cannot write.
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0],
              text::FormatW(GetLauncherMessage(8), text::FromUtf8(fsys::SystemErrorText(ENAMETOOLONG)).c_str(),
                            ENAMETOOLONG, text::FromUtf8(Install(listed)).c_str()));
    EXPECT_EQ(Fetches(listed), 0);
    EXPECT_FALSE(std::filesystem::exists(Install(listed).substr(0, 259)));  // nor under a cut name
}

// A client list too large to be real is rebuilt from the disk, where names
// that are not UTF-8 are skipped and the rest scanned; an archive's URL may
// be longer than a path buffer.
TEST_F(PatchRun, OddNamesAndAListTooLargeToBeRealAreHandledByTheRebuild) {
    const bool raw = NamesMayBeRawBytes();
    if (raw) Put("bad\xff.dat", "raw bytes");
    if (raw) Put("Data/b\xfe/x.dat", "raw folder");
    Put("Data/obsolete.dat", "gone");
    Put("a.dat", "a");
    Put("packclit.lit", "");
    // Sparse: no disk space, but larger than any real install's list.
    std::filesystem::resize_file(Utf8Path(Install("packclit.lit")), kMaxListBytes + 2);
    // Percent-encoded, the name passes 259 characters; the local path does not.
    std::string name;
    for (int i = 0; i < 45; ++i) name += "\xc3\xa9";
    name += ".dat";
    const std::string accented = "Data/" + name;
    Publish({{L"a.dat", {"a"}}, {L"Data\\" + text::FromUtf8(name), {"accented"}}});
    for (int pass = 0; pass < 2; ++pass) {
        EXPECT_EQ(pass == 0 ? Run() : Repair(), STATE_IDLE);
        EXPECT_TRUE(Boxes().empty());
        EXPECT_EQ(Fetches("a.dat"), 0);  // found on disk by the rebuild
        EXPECT_EQ(Fetches(accented), 1);
    }
    EXPECT_EQ(Read(accented), "accented");
    EXPECT_LT(std::filesystem::file_size(Install("packclit.lit")), 1000u);
    EXPECT_FALSE(Exists("Data/obsolete.dat"));
    if (!raw) return;
    EXPECT_EQ(Read("bad\xff.dat"), "raw bytes");
    EXPECT_EQ(Read("Data/b\xfe/x.dat"), "raw folder");
    EXPECT_NE(Log().find(L"Skipped (name is not UTF-8): "), std::wstring::npos);
    EXPECT_NE(Log().find(L"bad\\xFF.dat"), std::wstring::npos) << text::ToUtf8(Log());
}
