// A 2,000-file patch with the launcher killed at random points, again and
// again: no file is ever torn, no list line names a file that is not whole,
// and a recorded file is never fetched again.

#include <random>

#include "launcher/list_file_format.h"
#include "launcher_fixture.h"

TEST_F(LauncherProcess, KilledAtRandomPointsRecordsOnlyWholeFilesAndFetchesNoneTwice) {
    constexpr int kFiles = 2000;
    constexpr int kKills = 30;
    std::map<std::wstring, PatchFile> files;
    std::map<std::string, std::string> published;  // install-relative path -> content
    for (int i = 0; i < kFiles; ++i) {
        const std::string folder = "D" + std::to_string(i % 20);
        const std::string name = "f" + std::to_string(i) + ".dat";
        std::string bytes(256 + (i * 37) % 3000, static_cast<char>('a' + i % 26));
        bytes += std::to_string(i);
        files[text::FromUtf8(folder + "\\" + name)] = {bytes};
        published[folder + "/" + name] = bytes;
    }
    WritePatchSet(root.Join("server/patch_qa"), files);
    auto fetchesOf = [&](const std::string& path) { return server.RequestCount("/patch_qa/" + path + ".zip"); };

    std::mt19937 random(2026);
    std::uniform_int_distribution<int> delayMs(30, 1800);
    std::map<std::string, int> recordedFetches;  // recorded at the last kill -> fetches then
    int kills = 0, completed = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(150);
    while (kills < kKills && std::chrono::steady_clock::now() < deadline) {
        auto run = Start({"QA", "FromUpdater"});
        const int status = run->Wait(delayMs(random));
        // A run that ended by itself without patching everything (another
        // test's game client stand-in on this machine) is simply run again.
        const bool finished = status == 0;
        if (status < 0) {
            run->Kill(SIGKILL);
            run->Wait();
            ++kills;
        }
        // Every file in place is whole; every listed one is in place.
        for (const auto& [path, bytes] : published) {
            if (!std::filesystem::exists(Install(path))) continue;
            ASSERT_EQ(ReadWholeFile(Install(path)), bytes) << path << " after kill " << kills;
        }
        PackFileList recorded;
        ReadListFile(text::FromUtf8(Install("packclit.lit")), recorded, true);
        for (const auto& [path, fetches] : recordedFetches)
            EXPECT_EQ(fetchesOf(path), fetches) << path << " recorded, fetched again before kill " << kills;
        recordedFetches.clear();
        for (const auto& entry : recorded) {
            std::string path = text::ToUtf8(entry->szPath);
            std::replace(path.begin(), path.end(), '\\', '/');
            ASSERT_TRUE(published.count(path)) << path;
            ASSERT_TRUE(std::filesystem::exists(Install(path))) << path << " listed, not in place";
            EXPECT_EQ(text::ToUtf8(entry->szChecksum.str()), Md5Of(published[path])) << path;
            recordedFetches[path] = fetchesOf(path);
        }
        if (!finished) continue;
        ++completed;
        EXPECT_EQ(recorded.size(), published.size()) << run->Output();
        // Once more from an empty install.
        for (int f = 0; f < 20; ++f) std::filesystem::remove_all(Install("D" + std::to_string(f)));
        std::filesystem::remove(Install("packclit.lit"));
        recordedFetches.clear();
    }
    EXPECT_EQ(kills, kKills) << completed << " runs patched everything";
}
