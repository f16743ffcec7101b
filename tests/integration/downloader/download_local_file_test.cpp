// Local files that cannot be written: the codes the launcher tells apart
// (a full disk is E_OUTOFMEMORY) and no temporary left behind.
#include <sys/mount.h>

#include <cerrno>
#include <cstring>

#include "downloader_fixture.h"

namespace {

// A small tmpfs mounted for one test; needs root (or CAP_SYS_ADMIN).
class TinyMount {
public:
    TinyMount(const std::string& folder, const char* options, unsigned long flags = 0) : m_folder(folder) {
        std::filesystem::create_directories(folder);
        if (mount("tmpfs", folder.c_str(), "tmpfs", flags, options) == 0) {
            m_mounted = true;
        } else {
            m_error = std::strerror(errno);
        }
    }
    ~TinyMount() {
        if (m_mounted) umount2(m_folder.c_str(), MNT_DETACH);
    }
    bool mounted() const { return m_mounted; }
    const std::string& error() const { return m_error; }

private:
    std::string m_folder;
    bool m_mounted = false;
    std::string m_error;
};

TEST_F(DownloaderTest, TargetFolderMissingOrNotAFolder) {
    m_served.WriteFile("a.bin", "a");
    m_local.WriteFile("plain", "a regular file");
    EXPECT_EQ(Fetch("a.bin", "missing/a.bin"), E_FAIL);
    EXPECT_EQ(Fetch("a.bin", "plain/a.bin"), E_FAIL);
    EXPECT_EQ(m_callback.stopResult, E_FAIL);
    std::filesystem::create_directories(m_local.Join("folder"));
    EXPECT_EQ(Fetch("a.bin", "folder"), E_FAIL) << "a folder is never replaced by a file";
    EXPECT_TRUE(std::filesystem::is_directory(m_local.Join("folder")));
    EXPECT_EQ(LocalEntries(), (std::vector<std::string>{"folder", "plain"}));
    EXPECT_EQ(m_server.TotalRequests(), 0) << "local failures are found before the network";
}

TEST_F(DownloaderTest, FullDiskIsOutOfMemory) {
    m_served.WriteFile("big.zip", RandomBytes(1 << 20));
    TinyMount disk(m_local.Join("disk"), "size=64k");
    if (!disk.mounted()) GTEST_SKIP() << "cannot mount a tmpfs: " << disk.error();
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Fetch("big.zip", "disk/big.zip"), E_OUTOFMEMORY);
    EXPECT_LT(SecondsSince(start), 1.0);
    EXPECT_EQ(m_callback.stopResult, E_OUTOFMEMORY);
    EXPECT_TRUE(std::filesystem::is_empty(m_local.Join("disk"))) << "the temporary must be removed";

    // Space freed, the same downloader succeeds.
    m_served.WriteFile("small.zip", "fits");
    EXPECT_EQ(Fetch("small.zip", "disk/small.zip"), S_OK);
    EXPECT_EQ(m_local.ReadFile("disk/small.zip"), "fits");
}

TEST_F(DownloaderTest, ReadOnlyFolderIsAccessDenied) {
    m_served.WriteFile("a.bin", "a");
    TinyMount disk(m_local.Join("ro"), "size=64k", MS_RDONLY);
    if (!disk.mounted()) GTEST_SKIP() << "cannot mount a tmpfs: " << disk.error();
    EXPECT_EQ(Fetch("a.bin", "ro/a.bin"), E_ACCESSDENIED);
    EXPECT_EQ(m_server.TotalRequests(), 0);
}

}  // namespace
