// A launcher killed in the middle of an update, and a full disk: nothing is
// lost and finished work is not done twice.
#include <sys/mount.h>

#include <fstream>
#include <random>
#include <thread>

#include "launcher/list_file_format.h"
#include "launcher_fixture.h"

TEST_F(LauncherProcess, KilledMidUpdateResumesWithoutFetchingFinishedFiles) {
    std::map<std::wstring, PatchFile> files;
    for (int i = 0; i < 6; ++i) files[L"f" + std::to_wstring(i) + L".dat"] = {std::string(1000 + i, 'a' + i)};
    files[L"z_slow.dat"] = {std::string(200000, 'z')};
    WritePatchSet(root.Join("server/patch_qa"), files);
    server.SetSlowBody("/patch_qa/z_slow.dat.zip", 16, std::chrono::milliseconds(50));

    auto first = Start({"QA", "FromUpdater"});
    // The slow file's archive is asked for early (fetched ahead); the kill
    // comes once the six before it are recorded.
    for (int i = 0; i < 1000; ++i) {
        PackFileList done;
        if (ReadListFile(text::FromUtf8(Install("packclit.lit")), done, true) && done.size() >= 6) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    first->Kill(SIGKILL);
    first->Wait();
    PackFileList recorded;
    ASSERT_TRUE(ReadListFile(text::FromUtf8(Install("packclit.lit")), recorded, true));
    EXPECT_EQ(recorded.size(), 6u);

    server.ClearFaults();
    auto second = Start({"QA", "FromUpdater"});
    EXPECT_EQ(second->Wait(), 0) << second->Output();
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(server.RequestCount("/patch_qa/f" + std::to_string(i) + ".dat.zip"), 1);
    }
    EXPECT_EQ(ReadWholeFile(Install("z_slow.dat")), std::string(200000, 'z'));
    recorded.clear();
    ASSERT_TRUE(ReadListFile(text::FromUtf8(Install("packclit.lit")), recorded));
    EXPECT_EQ(recorded.size(), 7u);  // compacted: one line per file
}

namespace {
// A small file system of its own for the install folder; needs root.
class SmallDisk {
public:
    SmallDisk(const std::string& path, const char* size) : m_path(path) {
        std::filesystem::create_directories(path);
        m_mounted = mount("tmpfs", path.c_str(), "tmpfs", 0, (std::string("size=") + size).c_str()) == 0;
    }
    ~SmallDisk() {
        if (m_mounted) umount2(m_path.c_str(), MNT_DETACH);
    }
    bool mounted() const { return m_mounted; }

private:
    std::string m_path;
    bool m_mounted = false;
};
}  // namespace

TEST_F(LauncherProcess, FullDiskIsReportedAndLosesNothing) {
    // Room for the launcher itself and about a megabyte more.
    const auto room = std::filesystem::file_size(LauncherBinary()) + (1u << 20);
    SmallDisk disk(root.Join("small"), std::to_string(room).c_str());
    if (!disk.mounted()) GTEST_SKIP() << "mounting a tmpfs needs root";
    std::filesystem::copy_file(LauncherBinary(), root.Join("small/QuonLauncher.exe"));
    std::ofstream(root.Join("small/keep.dat")) << "installed";

    // A download that does not fit: entry 13, at once.
    std::mt19937 random(7);
    std::string noise(3 << 20, '\0');
    for (char& c : noise) c = static_cast<char>(random());
    WritePatchSet(root.Join("server/patch_qa"), {{L"keep.dat", {"installed"}}, {L"big.dat", {noise}}});
    {
        ChildProcess run({root.Join("small/QuonLauncher.exe"), "QA", "FromUpdater"}, root.path(), Env());
        EXPECT_EQ(run.Wait(), 2);
        EXPECT_NE(run.Output().find("Failed to download the file from the lack of disk volume."), std::string::npos)
            << run.Output();
    }
    EXPECT_EQ(ReadWholeFile(root.Join("small/keep.dat")), "installed");

    // An archive that fits but whose content does not: entry 12 with LC_9999.
    std::filesystem::remove_all(root.Join("server/patch_qa"));
    WritePatchSet(root.Join("server/patch_qa"), {{L"keep.dat", {"installed"}}, {L"zeros.dat", {std::string(3 << 20, '\0')}}});
    {
        ChildProcess run({root.Join("small/QuonLauncher.exe"), "QA", "FromUpdater"}, root.path(), Env());
        EXPECT_EQ(run.Wait(), 2);
        EXPECT_NE(run.Output().find("Not enough disk volume.\nFailed to unzip.\nErrorCode : L_14\nCODE : LC_9999"),
                  std::string::npos)
            << run.Output();
    }
    EXPECT_EQ(ReadWholeFile(root.Join("small/keep.dat")), "installed");
    EXPECT_FALSE(std::filesystem::exists(root.Join("small/zeros.dat")));
    // Two give-ups end the run; no half-written file stays behind.
    EXPECT_EQ(server.RequestCount("/patch_qa/zeros.dat.zip"), 4);
    EXPECT_EQ(Leftovers(root.Join("small")), "");
}
