// Remote path handling of the FTP transfer, and the listing's time column.
#include "services/ftp/ftp_remote_path.h"

#include <gtest/gtest.h>

#include "os/posix/ftp_list_time.h"

using namespace ftp_path;

TEST(FtpRemotePathTest, NormaliseCollapsesEveryRunOfSlashes) {
    EXPECT_EQ(Normalise(L"\\a\\\\b///c//"), L"/a/b/c/");
    EXPECT_EQ(Normalise(L"/2026127//x.zip"), L"/2026127/x.zip");
    EXPECT_EQ(Normalise(L""), L"");
    std::wstring text = L"aXbX";
    ReplaceAll(text, L"X", L"XX");  // a longer replacement is not matched again
    EXPECT_EQ(text, L"aXXbXX");
}

TEST(FtpRemotePathTest, FolderParts) {
    EXPECT_EQ(GetRemoteFolderPart(L"/2026127//x.zip"), L"/2026127//");
    EXPECT_EQ(GetRemoteFolderPart(L"/x.zip"), L"/");
    EXPECT_EQ(GetRemoteFolderPart(L"x.zip"), L"");
    EXPECT_EQ(FolderWithoutSlash(L"/2026127//"), L"/2026127");
    EXPECT_EQ(FolderWithoutSlash(L"/a/b"), L"/a");
    EXPECT_EQ(FolderWithoutSlash(L"/"), L"/");
    EXPECT_EQ(FolderWithoutSlash(L"/x.zip"), L"/");
}

TEST(FtpListTimeTest, RecentAndOlderEntries) {
    const time_t now = 1796662800;  // 2026-12-07 17:00 UTC
    EXPECT_EQ(ParseListTime("Dec 07 15:20", now), 1796656800);
    EXPECT_EQ(ParseListTime("Dec 31 10:00", now), 1767175200);  // in the future: last year
    EXPECT_EQ(ParseListTime("Jan 02  2020", now), 1577923200);
    EXPECT_EQ(ParseListTime("yesterday", now), 0);
}
