#include "launcher/list_file_format.h"

#include <algorithm>
#include <array>
#include <limits>
#include <unordered_set>

#include "util/text_util.h"

namespace {

constexpr size_t kLinePieceChars = 259;  // a 260-character line buffer
constexpr size_t kGuardLineChars = 255;

// Characters with a meaning of their own to SplitFields (the separator aside).
constexpr auto kSpecial = [] {
    std::array<bool, 128> special{};
    for (char c : {'\t', '\b', '\r', '\n', '[', ']', '"', '`'}) special[static_cast<unsigned char>(c)] = true;
    return special;
}();

bool IsBlankOrDropped(wchar_t c) {
    return c == L' ' || c == L'\t' || c == L'\b' || c == L'\r' || c == L'\n';
}

// Calls `onPiece` for every piece of at most `maxChars` characters (the LF
// counted) that a line-by-line reader with that buffer would deliver, each cut
// at its first NUL as a C string would be.
template <typename F>
void ForEachPiece(std::wstring_view text, size_t maxChars, F&& onPiece) {
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = std::min(text.size(), pos + maxChars);
        // Only within the piece: a search to the end of a text without line
        // ends made every piece cost the whole text.
        const size_t lf = text.substr(pos, end - pos).find(L'\n');
        if (lf != std::wstring_view::npos) end = pos + lf + 1;
        std::wstring_view piece = text.substr(pos, end - pos);
        size_t nul = piece.find(L'\0');
        if (nul != std::wstring_view::npos) piece = piece.substr(0, nul);
        if (!onPiece(piece)) return;
        pos = end;
    }
}

void KeepLastOfEachPath(PackFileList& entries) {
    std::unordered_set<std::wstring_view> seen;
    PackFileList kept;
    kept.reserve(entries.size());
    for (size_t i = entries.size(); i-- > 0;) {
        if (seen.insert(entries[i]->szPath).second) kept.push_back(std::move(entries[i]));
    }
    std::reverse(kept.begin(), kept.end());
    entries.swap(kept);
}

void AppendDecimal(std::wstring& out, int32_t value, size_t width) {
    wchar_t digits[12];
    size_t n = 0;
    int64_t v = value;
    bool negative = v < 0;
    if (negative) v = -v;
    do {
        digits[n++] = static_cast<wchar_t>(L'0' + v % 10);
        v /= 10;
    } while (v != 0);
    if (negative) digits[n++] = L'-';
    if (n < width) out.append(width - n, L' ');
    while (n > 0) out += digits[--n];
}

void AppendFormattedLine(std::wstring& out, const PackFileInfo& entry) {
    AppendDecimal(out, entry.nFileSize, 10);
    out += L'|';
    AppendDecimal(out, entry.nDownloadSize, 10);
    out += L'|';
    entry.szChecksum.AppendTo(out);
    if (entry.szChecksum.size() < 32) out.append(32 - entry.szChecksum.size(), L' ');
    out += L'|';
    out += entry.szPath;
    out += L'\n';
}

// With `dropLineEnds`, CR and LF are taken out of the line first, as the
// list reader does before it splits.
int SplitFieldsImpl(std::wstring_view line, wchar_t separator, ListFieldTable& table, bool dropLineEnds) {
    std::fill(std::begin(table.lengths), std::end(table.lengths), 0);
    auto isLineEnd = [dropLineEnds](wchar_t c) { return dropLineEnds && (c == L'\r' || c == L'\n'); };
    size_t i = 0;
    while (i < line.size() && (line[i] == L' ' || isLineEnd(line[i]))) ++i;
    int slot = 0;
    wchar_t* field = table.slots[0];
    size_t len = 0;  // of the current field, stored in the table when it ends
    bool inGroup = false;
    for (; i < line.size(); ++i) {
        const wchar_t c = line[i];
        // Most characters are plain text: store them without the rules below.
        if (c != separator && (static_cast<uint32_t>(c) >= 128 || !kSpecial[c])) {
            if (len < ListFieldTable::kSlotChars) field[len++] = c;
            continue;
        }
        if (c == L'\t' || c == L'\b' || isLineEnd(c)) continue;
        if (!inGroup && c == separator) {
            table.lengths[slot] = len;
            // Fields after the last slot are dropped; the count stops there.
            if (++slot == ListFieldTable::kSlots) return slot;
            field = table.slots[slot];
            len = 0;
            continue;
        }
        if (!inGroup && (c == L'[' || c == L'"' || c == L'`')) {
            inGroup = true;
        } else if (inGroup && (c == L']' || c == L'"' || c == L'`')) {
            inGroup = false;
        }
        if (c == L'`') continue;
        if (len < ListFieldTable::kSlotChars) field[len++] = c;
    }
    table.lengths[slot] = len;
    // A last field left empty (the line ends in the separator) is not counted.
    return len > 0 ? slot + 1 : slot;
}

}  // namespace

