// Fetching ahead must not show: a run that fails at one file, is closed, or
// fills the disk while later archives are fetched ends exactly as a run that
// fetches one file after another.
#include <sys/mount.h>

#include <cstdio>
#include <map>
#include <random>

#include "patch_fixture.h"

namespace {
using Clock = std::chrono::steady_clock;

std::string Noise(size_t bytes, unsigned seed) {
    std::mt19937 random(seed);
    std::string out(bytes, '\0');
    for (char& c : out) c = static_cast<char>(random());
    return out;
}

std::string NameA(int i) {
    char name[16];
    std::snprintf(name, sizeof name, "f%02d.dat", i);
    return name;
}
std::wstring Name(int i) {
    return text::FromUtf8(NameA(i));
}

// What a run leaves: its end state, what the player was told, and every file
// of the install folder with its content (the launcher log aside: it names
// the time).
struct Outcome {
    int32_t state;
    std::vector<std::wstring> boxes;
    std::map<std::string, std::string> files;
    bool operator==(const Outcome&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Outcome& o) {
    out << "state " << o.state << ", boxes:";
    for (const auto& box : o.boxes) out << " [" << text::ToUtf8(box) << "]";
    out << ", files:";
    for (const auto& [name, bytes] : o.files) out << " " << name << "(" << bytes.size() << ")";
    return out;
}
}  // namespace

class PrefetchRun : public PatchRun {
protected:
    Outcome Snapshot(int32_t state) {
        Outcome o{state, view->Boxes(), {}};
        const std::filesystem::path top = Install("");
        for (const auto& entry : std::filesystem::recursive_directory_iterator(top)) {
            const std::string relative = std::filesystem::relative(entry.path(), top).string();
            if (relative.rfind("log", 0) == 0 || relative == "QuonLauncher.exe") continue;
            o.files[relative] = entry.is_regular_file() ? ReadWholeFile(entry.path().string()) : "<folder>";
        }
        return o;
    }
    // Runs once fetching ahead and once one file after another, from the
    // same install folder content.
    std::pair<Outcome, Outcome> RunBothWays(const std::function<void()>& prepare) {
        std::pair<Outcome, Outcome> result;
        for (bool ahead : {true, false}) {
            for (const auto& entry : std::filesystem::directory_iterator(Install("")))
                std::filesystem::remove_all(entry.path());
            prepare();
            CGameLauncherDlg::s_nUnzipGiveUps = 0;
            platform.m_prefetch = ahead;
            const int32_t state = Run();
            (ahead ? result.first : result.second) = Snapshot(state);
        }
        return result;
    }
};

TEST_F(PrefetchRun, AFailureAtOneFileEndsAsTheSerialRunWithLaterFilesAlreadyFetched) {
    std::map<std::wstring, PatchFile> files;
    for (int i = 0; i < 12; ++i) files[Name(i)] = {Noise(16 * 1024, i)};
    auto LaterFetches = [this] {
        int count = 0;
        for (int i = 6; i < 12; ++i) count += Fetches(NameA(i));
        return count;
    };
    files[Name(5)].listChecksum = std::string(32, 'f');  // fails its check
    Publish(files);
    struct Fault {
        const char* what;
        std::function<void()> set;
    };
    const Fault faults[] = {
        {"checksum", [] {}},
        {"download", [this] { server->SetStatus("/patch_qa/f05.dat.zip", 404); }},
        {"broken archive", [this] { root.WriteFile("server/patch_qa/f05.dat.zip", "not a zip"); }},
    };
    for (const Fault& fault : faults) {
        SCOPED_TRACE(fault.what);
        server->ClearFaults();
        // The file before the bad one comes slowly, so the later ones are in
        // before the bad one is reached.
        server->SetSlowBody("/patch_qa/f04.dat.zip", 1024, std::chrono::milliseconds(60));
        fault.set();
        const int laterBefore = LaterFetches();
        const auto [ahead, serial] = RunBothWays([this] { Put("f00.dat", "old"); });
        EXPECT_EQ(ahead, serial);
        EXPECT_GE(LaterFetches() - laterBefore, 1);  // fetched ahead, then dropped
        EXPECT_FALSE(serial.files.count("f06.dat"));
        EXPECT_FALSE(serial.boxes.empty());
    }
}

TEST_F(PrefetchRun, ACloseWhileLaterArchivesAreFetchedEndsWithin2sAndLeavesNoTornFile) {
    std::map<std::wstring, PatchFile> files;
    for (int i = 0; i < 8; ++i) files[Name(i)] = {Noise(256 * 1024, i)};
    Publish(files);
    server->SetSlowBody("/patch_qa/f01.dat.zip", 16 * 1024, std::chrono::milliseconds(50));
    for (int i = 2; i < 8; ++i) server->StallAfter("/patch_qa/" + NameA(i) + ".zip", 100 * 1024);

    view = std::make_unique<RecordingView>();
    dlg = std::make_unique<CGameLauncherDlg>(platform, *view,
                                             std::vector<std::wstring>{exe, L"QA", L"FromUpdater"});
    ASSERT_TRUE(dlg->OnInitDialog());
    const auto deadline = Clock::now() + std::chrono::seconds(20);
    while (Fetches("f05.dat") == 0 && Clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_GE(Fetches("f05.dat"), 1);
    EXPECT_TRUE(Exists("Temp/.prefetch"));

    const auto closing = Clock::now();
    view->Close();
    dlg->OnDestroy();
    EXPECT_LT(Clock::now() - closing, std::chrono::seconds(2));
    EXPECT_FALSE(dlg->IsWorkerRunning());
    dlg.reset();
    // Every file is the old one or the whole new one; nothing fetched ahead stays.
    EXPECT_FALSE(Exists("Temp/.prefetch"));
    for (const auto& entry : std::filesystem::recursive_directory_iterator(Install(""))) {
        EXPECT_EQ(entry.path().filename().string().find(".qtmp-"), std::string::npos) << entry.path();
    }
    for (int i = 0; i < 8; ++i) {
        const std::string name = NameA(i);
        if (Exists(name)) {
            EXPECT_EQ(Read(name), files[Name(i)].content) << name;
        }
    }
    EXPECT_FALSE(Exists("f05.dat"));
}

TEST_F(PrefetchRun, AFullDiskWhileFetchingAheadEndsAsTheSerialRun) {
    // The install folder on a small disk of its own; needs root.
    const std::string folder = Install("");
    if (mount("tmpfs", folder.c_str(), "tmpfs", 0, "size=1700k") != 0)
        GTEST_SKIP() << "mounting a tmpfs needs root";
    struct Unmount {
        std::string path;
        ~Unmount() { umount2(path.c_str(), MNT_DETACH); }
    } unmount{folder};

    std::map<std::wstring, PatchFile> files;
    for (int i = 0; i < 8; ++i) files[Name(i)] = {Noise(300 * 1024, 100 + i)};
    Publish(files);
    const auto [ahead, serial] = RunBothWays([] {});
    EXPECT_EQ(ahead, serial);
    // The serial run itself runs out of room part-way.
    ASSERT_FALSE(serial.boxes.empty());
    EXPECT_TRUE(serial.files.count("f00.dat"));
    EXPECT_FALSE(serial.files.count("f07.dat"));
}
