#include "launcher/md5_checksum.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "support/temp_dir.h"

namespace {

std::wstring Digest(const std::string& bytes) {
    CMD5Checksum md5;
    md5.Update(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    wchar_t out[260] = {};
    md5.Final(out);
    return out;
}

std::wstring FileDigest(const TempDir& dir, const std::string& name, const std::string& bytes) {
    dir.WriteFile(name, bytes);
    wchar_t out[260] = {};
    EXPECT_TRUE(ChecksumOfFile(out, dir.wpath() + L"/" + std::wstring(name.begin(), name.end())));
    return out;
}

TEST(Md5Checksum, Rfc1321TestSuite) {
    EXPECT_EQ(Digest(""), L"d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(Digest("a"), L"0cc175b9c0f1b6a831c399e269772661");
    EXPECT_EQ(Digest("abc"), L"900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(Digest("message digest"), L"f96b697d7cb7938d525a2f31aaf161d0");
    EXPECT_EQ(Digest("abcdefghijklmnopqrstuvwxyz"), L"c3fcd3d76192e4007dfb496cca67e13b");
    EXPECT_EQ(Digest("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"),
              L"d174ab98d277d9f5a5611c2c9f419d9f");
    EXPECT_EQ(Digest("1234567890123456789012345678901234567890123456789012345678901234567890123456789"
                     "0"),
              L"57edf4a22be3c955ac49da2e2107b67a");
}

TEST(Md5Checksum, PaddingBoundaries) {
    // 55 bytes fit one padded block, 56 and 64 need a second one.
    EXPECT_EQ(Digest(std::string(55, 'a')), L"ef1772b6dff9a122358552954ad0df65");
    EXPECT_EQ(Digest(std::string(56, 'a')), L"3b0c8ac703f828b04c6c197006d17218");
    EXPECT_EQ(Digest(std::string(63, 'a')), L"b06521f39153d618550606be297466d5");
    EXPECT_EQ(Digest(std::string(64, 'a')), L"014842d480b571495a4a0363793f7367");
    EXPECT_EQ(Digest(std::string(65, 'a')), L"c743a45e0d2e6a95cb859adae0248435");
}

TEST(Md5Checksum, PiecewiseUpdateEqualsOneUpdate) {
    std::string data;
    for (int i = 0; i < 5000; ++i) data += static_cast<char>((i * 131 + 7) & 0xFF);
    const std::wstring whole = Digest(data);
    for (size_t piece : {1u, 3u, 63u, 64u, 65u, 1000u}) {
        CMD5Checksum md5;
        for (size_t at = 0; at < data.size(); at += piece) {
            size_t n = std::min(piece, data.size() - at);
            md5.Update(reinterpret_cast<const uint8_t*>(data.data() + at), n);
        }
        wchar_t out[33];
        EXPECT_EQ(std::wstring(md5.Final(out)), whole) << "pieces of " << piece;
    }
}

TEST(Md5Checksum, FinalWritesExactly32DigitsAndATerminator) {
    wchar_t out[40];
    std::fill(std::begin(out), std::end(out), L'#');
    CMD5Checksum md5;
    md5.Final(out);
    EXPECT_EQ(out[32], L'\0');
    EXPECT_EQ(out[33], L'#');
}

TEST(Md5ChecksumOfFile, FilesOfBoundarySizes) {
    TempDir dir;
    EXPECT_EQ(FileDigest(dir, "empty", ""), L"d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(FileDigest(dir, "abc", "abc"), L"900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(FileDigest(dir, "56", std::string(56, 'a')), L"3b0c8ac703f828b04c6c197006d17218");
    EXPECT_EQ(FileDigest(dir, "64", std::string(64, 'a')), L"014842d480b571495a4a0363793f7367");
    // Several read blocks and a part of one.
    std::string big;
    for (uint32_t i = 0; i < 600001; ++i) big += static_cast<char>((i * 7919u) >> 3);
    EXPECT_EQ(FileDigest(dir, "big", big), Digest(big));
}

TEST(Md5ChecksumOfFile, BackslashPathsAreFolders) {
    TempDir dir;
    dir.WriteFile("Data/Map/a.dat", "abc");
    wchar_t out[260] = {};
    ASSERT_TRUE(ChecksumOfFile(out, dir.wpath() + L"\\Data\\Map\\a.dat"));
    EXPECT_STREQ(out, L"900150983cd24fb0d6963f7d28e17f72");
}

TEST(Md5ChecksumOfFile, MissingFileFailsWithErrno) {
    TempDir dir;
    wchar_t out[260] = {};
    errno = 0;
    EXPECT_FALSE(ChecksumOfFile(out, dir.wpath() + L"/missing.dat"));
    EXPECT_EQ(errno, ENOENT);
    EXPECT_EQ(out[0], L'\0');
}

TEST(Md5ChecksumOfFile, AFolderIsNotAnEmptyFile) {
    TempDir dir;
    dir.WriteFile("Data/a.dat", "x");
    wchar_t out[260] = {};
    errno = 0;
    EXPECT_FALSE(ChecksumOfFile(out, dir.wpath() + L"\\Data"));
    EXPECT_EQ(errno, EISDIR);
    EXPECT_EQ(out[0], L'\0');
}

TEST(Md5ChecksumOfStream, DigestsFromTheCurrentPosition) {
    TempDir dir;
    dir.WriteFile("f", "xxabc");
    FILE* f = fopen(dir.Join("f").c_str(), "rb");
    ASSERT_NE(f, nullptr);
    fseek(f, 2, SEEK_SET);
    wchar_t out[260] = {};
    EXPECT_TRUE(ChecksumOfStream(out, f));
    fclose(f);
    EXPECT_STREQ(out, L"900150983cd24fb0d6963f7d28e17f72");
}

}  // namespace
