#pragma once
// MD5 message digest (RFC 1321) and its text form: 32 lower-case hex digits.
#include <cstddef>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <string>

class CMD5Checksum {
public:
    static constexpr size_t kTextChars = 32;  // the output buffer holds at least 33

    CMD5Checksum();
    virtual ~CMD5Checksum() = default;

    void Update(const uint8_t* input, size_t length);
    // Pads, appends the bit count and writes the digest text (terminated)
    // into `out`, which must hold 33 wide characters. Returns `out`.
    wchar_t* Final(wchar_t* out);

private:
    void Transform(const uint8_t block[64]);

    uint8_t m_buffer[64];
    uint32_t m_count[2];  // bits so far, low word first
    uint32_t m_state[4];
};

// Digest of everything readable from `stream` (read errors end the input
// like its end). False only when `stop` was raised on the way (checked
// between blocks, so a closing launcher does not wait for a large file);
// `out` is then empty.
bool ChecksumOfStream(wchar_t* out, FILE* stream, const std::atomic<bool>* stop = nullptr);
// Digest of a file; `path` may use "\" separators. False when the file cannot
// be opened or a read fails (a folder, an I/O error), errno telling why and
// `out` left empty; errno is ECANCELED when `stop` was raised.
bool ChecksumOfFile(wchar_t* out, const std::wstring& path, const std::atomic<bool>* stop = nullptr);
