// Long work gives way to a stop request between blocks: a checksum of a
// large file and the unpacking of a large item end soon after it, leaving
// no half-written file.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <thread>

#include "util/text_util.h"
#include "launcher/md5_checksum.h"
#include "launcher/zip_extract.h"
#include "support/patch_set.h"
#include "support/temp_dir.h"

namespace {
using Clock = std::chrono::steady_clock;

// A temporary of an item being written, of at least `bytes`.
bool HasTemporary(const std::string& folder, uintmax_t bytes = 0) {
    std::error_code error;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder, error)) {
        if (entry.path().filename().string().find(".qtmp-") == std::string::npos) continue;
        if (std::filesystem::file_size(entry.path(), error) >= bytes && !error) return true;
    }
    return false;
}
}  // namespace

TEST(StopBetweenBlocks, ChecksumOfALargeFileEndsSoonAfterTheStop) {
    TempDir dir;
    // 16 GiB of holes: minutes of digest, no disk.
    dir.WriteFile("big.dat", "");
    ASSERT_EQ(truncate(dir.Join("big.dat").c_str(), 16ll << 30), 0);
    std::atomic<bool> stop{false};
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        stop = true;
    });
    const auto start = Clock::now();
    wchar_t out[40] = L"x";
    errno = 0;
    EXPECT_FALSE(ChecksumOfFile(out, dir.wpath() + L"/big.dat", &stop));
    EXPECT_EQ(errno, ECANCELED);
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(2));
    EXPECT_EQ(out[0], L'\0');
    stopper.join();

    // Not raised: the digest as without a flag.
    stop = false;
    dir.WriteFile("small.dat", "abc");
    EXPECT_TRUE(ChecksumOfFile(out, dir.wpath() + L"/small.dat", &stop));
    EXPECT_EQ(text::ToUtf8(out), "900150983cd24fb0d6963f7d28e17f72");
}

TEST(StopBetweenBlocks, UnpackingStopsInsideAnItemAndBeginsNoOther) {
    TempDir dir;
    std::filesystem::create_directories(dir.Join("install"));
    dir.WriteFile("install/b_big.dat", "old");
    WriteZip(
        dir.Join("a.zip"),
        {{"a_first.dat", "first"}, {"b_big.dat", std::string(128u << 20, '\0')}, {"c_last.dat", "last"}});
    std::atomic<bool> stop{false};
    std::atomic<bool> done{false};
    // Raised once the big item is being written.
    std::thread stopper([&] {
        while (!done && !stop) {
            if (HasTemporary(dir.Join("install"), 1u << 20)) stop = true;
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    });
    std::vector<ZipItemReport> items;
    EXPECT_TRUE(ExtractZipArchive(
        text::FromUtf8(dir.Join("a.zip")), dir.wpath() + L"/install",
        [&](const ZipItemReport& item) {
            items.push_back(item);
            return true;
        },
        &stop));
    done = true;
    stopper.join();
    ASSERT_TRUE(stop) << "the big item finished before the stop could be raised";
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].result, kZipOk);
    EXPECT_EQ(items[1].result, kZipOtherFailure);
    EXPECT_EQ(dir.ReadFile("install/a_first.dat"), "first");
    EXPECT_EQ(dir.ReadFile("install/b_big.dat"), "old");  // untouched, not torn
    EXPECT_FALSE(dir.Exists("install/c_last.dat"));
    EXPECT_FALSE(HasTemporary(dir.Join("install")));
}
