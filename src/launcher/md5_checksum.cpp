#include "launcher/md5_checksum.h"

#include <cerrno>
#include <cstring>
#include <memory>

#include "util/path_util.h"
#include "base/file_system.h"

namespace {

inline uint32_t Rotl(uint32_t x, int s) {
    return (x << s) | (x >> (32 - s));
}

inline uint32_t LoadLE32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
#if __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    v = __builtin_bswap32(v);
#endif
    return v;
}

inline void StoreLE32(uint8_t* p, uint32_t v) {
#if __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    v = __builtin_bswap32(v);
#endif
    std::memcpy(p, &v, 4);
}

}  // namespace

// The round steps add the message word and the constant first and the round
// function last, so only the last one or two operations wait for `b`: MD5 is
// bound by that dependency chain, not by the number of instructions.
#define MD5_F(a, b, c, d, x, s, t)  \
    a += (x) + (t);                 \
    a += (d) ^ ((b) & ((c) ^ (d))); \
    a = Rotl(a, s) + (b)
#define MD5_G(a, b, c, d, x, s, t) \
    a += (x) + (t);                \
    a += (c) & ~(d);               \
    a += (b) & (d);                \
    a = Rotl(a, s) + (b)
#define MD5_H(a, b, c, d, x, s, t) \
    a += (x) + (t);                \
    a += (b) ^ ((c) ^ (d));        \
    a = Rotl(a, s) + (b)
#define MD5_I(a, b, c, d, x, s, t) \
    a += (x) + (t);                \
    a += (c) ^ ((b) | ~(d));       \
    a = Rotl(a, s) + (b)

CMD5Checksum::CMD5Checksum()
    : m_buffer{}, m_count{0, 0}, m_state{0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476} {}

void CMD5Checksum::Transform(const uint8_t block[64]) {
    uint32_t x[16];
    for (int i = 0; i < 16; ++i) x[i] = LoadLE32(block + 4 * i);
    uint32_t a = m_state[0], b = m_state[1], c = m_state[2], d = m_state[3];

    MD5_F(a, b, c, d, x[0], 7, 0xd76aa478);
    MD5_F(d, a, b, c, x[1], 12, 0xe8c7b756);
    MD5_F(c, d, a, b, x[2], 17, 0x242070db);
    MD5_F(b, c, d, a, x[3], 22, 0xc1bdceee);
    MD5_F(a, b, c, d, x[4], 7, 0xf57c0faf);
    MD5_F(d, a, b, c, x[5], 12, 0x4787c62a);
    MD5_F(c, d, a, b, x[6], 17, 0xa8304613);
    MD5_F(b, c, d, a, x[7], 22, 0xfd469501);
    MD5_F(a, b, c, d, x[8], 7, 0x698098d8);
    MD5_F(d, a, b, c, x[9], 12, 0x8b44f7af);
    MD5_F(c, d, a, b, x[10], 17, 0xffff5bb1);
    MD5_F(b, c, d, a, x[11], 22, 0x895cd7be);
    MD5_F(a, b, c, d, x[12], 7, 0x6b901122);
    MD5_F(d, a, b, c, x[13], 12, 0xfd987193);
    MD5_F(c, d, a, b, x[14], 17, 0xa679438e);
    MD5_F(b, c, d, a, x[15], 22, 0x49b40821);

    MD5_G(a, b, c, d, x[1], 5, 0xf61e2562);
    MD5_G(d, a, b, c, x[6], 9, 0xc040b340);
    MD5_G(c, d, a, b, x[11], 14, 0x265e5a51);
    MD5_G(b, c, d, a, x[0], 20, 0xe9b6c7aa);
    MD5_G(a, b, c, d, x[5], 5, 0xd62f105d);
    MD5_G(d, a, b, c, x[10], 9, 0x02441453);
    MD5_G(c, d, a, b, x[15], 14, 0xd8a1e681);
    MD5_G(b, c, d, a, x[4], 20, 0xe7d3fbc8);
    MD5_G(a, b, c, d, x[9], 5, 0x21e1cde6);
    MD5_G(d, a, b, c, x[14], 9, 0xc33707d6);
    MD5_G(c, d, a, b, x[3], 14, 0xf4d50d87);
    MD5_G(b, c, d, a, x[8], 20, 0x455a14ed);
    MD5_G(a, b, c, d, x[13], 5, 0xa9e3e905);
    MD5_G(d, a, b, c, x[2], 9, 0xfcefa3f8);
    MD5_G(c, d, a, b, x[7], 14, 0x676f02d9);
    MD5_G(b, c, d, a, x[12], 20, 0x8d2a4c8a);

    MD5_H(a, b, c, d, x[5], 4, 0xfffa3942);
    MD5_H(d, a, b, c, x[8], 11, 0x8771f681);
    MD5_H(c, d, a, b, x[11], 16, 0x6d9d6122);
    MD5_H(b, c, d, a, x[14], 23, 0xfde5380c);
    MD5_H(a, b, c, d, x[1], 4, 0xa4beea44);
    MD5_H(d, a, b, c, x[4], 11, 0x4bdecfa9);
    MD5_H(c, d, a, b, x[7], 16, 0xf6bb4b60);
    MD5_H(b, c, d, a, x[10], 23, 0xbebfbc70);
    MD5_H(a, b, c, d, x[13], 4, 0x289b7ec6);
    MD5_H(d, a, b, c, x[0], 11, 0xeaa127fa);
    MD5_H(c, d, a, b, x[3], 16, 0xd4ef3085);
    MD5_H(b, c, d, a, x[6], 23, 0x04881d05);
    MD5_H(a, b, c, d, x[9], 4, 0xd9d4d039);
    MD5_H(d, a, b, c, x[12], 11, 0xe6db99e5);
    MD5_H(c, d, a, b, x[15], 16, 0x1fa27cf8);
    MD5_H(b, c, d, a, x[2], 23, 0xc4ac5665);

    MD5_I(a, b, c, d, x[0], 6, 0xf4292244);
    MD5_I(d, a, b, c, x[7], 10, 0x432aff97);
    MD5_I(c, d, a, b, x[14], 15, 0xab9423a7);
    MD5_I(b, c, d, a, x[5], 21, 0xfc93a039);
    MD5_I(a, b, c, d, x[12], 6, 0x655b59c3);
    MD5_I(d, a, b, c, x[3], 10, 0x8f0ccc92);
    MD5_I(c, d, a, b, x[10], 15, 0xffeff47d);
    MD5_I(b, c, d, a, x[1], 21, 0x85845dd1);
    MD5_I(a, b, c, d, x[8], 6, 0x6fa87e4f);
    MD5_I(d, a, b, c, x[15], 10, 0xfe2ce6e0);
    MD5_I(c, d, a, b, x[6], 15, 0xa3014314);
    MD5_I(b, c, d, a, x[13], 21, 0x4e0811a1);
    MD5_I(a, b, c, d, x[4], 6, 0xf7537e82);
    MD5_I(d, a, b, c, x[11], 10, 0xbd3af235);
    MD5_I(c, d, a, b, x[2], 15, 0x2ad7d2bb);
    MD5_I(b, c, d, a, x[9], 21, 0xeb86d391);

    m_state[0] += a;
    m_state[1] += b;
    m_state[2] += c;
    m_state[3] += d;
}

