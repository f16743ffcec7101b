// Fetching ahead must not show: a run that fails at one file or fills the
// disk while later archives are fetched ends exactly as a run that fetches
// one file after another.
#include "patch_fixture.h"
#include "support/small_volume.h"

namespace {
// "f00.dat" to "f11.dat".
std::string Name(int i) {
    return (i < 10 ? "f0" : "f") + std::to_string(i) + ".dat";
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
    // Runs fetching ahead, then one file after another, each from an install
    // folder holding only an old f00.dat.
    std::pair<Outcome, Outcome> RunBothWays() {
        std::pair<Outcome, Outcome> result;
        for (bool ahead : {true, false}) {
            for (const auto& entry : std::filesystem::directory_iterator(Install("")))
                std::filesystem::remove_all(entry.path());
            Put("f00.dat", "old");
            CGameLauncherDlg::s_nUnzipGiveUps = 0;
            platform.m_prefetch = ahead;
            Outcome& o = ahead ? result.first : result.second;
            o = {Run(), Boxes(), FolderTree(root.Join(installFolder))};
            std::erase_if(o.files, [](const auto& file) { return file.first.starts_with("log"); });
        }
        return result;
    }
};

TEST_F(PrefetchRun, AFailureAtOneFileOrAFullDiskEndsAsTheSerialRun) {
    std::map<std::wstring, PatchFile> files;
    for (int i = 0; i < 12; ++i) files[text::FromUtf8(Name(i))] = {Noise(16 * 1024, i)};
    // Without a fault, fetched ahead or not, each archive is fetched once a run.
    Publish(files);
    {
        const auto [ahead, serial] = RunBothWays();
        EXPECT_EQ(ahead, serial);
        for (int i = 0; i < 12; ++i) EXPECT_EQ(Fetches(Name(i)), 2) << Name(i);
    }
    files[L"f05.dat"].listChecksum = std::string(32, 'f');  // fails its check
    Publish(files);
    auto LaterFetches = [this] {
        int count = 0;
        for (int i = 6; i < 12; ++i) count += Fetches(Name(i));
        return count;
    };
    struct Fault {
        const char* what;
        std::function<void()> set;
    };
    const Fault faults[] = {
        {"checksum", [] {}},
        {"download", [this] { server.SetStatus("/patch_qa/f05.dat.zip", 404); }},
        {"broken archive", [this] { root.WriteFile("server/patch_qa/f05.dat.zip", "not a zip"); }},
    };
    for (const Fault& fault : faults) {
        SCOPED_TRACE(fault.what);
        server.ClearFaults();
        // The file before the bad one comes slowly, so the later ones are in
        // before the bad one is reached.
        server.SetSlowBody("/patch_qa/f04.dat.zip", 1024, std::chrono::milliseconds(60));
        fault.set();
        const int laterBefore = LaterFetches();
        const auto [ahead, serial] = RunBothWays();
        EXPECT_EQ(ahead, serial);
        EXPECT_GE(LaterFetches() - laterBefore, 1);  // fetched ahead, then dropped
        EXPECT_FALSE(serial.files.count("f06.dat"));
        EXPECT_FALSE(serial.boxes.empty());
    }

    // The install folder on a small disk of its own (needs root), which the
    // serial run itself runs out of part-way.
    const SmallVolume small(Install(""), "1700k");
    if (!small.mounted()) GTEST_SKIP() << "no small volume (a tmpfs needs root)";
    server.ClearFaults();
    std::filesystem::remove_all(root.Join("server/patch_qa"));
    files.clear();
    for (int i = 0; i < 8; ++i) files[text::FromUtf8(Name(i))] = {Noise(300 * 1024, 100 + i)};
    Publish(files);
    const auto [ahead, serial] = RunBothWays();
    EXPECT_EQ(ahead, serial);
    ASSERT_FALSE(serial.boxes.empty());
    EXPECT_TRUE(serial.files.count("f00.dat"));
    EXPECT_FALSE(serial.files.count("f07.dat"));
}