int SplitFields(std::wstring_view line, wchar_t separator, ListFieldTable& table) {
    return SplitFieldsImpl(line, separator, table, false);
}

int32_t ParseListNumber(std::wstring_view text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == L' ' || (text[i] >= L'\t' && text[i] <= L'\r'))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) negative = text[i++] == L'-';
    int64_t value = 0;
    constexpr int64_t kLimit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
        value = std::min(value * 10 + (text[i] - L'0'), kLimit);
    }
    if (negative) return static_cast<int32_t>(-value);
    return static_cast<int32_t>(std::min<int64_t>(value, std::numeric_limits<int32_t>::max()));
}

bool ParseListLine(std::wstring_view line, PackFileInfo& entry) {
    if (std::all_of(line.begin(), line.end(), IsBlankOrDropped)) return false;
    ListFieldTable table;
    const int count = SplitFieldsImpl(line, L'|', table, true);
    if (count < 1) return false;
    entry = PackFileInfo{};
    entry.nFileSize = ParseListNumber(table.Field(0));
    if (count >= 2) entry.nDownloadSize = ParseListNumber(table.Field(1));
    if (count >= 3) entry.SetChecksum(table.Field(2));
    if (count >= 4) entry.SetPath(table.Field(3));
    return true;
}

namespace {
// Text mode: CR LF is read as LF; a lone CR stays.
std::wstring CollapseLineEnds(std::wstring text) {
    size_t out = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n') continue;
        text[out++] = text[i];
    }
    text.resize(out);
    return text;
}
}  // namespace

std::wstring DecodeListText(std::string_view bytes) {
    if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        return CollapseLineEnds(text::FromUtf8(bytes.substr(3)));
    }
    if (bytes.size() >= 2 && bytes.substr(0, 2) == "\xFF\xFE") bytes.remove_prefix(2);
    return CollapseLineEnds(text::DecodeUtf16LE(bytes));
}

namespace {
// UTF-16 text is decoded in blocks of about this size that end just after a
// line feed, so a large list is never held decoded as a whole (four bytes a
// character); lines and their pieces are the same as in the whole text.
constexpr size_t kBlockBytes = 64 * 1024;
const std::string_view kUtf8Mark("\xEF\xBB\xBF", 3);
const std::string_view kUtf16Mark("\xFF\xFE", 2);
}  // namespace

bool ListTextParser::Feed(std::string_view bytes) {
    if (m_tooMany) return false;
    std::string_view data = bytes;
    if (!m_pending.empty()) {
        m_pending.append(bytes);
        data = m_pending;
    }
    size_t used = 0;
    if (!m_started && data.size() >= kUtf8Mark.size()) m_utf8 = data.starts_with(kUtf8Mark);
    // UTF-8 lists (rare: the launcher writes UTF-16) are parsed whole at the
    // end: a block cut at a line feed could end inside a broken sequence.
    if ((m_started || data.size() >= kUtf8Mark.size()) && !m_utf8) {
        // Whole lines only: up to just after the last line feed at a
        // character boundary (an even offset from the start of the file).
        for (size_t at = data.size() & ~size_t{1}; at >= 2; at -= 2) {
            if (data[at - 2] == '\n' && data[at - 1] == '\0') {
                used = at;
                break;
            }
        }
        if (used > 0) {
            ParseUtf16(data.substr(0, used), !m_started);
            m_started = true;
        }
    }
    if (data.data() == m_pending.data()) {
        m_pending.erase(0, used);
    } else {
        m_pending.assign(data.substr(used));
    }
    return !m_tooMany;
}