#undef MD5_F
#undef MD5_G
#undef MD5_H
#undef MD5_I

void CMD5Checksum::Update(const uint8_t* input, size_t length) {
    size_t index = (m_count[0] >> 3) & 0x3F;
    // The bit count is 64 bits wide, kept as two words with a carry.
    uint64_t bits =
        (static_cast<uint64_t>(m_count[1]) << 32 | m_count[0]) + (static_cast<uint64_t>(length) << 3);
    m_count[0] = static_cast<uint32_t>(bits);
    m_count[1] = static_cast<uint32_t>(bits >> 32);

    size_t i = 0;
    const size_t partLen = 64 - index;
    if (length >= partLen) {
        if (index != 0) {
            std::memcpy(m_buffer + index, input, partLen);
            Transform(m_buffer);
            i = partLen;
        }
        for (; i + 64 <= length; i += 64) Transform(input + i);
        index = 0;
    }
    if (i < length) std::memcpy(m_buffer + index, input + i, length - i);
}

wchar_t* CMD5Checksum::Final(wchar_t* out) {
    uint8_t bits[8];
    StoreLE32(bits, m_count[0]);
    StoreLE32(bits + 4, m_count[1]);
    static const uint8_t kPadding[64] = {0x80};
    const size_t index = (m_count[0] >> 3) & 0x3F;
    const size_t padLen = index < 56 ? 56 - index : 120 - index;
    Update(kPadding, padLen);
    Update(bits, 8);

    uint8_t digest[16];
    for (int i = 0; i < 4; ++i) StoreLE32(digest + 4 * i, m_state[i]);
    static const wchar_t kHex[] = L"0123456789abcdef";
    for (int i = 0; i < 16; ++i) {
        out[2 * i] = kHex[digest[i] >> 4];
        out[2 * i + 1] = kHex[digest[i] & 0x0F];
    }
    out[kTextChars] = L'\0';
    // A digest object must not be reused; clear what it saw.
    std::memset(m_buffer, 0, sizeof(m_buffer));
    return out;
}

bool ChecksumOfStream(wchar_t* out, FILE* stream, const std::atomic<bool>* stop) {
    CMD5Checksum md5;
    uint8_t piece[1024];
    constexpr unsigned kPiecesBetweenStopChecks = 256;  // 256 KiB
    for (unsigned pieces = 0;; ++pieces) {
        if (stop && pieces % kPiecesBetweenStopChecks == 0 && stop->load(std::memory_order_relaxed)) {
            out[0] = L'\0';
            return false;
        }
        size_t n = fread(piece, 1, sizeof(piece), stream);
        if (n == 0) break;
        md5.Update(piece, n);
    }
    md5.Final(out);
    return true;
}

bool ChecksumOfFile(wchar_t* out, const std::wstring& path, const std::atomic<bool>* stop) {
    out[0] = L'\0';
    fsys::File file;
    if (!file.Open(NativePath(path), fsys::File::Mode::kRead)) return false;
    // Straight into one buffer per thread, reused: no stream object and no
    // copy through a stream buffer per file, which a scan of many small files
    // would pay for every one. 128 KiB stays in the core's cache between the
    // system's copy and the digest.
    static constexpr size_t kBlock = 128 * 1024;
    thread_local std::unique_ptr<uint8_t[]> buffer(new uint8_t[kBlock]);
    const auto fail = [&file](int error) {
        file.Close();
        errno = error;
        return false;
    };
    CMD5Checksum md5;
    for (;;) {
        if (stop && stop->load(std::memory_order_relaxed)) return fail(ECANCELED);
        const int64_t n = file.Read(buffer.get(), kBlock);
        // A failed read (an I/O error) must not pass for the digest of the
        // bytes read before it.
        if (n < 0) return fail(errno);
        if (n == 0) break;
        md5.Update(buffer.get(), static_cast<size_t>(n));
    }
    md5.Final(out);
    return true;
}
