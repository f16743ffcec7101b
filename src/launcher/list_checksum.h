#pragma once
// The checksum field of a list entry. 32 lower-case hex digits, what every
// real list holds, are kept as the 16 bytes they spell; any other text (empty,
// blanks, an odd field read from a list) is kept as it stands. A list of tens
// of thousands of entries then holds no text per checksum, while the field
// still reads and compares as the text it was given.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

class ListChecksum {
public:
    ListChecksum() = default;
    ListChecksum(std::wstring_view text) { Assign(text); }
    ListChecksum(const std::wstring& text) { Assign(text); }
    ListChecksum(const wchar_t* text) { Assign(text); }
    ListChecksum(const ListChecksum& other);
    ListChecksum(ListChecksum&&) noexcept = default;
    ListChecksum& operator=(const ListChecksum& other);
    ListChecksum& operator=(ListChecksum&&) noexcept = default;

    bool empty() const { return !m_isDigest && !m_text; }
    size_t size() const { return m_isDigest ? 32 : m_text ? m_text->size() : 0; }
    void clear() { *this = ListChecksum(); }
    std::wstring str() const;
    operator std::wstring() const { return str(); }
    void AppendTo(std::wstring& out) const;
    size_t Hash() const;

    friend bool operator==(const ListChecksum& a, const ListChecksum& b);
    friend bool operator==(const ListChecksum& a, std::wstring_view b);
    friend bool operator==(const ListChecksum& a, const std::wstring& b) { return a == std::wstring_view(b); }
    friend bool operator==(const ListChecksum& a, const wchar_t* b) { return a == std::wstring_view(b); }

private:
    void Assign(std::wstring_view text);

    uint8_t m_digest[16] = {};
    bool m_isDigest = false;
    std::unique_ptr<std::wstring> m_text;  // any other non-empty text
};