bool ListTextParser::Finish(PackFileList& list) {
    if (!m_tooMany && !m_pending.empty()) {
        if (m_utf8) {
            ParsePieces(DecodeListText(m_pending));
        } else {
            ParseUtf16(m_pending, !m_started);
        }
    }
    m_pending = std::string();
    if (m_tooMany) return false;
    if (m_laterPathReplaces) KeepLastOfEachPath(m_entries);
    if (list.empty()) {
        list.swap(m_entries);
    } else {
        list.reserve(list.size() + m_entries.size());
        for (auto& e : m_entries) list.push_back(std::move(e));
    }
    m_entries = PackFileList();
    return true;
}

void ListTextParser::ParseUtf16(std::string_view bytes, bool fromFileStart) {
    for (size_t pos = 0; pos < bytes.size() && !m_tooMany;) {
        size_t end = bytes.size();
        for (size_t at = pos + kBlockBytes; at + 1 < bytes.size(); at += 2) {
            if (bytes[at] == '\n' && bytes[at + 1] == '\0') {
                end = at + 2;
                break;
            }
        }
        // The mark goes with the file's first block only: a later block is
        // plain UTF-16, even when its first character is U+FEFF.
        const std::string_view block = bytes.substr(pos, end - pos);
        if (fromFileStart && pos == 0) {
            ParsePieces(DecodeListText(block));
        } else {
            ParsePieces(CollapseLineEnds(text::DecodeUtf16LE(block)));
        }
        pos = end;
    }
}

void ListTextParser::ParsePieces(std::wstring_view text) {
    ForEachPiece(text, kLinePieceChars, [this](std::wstring_view piece) {
        auto entry = std::make_unique<PackFileInfo>();
        if (ParseListLine(piece, *entry)) m_entries.push_back(std::move(entry));
        m_tooMany = m_entries.size() > kMaxListEntries;
        return !m_tooMany;
    });
}

bool ParseListText(std::string_view bytes, PackFileList& list, bool laterPathReplaces) {
    ListTextParser parser(laterPathReplaces);
    return parser.Feed(bytes) && parser.Finish(list);
}

std::wstring FormatListLine(const PackFileInfo& entry) {
    std::wstring line;
    AppendFormattedLine(line, entry);
    return line;
}

std::string EncodeListText(std::wstring_view text) {
    return text::EncodeUtf16LE(text, text::LineEnds::kCrLf);
}

bool WriteListPieces(const PackFileList& list, size_t pieceBytes,
                     const std::function<bool(std::string_view)>& write) {
    // Line by line into the file's bytes, handed on a piece at a time: the
    // whole list as bytes, let alone as wide text, would cost as much again
    // as its entries.
    std::string bytes(kUtf16Mark);
    bytes.reserve(pieceBytes + 1024);
    std::wstring line;
    for (const auto& entry : list) {
        line.clear();
        AppendFormattedLine(line, *entry);
        bytes += EncodeListText(line);
        if (bytes.size() < pieceBytes) continue;
        if (!write(bytes)) return false;
        bytes.clear();
    }
    return bytes.empty() || write(bytes);
}

std::string SerializeList(const PackFileList& list) {
    std::string all;
    WriteListPieces(list, 1 << 20, [&all](std::string_view piece) {
        all += piece;
        return true;
    });
    return all;
}

bool IsListableEntry(const PackFileInfo& entry) {
    PackFileList back;
    ParseListText(EncodeListText(FormatListLine(entry)), back);
    return back.size() == 1 && back[0]->nFileSize == entry.nFileSize &&
           back[0]->nDownloadSize == entry.nDownloadSize && back[0]->szChecksum == entry.szChecksum &&
           back[0]->szPath == entry.szPath;
}

std::wstring ParseGuardText(std::string_view bytes) {
    const std::wstring text = DecodeListText(bytes.substr(0, kGuardReadBytes));
    std::wstring first;
    ForEachPiece(text, kGuardLineChars, [&first](std::wstring_view piece) {
        first.assign(piece);
        return false;
    });
    std::erase_if(first, [](wchar_t c) { return c == L'\r' || c == L'\n' || c == L' '; });
    return first;
}
