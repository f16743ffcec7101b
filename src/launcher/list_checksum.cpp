#include "launcher/list_checksum.h"

#include <cstring>
#include <functional>

namespace {
constexpr wchar_t kHex[] = L"0123456789abcdef";

int HexValue(wchar_t c) {
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    return -1;  // upper case too: it must read back as it was written
}
}  // namespace

ListChecksum::ListChecksum(const ListChecksum& other)
    : m_isDigest(other.m_isDigest),
      m_text(other.m_text ? std::make_unique<std::wstring>(*other.m_text) : nullptr) {
    std::memcpy(m_digest, other.m_digest, sizeof(m_digest));
}

ListChecksum& ListChecksum::operator=(const ListChecksum& other) {
    if (this != &other) *this = ListChecksum(other);
    return *this;
}

void ListChecksum::Assign(std::wstring_view text) {
    m_text.reset();
    m_isDigest = false;
    if (text.size() == 32) {
        bool digits = true;
        for (size_t i = 0; i < 16 && digits; ++i) {
            const int high = HexValue(text[2 * i]), low = HexValue(text[2 * i + 1]);
            digits = high >= 0 && low >= 0;
            m_digest[i] = static_cast<uint8_t>(high << 4 | low);
        }
        m_isDigest = digits;
        if (digits) return;
    }
    std::memset(m_digest, 0, sizeof(m_digest));
    if (!text.empty()) m_text = std::make_unique<std::wstring>(text);
}

void ListChecksum::AppendTo(std::wstring& out) const {
    if (m_text) out += *m_text;
    if (!m_isDigest) return;
    for (uint8_t byte : m_digest) {
        out += kHex[byte >> 4];
        out += kHex[byte & 0x0F];
    }
}

std::wstring ListChecksum::str() const {
    std::wstring text;
    AppendTo(text);
    return text;
}

size_t ListChecksum::Hash() const {
    if (m_text) return std::hash<std::wstring>()(*m_text);
    size_t hash = 0;
    std::memcpy(&hash, m_digest, sizeof(hash));
    return hash;
}

bool operator==(const ListChecksum& a, const ListChecksum& b) {
    if (a.m_isDigest != b.m_isDigest) return false;
    if (a.m_isDigest) return std::memcmp(a.m_digest, b.m_digest, sizeof(a.m_digest)) == 0;
    return a.m_text ? b.m_text && a.m_text->compare(*b.m_text) == 0 : !b.m_text;
}

bool operator==(const ListChecksum& a, std::wstring_view b) {
    if (!a.m_isDigest) return a.m_text ? std::wstring_view(*a.m_text).compare(b) == 0 : b.empty();
    if (b.size() != 32) return false;
    for (size_t i = 0; i < 16; ++i) {
        if (b[2 * i] != kHex[a.m_digest[i] >> 4] || b[2 * i + 1] != kHex[a.m_digest[i] & 0x0F]) return false;
    }
    return true;
}
