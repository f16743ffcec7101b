#include "launcher/md5_checksum.h"

#include "support/test_common.h"

namespace {

// The digest of `bytes` handed over in pieces of `piece` bytes.
std::wstring Digest(const std::string& bytes, size_t piece = SIZE_MAX) {
    CMD5Checksum md5;
    for (size_t at = 0; at < bytes.size(); at += piece)
        md5.Update(reinterpret_cast<const uint8_t*>(bytes.data() + at), std::min(piece, bytes.size() - at));
    wchar_t out[40];
    std::fill(std::begin(out), std::end(out), L'#');
    md5.Final(out);
    EXPECT_EQ(out[33], L'#');  // 32 digits and a terminator, nothing more
    return out;
}

TEST(Md5Checksum, KnownDigestsAcrossThePaddingBoundaries) {
    // RFC 1321's suite; 55 bytes fit one padded block, 56 and 64 need a second one.
    for (auto [bytes, digest] :
         {std::pair<std::string, std::wstring>{"", L"d41d8cd98f00b204e9800998ecf8427e"},
          {"abc", L"900150983cd24fb0d6963f7d28e17f72"},
          {std::string(55, 'a'), L"ef1772b6dff9a122358552954ad0df65"},
          {std::string(56, 'a'), L"3b0c8ac703f828b04c6c197006d17218"},
          {std::string(63, 'a'), L"b06521f39153d618550606be297466d5"},
          {std::string(64, 'a'), L"014842d480b571495a4a0363793f7367"},
          {std::string(65, 'a'), L"c743a45e0d2e6a95cb859adae0248435"}}) {
        EXPECT_EQ(Digest(bytes), digest) << bytes.size();
        EXPECT_EQ(Digest(bytes, 1), digest) << bytes.size();
    }
    std::string data;
    for (int i = 0; i < 5000; ++i) data += static_cast<char>((i * 131 + 7) & 0xFF);
    for (size_t piece : {3u, 63u, 64u, 65u, 1000u}) EXPECT_EQ(Digest(data, piece), Digest(data)) << piece;
}

}  // namespace
